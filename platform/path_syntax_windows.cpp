#include <algorithm>
#include <cctype>

#include "platform/path_syntax.h"

namespace platform {
namespace {

bool IsSlash(char c) { return c == '/' || c == '\\'; }

// The length of "//server/share" (and its "/"), or 0.
size_t ShareRootLength(std::string_view path) {
  if (path.size() < 3 || !IsSlash(path[0]) || !IsSlash(path[1]) || IsSlash(path[2])) return 0;
  const size_t serverEnd = path.find_first_of("/\\", 2);
  if (serverEnd == std::string_view::npos || serverEnd + 1 >= path.size() || IsSlash(path[serverEnd + 1])) return 0;
  const size_t shareEnd = path.find_first_of("/\\", serverEnd + 1);
  return shareEnd == std::string_view::npos ? path.size() : shareEnd + 1;
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9 and LPT1-9 (the digit also
// written as a superscript one to three) name devices, with any extension
// and with trailing spaces before it ("nul .txt").
bool IsDeviceName(std::string_view name) {
  std::string stem(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  std::transform(stem.begin(), stem.end(), stem.begin(), [](unsigned char c) { return std::toupper(c); });
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" || stem == "CONOUT$")
    return true;
  if (stem.size() < 4 || (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0)) return false;
  const std::string_view number = std::string_view(stem).substr(3);
  return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" || number == "\xC2\xB2" ||
         number == "\xC2\xB3";
}

}  // namespace

size_t RootLength(std::string_view path) {
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
    if (path.size() == 2) return 2;
    return IsSlash(path[2]) ? 3 : 0;  // "C:clip" is relative to the drive's current folder
  }
  return ShareRootLength(path);
}

const char* FullPathStart() { return "a drive (C:/) or a share (//server/share)"; }

const char* NameRules() {
  return "a name cannot be empty, \".\" or \"..\", hold any of \\ / : * ? \" < > |, end in a dot or a space, "
         "or be a device's (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9)";
}

std::string WithForwardSlashes(std::string_view typed) {
  std::string text(typed);
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

bool IsAllowedName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 32 || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos)
      return false;
  }
  // The system drops a trailing dot or space, so the file would get another name.
  if (name.back() == '.' || name.back() == ' ') return false;
  return !IsDeviceName(name);
}

}  // namespace platform

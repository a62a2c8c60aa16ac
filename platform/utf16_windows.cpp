#include "platform/utf16_windows.h"

#include <algorithm>
#include <vector>

#include "platform/path_syntax.h"

namespace platform {
namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(std::wstring& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<wchar_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<wchar_t>(0xD800 + (c >> 10));
    out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
  }
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::wstring Utf16(const std::string& utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t size = utf8.size();
  for (size_t i = 0; i < size;) {
    const unsigned char lead = bytes[i];
    const size_t length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    bool whole = length != 0 && i + length <= size;
    for (size_t k = 1; whole && k < length; ++k) whole = IsContinuation(bytes[i + k]);
    if (!whole) {  // not UTF-8 at all: the system gets U+FFFD for that byte
      out += L'\xFFFD';
      ++i;
      continue;
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) c = (c << 6) | (bytes[i + k] & 0x3F);
    const bool overlong = (length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF));
    if (overlong) {
      out += L'\xFFFD';
      ++i;
      continue;
    }
    AppendUtf16(out, c);  // a surrogate written as three bytes comes back as that unit
    i += length;
  }
  return out;
}

std::string Utf8(const wchar_t* utf16, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    const auto unit = static_cast<char32_t>(static_cast<uint16_t>(utf16[i]));
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < length) {
      const auto next = static_cast<char32_t>(static_cast<uint16_t>(utf16[i + 1]));
      if (next >= 0xDC00 && next < 0xE000) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, unit);  // a lone surrogate keeps its three bytes
  }
  return out;
}

std::string Utf8(const std::wstring& utf16) { return Utf8(utf16.data(), utf16.size()); }

// The parts after a full path's root with "." and ".." resolved as the
// system itself would resolve them without the prefix (on the text).
std::wstring ResolvedParts(const std::wstring& rest) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find(L'\\', start);
    if (end == std::wstring::npos) end = rest.size();
    std::wstring part = rest.substr(start, end - start);
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(std::move(part));
    }
    start = end + 1;
  }
  std::wstring joined;
  for (size_t i = 0; i < parts.size(); ++i) (joined += i ? L"\\" : L"") += parts[i];
  return joined;
}

std::wstring SystemPath(const std::string& path) {
  std::wstring wide = Utf16(path);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  const size_t root = RootLength(path);
  if (root == 0 || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  // The root as UTF-16 (a share's names may be any text).
  const size_t rootEnd = std::min(wide.size(), Utf16(path.substr(0, root)).size());
  std::wstring rootText = wide.substr(0, rootEnd);
  if (rootText.back() != L'\\') rootText += L'\\';  // "C:" is the drive's root here
  const std::wstring full = rootText + ResolvedParts(wide.substr(rootEnd));
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::string ProgramPath(const std::wstring& path) {
  std::wstring plain = path;
  if (plain.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    plain = L"\\\\" + plain.substr(8);
  } else if (plain.rfind(L"\\\\?\\", 0) == 0) {
    plain = plain.substr(4);
  }
  for (wchar_t& c : plain)
    if (c == L'\\') c = L'/';
  return Utf8(plain);
}

}  // namespace platform

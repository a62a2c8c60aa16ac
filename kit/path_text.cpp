#include "kit/path_text.h"

#include <vector>

#include "platform/path_syntax.h"

namespace {

// The root of a full path as the normal form writes it: always ending in "/".
std::string NormalRoot(std::string_view path, size_t length) {
  std::string root(path.substr(0, length));
  if (root.back() != '/') root += '/';
  return root;
}

}  // namespace

std::optional<std::string> NormalFullPath(std::string_view typedText) {
  const std::string typed = platform::WithForwardSlashes(typedText);
  const size_t rootLength = platform::RootLength(typed);
  if (rootLength == 0) return std::nullopt;
  std::vector<std::string_view> parts;
  const std::string_view text(typed);
  size_t start = rootLength;
  while (start <= text.size()) {
    size_t end = text.find('/', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view part = text.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // above the root is the root
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string normal = NormalRoot(text, rootLength);
  for (size_t i = 0; i < parts.size(); ++i) (normal += i ? "/" : "") += parts[i];
  return normal;
}

std::string ParentFolder(const std::string& path) {
  const size_t rootLength = platform::RootLength(path);
  if (rootLength == 0) return "/";
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash < rootLength) return NormalRoot(path, rootLength);
  return path.substr(0, slash);
}

bool IsRoot(const std::string& path) {
  const size_t rootLength = platform::RootLength(path);
  return rootLength != 0 && (path.size() == rootLength || (path.size() == rootLength + 1 && path.back() == '/'));
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

#include "kit/path_text.h"

#include <vector>

std::optional<std::string> NormalFullPath(std::string_view typed) {
  if (typed.empty() || typed[0] != '/') return std::nullopt;
  std::vector<std::string_view> parts;
  size_t start = 1;
  while (start <= typed.size()) {
    size_t end = typed.find('/', start);
    if (end == std::string_view::npos) end = typed.size();
    const std::string_view part = typed.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // above the root is the root
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string normal;
  for (std::string_view part : parts) (normal += '/') += part;
  return normal.empty() ? "/" : normal;
}

std::string ParentFolder(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

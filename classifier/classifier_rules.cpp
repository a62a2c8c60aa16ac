#include "classifier/classifier_rules.h"

#include <algorithm>

std::string MoveDestination(const std::string& file, const std::string& root, const std::string& folder) {
  if (root.empty() || file.compare(0, root.size(), root) != 0) return {};
  size_t below = root.size();
  if (root.back() != '/') {
    if (file.size() <= below || file[below] != '/') return {};  // "/a" is not the root of "/ab/x"
    ++below;
  }
  return folder + "/" + file.substr(below);
}

bool IsAcceptableName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

void SortFolders(std::vector<std::string>& folders) { std::sort(folders.begin(), folders.end()); }

std::string FolderLabel(const std::string& folderText, size_t rootTextLength) {
  std::string label = folderText.substr(std::min(rootTextLength, folderText.size()));
  if (!label.empty() && (label[0] == '/' || label[0] == '\\')) label.erase(0, 1);
  return label;
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(slash + 1);
}

#include "temp_tree.h"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>

TempTree::TempTree() {
  std::string pattern = (std::filesystem::temp_directory_path() / "sortiq-tree-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root = pattern;
}

TempTree::~TempTree() {
  std::error_code ignored;
  std::filesystem::permissions(root, std::filesystem::perms::owner_all, ignored);
  for (auto it = std::filesystem::recursive_directory_iterator(root, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, ignored);
  }
  std::filesystem::remove_all(root, ignored);
}

std::string TempTree::File(const std::string& relative, size_t size) {
  const auto path = root / relative;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << std::string(size, 'x');
  return path.string();
}

std::string TempTree::Folder(const std::string& relative) {
  const auto path = root / relative;
  std::filesystem::create_directories(path);
  return path.string();
}

#include "temp_tree.h"

#include <fstream>

#include "test_system.h"

TempTree::TempTree() : root(MakeTempFolder("sortiq-tree-")) {}

TempTree::~TempTree() {
  std::error_code ignored;
  std::filesystem::permissions(root, std::filesystem::perms::owner_all, ignored);
  std::error_code walking;
  for (auto it = std::filesystem::recursive_directory_iterator(root, walking);
       !walking && it != std::filesystem::recursive_directory_iterator(); it.increment(walking)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, ignored);
  }
  std::filesystem::remove_all(root, ignored);
}

std::string TempTree::File(const std::string& relative, size_t size) {
  const auto path = root / PathOf(relative);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << std::string(size, 'x');
  return PathText(path);
}

std::string TempTree::Folder(const std::string& relative) {
  const auto path = root / PathOf(relative);
  std::filesystem::create_directories(path);
  return PathText(path);
}

std::string TempTree::RootString() const { return PathText(root); }

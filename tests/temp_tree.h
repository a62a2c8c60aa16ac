#pragma once
// A temporary folder tree for a test, removed with the object.
#include <filesystem>
#include <string>

class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::filesystem::path& Root() const { return root; }
  std::string RootString() const;  // as the program writes paths
  // Creates a file (and its folders) relative to the root, with size bytes.
  std::string File(const std::string& relative, size_t size = 0);
  std::string Folder(const std::string& relative);

 private:
  std::filesystem::path root;
};

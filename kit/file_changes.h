#pragma once
// What a frame's finished file operations changed on disk, by path: the
// files that are gone and the ones that have a new path. Tabs use it to
// keep their lists true, whichever tab did the work.
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "kit/file_commands.h"

struct FileChanges {
  std::unordered_set<std::string> gone;
  std::unordered_map<std::string, std::string> moved;  // old path -> new path

  // The operations that were done; failures changed nothing.
  static FileChanges From(const std::vector<Commands::Async::Outcome>& outcomes);
  bool Empty() const { return gone.empty() && moved.empty(); }
  // Whether the path is below the folder (a root: "/" separators).
  static bool Below(const std::string& path, const std::string& folder);
};

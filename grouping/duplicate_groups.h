#pragma once
// Candidate duplicate downloads: files whose paths end in the same platform
// identifier (the last 11 ASCII letters and digits before the extension)
// are grouped, whatever their titles, brackets or containers.
#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "grouping/file_intake.h"
#include "grouping/file_item.h"

// The last 11 ASCII letters and digits of the file's name before its last
// ".", read from the end (so reversed). Empty when the name has fewer: the
// letters of its folders identify nothing, so such a file stands alone.
std::string ExtractPlatformId(std::string path);

class DuplicateGroups {
 public:
  using Items = std::vector<FileItem>;  // text: the UTF-8 full path

  // Files the walk reported (paths and sizes parallel), queued; indexed a
  // budget at a time so a big batch never holds up a frame.
  void Queue(std::vector<std::string>& paths, std::vector<uint64_t>& sizes, std::vector<FileMark>* marks = nullptr) {
    intake.Queue(paths, sizes, marks);
  }
  // Indexes queued files until the budget is spent (at least a few).
  void Index(std::chrono::microseconds budget);
  size_t Queued() const { return intake.Queued(); }
  // Makes room for about this many files while the map is small: growing
  // it later, at its full size, holds a frame up.
  void Reserve(size_t files) {
    if (files > byKey.bucket_count()) byKey.reserve(2 * files);  // twice: the count grows every frame
  }
  // Queues and indexes at once.
  void Add(std::vector<std::string>& paths, std::vector<uint64_t>& sizes);
  void Clear();
  bool Empty() const { return byKey.empty() && alone == 0; }

  // Every key that ever held two files, in the order that happened; a
  // group shows while it holds two or more.
  const std::vector<Items*>& Candidates() const { return candidates; }
  // Bumped whenever a group gains or loses a file.
  uint64_t Generation() const { return generation; }
  void RemovePath(Items& group, const std::string& path);
  // A listed file has a new path (moved or renamed): in the group of its new identifier.
  void Repath(Items& group, const std::string& from, const std::string& to);
  // Whether a group holds two different files: names of one file (a link
  // and its target, two hard links) are not duplicates of each other.
  static bool HoldsDuplicates(const Items& group);
  // An earlier entry of the group that is the same file as this one.
  static const FileItem* SameFileBefore(const Items& group, size_t index);
  // The group a path belongs to (by its identifier); nullptr when none.
  Items* GroupOf(const std::string& path);
  void Skip(Items& group);

 private:
  void Place(FileItem item);

  std::unordered_map<std::string, Items> byKey;
  size_t alone = 0;  // files whose names carry no identifier
  std::vector<Items*> candidates;
  std::unordered_set<const Items*> listed;
  FileIntake intake;
  uint64_t generation = 0;
};

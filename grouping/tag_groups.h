#pragma once
// Files grouped by the words ("tags") of their names: every run of ASCII
// letters and digits, lower-cased, is a tag; a file joins the group of
// each tag once. Groups are kept in byte order of their tags.
//
// Indexing is spread over frames: files are queued as the walk reports
// them and indexed a budget at a time, so a batch of 200,000 names never
// holds up a frame.
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "grouping/file_intake.h"
#include "grouping/file_item.h"

// The tags of a file name, lower-cased, left to right (repeats included).
// The views point into lowered, which is reused.
void TagsOfName(std::string_view name, std::string& lowered, std::vector<std::string_view>& tags);

class TagGroups {
 public:
  struct Entry {
    FileItem file;                // text: the file's name
    std::vector<uint32_t> groups;  // the groups it joined
  };
  struct Group {
    std::string tag;
    std::vector<const Entry*> items;  // in the order they joined
  };

  // Files the walk reported, queued for indexing (paths and sizes parallel).
  void Queue(std::vector<std::string>& paths, std::vector<uint64_t>& sizes, std::vector<FileMark>* marks = nullptr) {
    intake.Queue(paths, sizes, marks);
  }
  // Indexes queued files until the budget is spent (at least one file);
  // true when any group changed.
  bool Index(std::chrono::microseconds budget);
  size_t Queued() const { return intake.Queued(); }
  // Makes room for about this many files at once, while the index is
  // small: growing it later, at its full size, holds a frame up.
  void Reserve(size_t files);

  // Takes a file out of every group it is in.
  void Remove(const Entry* entry);
  // The listed file with this path (found through the groups of its
  // name's tags); nullptr when it is in none.
  const Entry* Find(const std::string& path);
  // A listed file has moved below the root: same name, same groups.
  void Repath(const Entry* entry, std::string path);
  // Empties one group (its files stay in the others).
  void EmptyGroup(uint32_t group) { groups[group].items.clear(); }
  void Clear();

  const std::vector<Group>& Groups() const { return groups; }
  // Group indices in byte order of their tags.
  const std::vector<uint32_t>& Order() const { return order; }
  size_t Files() const { return items.size(); }
  // The largest group's size less one, as the threshold slider's maximum:
  // a group's size is taken just before each file joins it. Never shrinks
  // with deletions.
  int32_t maxGroupSize = 0;

 private:
  struct StringHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  void IndexOne(std::string& path, uint64_t size, const FileMark& mark);
  void MergeNewTags();

  std::deque<Entry> items;  // stable addresses
  std::vector<Group> groups;
  std::unordered_map<std::string, uint32_t, StringHash, std::equal_to<>> groupOfTag;
  std::vector<uint32_t> order;
  std::vector<uint32_t> newGroups;  // not yet in order
  FileIntake intake;
  // Reused for every name.
  std::string lowered;
  std::vector<std::string_view> tags;
  std::vector<uint32_t> joined;
};

#pragma once
// The Grouping tab: every file of a tree under each word of its name, in
// tag order, with a minimum group size and a tag filter; play, reveal or
// delete a file, or delete a whole group.
#include <imgui.h>

#include <chrono>
#include <deque>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "grouping/file_intake.h"
#include "grouping/held_refusals.h"
#include "grouping/tag_groups.h"
#include "kit/tab_base.h"
#include "kit/widgets.h"

class Group : public Base {
 public:
  static constexpr int kRemovalsPerFrame = 8;

  Group() : Base(true, true) {}
  void Reset() override;
  void Draw() override;
  // A file leaves its groups once its deletion is done (here or by another
  // tab); a failed deletion stays listed and says why; a file moved below
  // the root keeps its place with its new path.
  void FilesChanged(const std::vector<Commands::Async::Outcome>& outcomes) override;

  // Collects what the walk found (a quarter second apart) and indexes some
  // of it; then unlinks up to kRemovalsPerFrame deleted files.
  void CollectFiles();
  // Files the walk found that are not in the groups yet.
  bool StillGrowing();
  void ApplyPendingRemovals();
  // Asks (unless switched off), then queues the deletion.
  void DeleteFile(const TagGroups::Entry* entry);
  // Always asks, naming the group and its count; then queues every file of
  // the group.
  void DeleteAll(uint32_t group);

  std::unordered_map<const TagGroups::Entry*, RowNote> rowNotes;

  TagGroups model;
  std::deque<const TagGroups::Entry*> pendingRemovals;
  int groupThreshold = 0;
  ImGuiTextFilter groupFilter;
  WalkCollection collection;

 private:
  struct Row {
    uint32_t group;
    int32_t file;  // -1: the group's header
  };
  void RebuildRows();
  void DrawTopRows(float& filterRowHeight);
  void DrawGroupList();
  void DrawRow(const Row& row, int rowNumber);

  void QueueDeletion(const TagGroups::Entry* entry);

  std::unordered_map<Commands::Async::RequestId, const TagGroups::Entry*> deleting;
  HeldRefusals<const TagGroups::Entry*> refusedByTrash;
  std::vector<Row> rows;  // what the list shows, headers and open groups' files
  bool rowsStale = true;
  bool everyFileGone = false;  // no rows because every group is empty
  std::unordered_set<uint32_t> openGroups;
};

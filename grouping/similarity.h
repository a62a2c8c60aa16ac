#pragma once
// The Similarity tab: candidate duplicate downloads (files whose names end
// in the same platform identifier), filterable by path; play, reveal or
// delete each file, or skip a group.
#include <imgui.h>

#include <chrono>
#include <string>
#include <unordered_map>
#include <vector>

#include "grouping/duplicate_groups.h"
#include "grouping/file_intake.h"
#include "grouping/held_refusals.h"
#include "kit/tab_base.h"
#include "kit/widgets.h"

inline constexpr char kTwinsiftAddress[] = "https://twinsift.example.org/";

class Similarity : public Base {
 public:

  Similarity() : Base(true, true) {}
  void Reset() override;
  // A file leaves its group once its deletion is done (here or by another
  // tab); a failed deletion stays listed and says why; a file moved below
  // the root keeps its place with its new path.
  void FilesChanged(const std::vector<Commands::Async::Outcome>& outcomes) override;
  // The scan row, the help (no root) or the root and the groups.
  void Draw() override;

  void CollectFiles();
  // Files the walk found that are not in the groups yet.
  bool StillGrowing();
  // The path below the root, as the list shows it and the filter reads it.
  const char* RelativeText(const FileItem& item) const;

  DuplicateGroups model;
  ImGuiTextFilter similarityFilter;
  std::unordered_map<std::string, RowNote> rowNotes;  // by path
  WalkCollection collection;

 private:
  void DrawGroups();
  void RebuildShown();
  // Draws a group's rows; true when it changed (a file deleted, skipped).
  bool DrawGroup(DuplicateGroups::Items& group, int& rowNumber);

  std::unordered_map<Commands::Async::RequestId, std::string> deleting;  // path by request
  HeldRefusals<std::string> refusedByTrash;  // by path
  std::vector<DuplicateGroups::Items*> shown;  // groups the filter passes, with two files or more
  // Where each shown group begins in the list, and the list's height last:
  // which groups are in view is found without walking them all.
  std::vector<float> shownTop;
  float shownRowHeight = 0.0f;
  uint64_t shownGeneration = ~uint64_t{0};
  bool shownStale = true;
};

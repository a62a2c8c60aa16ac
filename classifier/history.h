#pragma once
// What the Classifier did, newest first: moves into folders, renames and
// deletions. Moves and renames can be undone from the list drawn below the
// tab's panes. Kept in memory only, for as long as the root.
#include <imgui.h>

#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <string>

enum class HistoryKind : int32_t { Move = 0, Delete = 1, Rename = 2 };

struct HistoryRecord {
  HistoryKind kind = HistoryKind::Move;
  std::string target;  // where the file went (Move, Rename); empty for Delete
  std::string source;  // where it was, or the deleted file
  std::string targetText;
  std::string sourceText;

  bool SamePaths(const HistoryRecord& other) const {
    return target == other.target && source == other.source && targetText == other.targetText &&
           sourceText == other.sourceText;
  }
};

class History {
 public:
  static constexpr size_t kMaxRecords = 1024;

  // Recorded when the operation is queued (or done, for a rename); the
  // oldest record falls off beyond kMaxRecords.
  void Add(HistoryKind kind, const std::string& target, const std::string& source);
  // Removes the newest record with the same paths (its kind is not compared).
  void Remove(const HistoryRecord& record);
  void Clear() { records.clear(); }
  const std::list<HistoryRecord>& Records() const { return records; }

  // Draws the filter box and the list; the record whose "Undo" was clicked
  // this frame, if any.
  std::optional<HistoryRecord> Draw();

  ImGuiTextFilter filter;  // kept across roots

 private:
  std::list<HistoryRecord> records;
};

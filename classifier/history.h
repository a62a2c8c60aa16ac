#pragma once
// What the Classifier did, newest first: moves into folders, renames and
// deletions, each with where it stands (waiting, done, or failed and why).
// Moves, renames and deletions into the trash can be undone from the list
// drawn below the tab's panes. Kept in memory only, for as long as the root.
#include <imgui.h>

#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <string>

#include "kit/file_commands.h"

enum class HistoryKind : int32_t { Move = 0, Delete = 1, Rename = 2 };
enum class RecordState { Waiting, Done, Failed };

struct HistoryRecord {
  HistoryKind kind = HistoryKind::Move;
  std::string target;  // where the file went (Move, Rename); empty for Delete
  std::string source;  // where it was, or the deleted file
  std::string targetText;
  std::string sourceText;
  RecordState state = RecordState::Done;
  std::string failure;  // why it did not happen (Failed)
  std::string undoRefused;  // why the last undo could not be done
  Commands::Async::RequestId request = 0;      // the queued move or deletion
  Commands::Async::RequestId undoRequest = 0;  // a move back on the worker (another disk)
  bool undoWhenDone = false;  // undo asked while the move was in hand
  // The deleted file, or the one a move replaced, in the trash.
  std::optional<platform::TrashEntry> trashed;

  bool SamePaths(const HistoryRecord& other) const {
    return target == other.target && source == other.source && targetText == other.targetText &&
           sourceText == other.sourceText;
  }
  // Whether its Undo button is offered now.
  // A deletion can be called off while it waits, and undone once its file
  // is in the trash; one for good cannot.
  bool Undoable() const {
    if (state == RecordState::Failed || undoRequest != 0 || undoWhenDone) return false;
    if (kind != HistoryKind::Delete) return true;
    return state == RecordState::Waiting ? Commands::Async::Waiting(request) : trashed.has_value();
  }
};

class History {
 public:
  static constexpr size_t kMaxRecords = 1024;

  // A queued operation is recorded as waiting (with its request), one done
  // at once as done; the oldest record falls off beyond kMaxRecords.
  HistoryRecord& Add(HistoryKind kind, const std::string& target, const std::string& source,
                     Commands::Async::RequestId request = 0);
  // Removes that record.
  void Remove(const HistoryRecord& record);
  void Clear() { records.clear(); }
  const std::list<HistoryRecord>& Records() const { return records; }
  std::list<HistoryRecord>& Records() { return records; }
  bool Empty() const { return records.empty(); }
  // The record of a request (its own or its undo's); nullptr when none.
  HistoryRecord* ForRequest(Commands::Async::RequestId request);

  // Draws the filter box and the list; the record whose "Undo" was clicked
  // this frame, if any.
  HistoryRecord* Draw();

  ImGuiTextFilter filter;  // kept across roots

 private:
  std::list<HistoryRecord> records;
};

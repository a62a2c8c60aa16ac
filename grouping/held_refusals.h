#pragma once
// Deletions of a Grouping or Similarity row that the trash turned away
// (their disk has none), held until the tab's last deletion in flight has
// ended, so that a whole group is asked about once. Key: how the tab names
// a row (an entry, a path).
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "kit/failure_text.h"
#include "kit/file_commands.h"
#include "kit/trash_refusals.h"
#include "kit/widgets.h"

template <typename Key>
class HeldRefusals {
 public:
  void Hold(const Commands::Async::Outcome& outcome, Key key) { held.emplace_back(outcome, std::move(key)); }
  void Clear() { held.clear(); }

  // Once nothing of the tab's is being deleted: one question for all held.
  // Yes queues them again for good (their notes still say "deleting"); No
  // puts the reason on their rows. True when it asked.
  bool AskOnceAllEnded(std::unordered_map<Commands::Async::RequestId, Key>& deleting,
                       std::unordered_map<Key, RowNote>& rowNotes) {
    if (held.empty() || !deleting.empty()) return false;
    std::vector<Commands::Async::Outcome> outcomes;
    for (const auto& [outcome, key] : held) outcomes.push_back(outcome);
    const std::vector<Commands::Async::RequestId> requests = DeleteForGoodIfAgreed(outcomes);
    for (size_t i = 0; i < held.size(); ++i) {
      if (requests.empty()) {
        rowNotes[held[i].second] = {"cannot delete: " + FailureText(held[i].first.result), true};
      } else {
        deleting[requests[i]] = held[i].second;
      }
    }
    held.clear();
    return true;
  }

 private:
  std::vector<std::pair<Commands::Async::Outcome, Key>> held;
};

#include "kit/file_changes.h"

FileChanges FileChanges::From(const std::vector<Commands::Async::Outcome>& outcomes) {
  FileChanges changes;
  for (const Commands::Async::Outcome& outcome : outcomes) {
    if (!outcome.Done()) continue;
    if (outcome.operation == Commands::Async::Operation::Delete) {
      changes.gone.insert(outcome.source);
      changes.moved.erase(outcome.source);
      continue;
    }
    // A file moved twice in one frame keeps its last path.
    std::string origin = outcome.source;
    for (auto& [from, to] : changes.moved) {
      if (to == outcome.source) {
        origin = from;
        break;
      }
    }
    changes.gone.erase(outcome.destination);
    changes.moved[origin] = outcome.destination;
  }
  return changes;
}

bool FileChanges::Below(const std::string& path, const std::string& folder) {
  if (folder.empty() || path.size() <= folder.size() || path.compare(0, folder.size(), folder) != 0) return false;
  return folder.back() == '/' || path[folder.size()] == '/';
}

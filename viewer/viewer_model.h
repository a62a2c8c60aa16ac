#pragma once
// What the Viewer lists and how it steps through it, apart from drawing:
// the entries in walk order, the text filter, the rows the list shows,
// next and random.
#include <imgui.h>

#include "kit/file_changes.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ViewerEntry {
  std::string path;      // full path, file-system bytes
  std::string text;      // its UTF-8 text
  std::string relative;  // UTF-8 text of the path below the root
};

class ViewerModel {
 public:
  // Appends walk results; rootPrefixLength is where paths below the root begin.
  void Append(std::vector<std::string>& paths, uint64_t rootPrefixLength);
  void Clear();
  // After the filter text changed.
  void FilterChanged();
  // Files deleted or moved by any tab: gone ones leave the list, moved ones
  // keep their place with their new path while it is below the root.
  // True when anything changed.
  bool FilesChanged(const FileChanges& changes, const std::string& root, uint64_t rootPrefixLength);

  // The first entry after currentPath's place in the list whose path below
  // the root passes the filter; the first passing entry when currentPath is
  // empty. Nothing after the last one: no wrap-around.
  std::optional<size_t> NextFile(const std::string& currentPath) const;
  // A passing entry (the path below the root, as the list shows) drawn from
  // two 15-bit values (low bits first).
  std::optional<size_t> PlayRandom(const std::function<int()>& draw15) const;

  // Indexes of the entries the list shows (the filter applied to the path
  // below the root), kept up to date as entries and filter change.
  const std::vector<size_t>& Listed() const { return listed; }

  std::vector<ViewerEntry> entries;
  ImGuiTextFilter entriesFilter;

 private:
  std::vector<size_t> listed;
};

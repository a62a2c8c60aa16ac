#include "viewer/viewer_model.h"

#include "kit/background_release.h"
#include "kit/text.h"
#include "kit/text_filter.h"

void ViewerModel::Append(std::vector<std::string>& paths, uint64_t rootPrefixLength) {
  // No reserve of the exact new size: that would move the whole list at
  // every collection; growing by doubling costs in proportion to what is new.
  for (std::string& path : paths) {
    ViewerEntry entry;
    entry.text = ToUtf8(path);
    entry.relative = ToUtf8(std::string_view(path).substr(std::min<size_t>(rootPrefixLength, path.size())));
    entry.path = std::move(path);
    if (FilterPasses(entriesFilter, entry.relative.c_str())) listed.push_back(entries.size());
    entries.push_back(std::move(entry));
  }
}

void ViewerModel::Clear() {
  BackgroundRelease::Release(std::move(entries));  // 100,000 paths take a while to free
  entries.clear();
  listed.clear();
}

void ViewerModel::FilterChanged() {
  entriesFilter.Build();
  listed.clear();
  for (size_t i = 0; i < entries.size(); ++i)
    if (FilterPasses(entriesFilter, entries[i].relative.c_str())) listed.push_back(i);
}

bool ViewerModel::FilesChanged(const FileChanges& changes, const std::string& root, uint64_t rootPrefixLength) {
  bool changed = false;
  size_t kept = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    ViewerEntry& entry = entries[i];
    if (changes.gone.count(entry.path)) {
      changed = true;
      continue;
    }
    if (const auto moved = changes.moved.find(entry.path); moved != changes.moved.end()) {
      changed = true;
      if (!FileChanges::Below(moved->second, root)) continue;
      entry.path = moved->second;
      entry.text = ToUtf8(entry.path);
      entry.relative = ToUtf8(std::string_view(entry.path).substr(std::min<size_t>(rootPrefixLength, entry.path.size())));
    }
    if (kept != i) entries[kept] = std::move(entry);
    ++kept;
  }
  if (!changed) return false;
  entries.resize(kept);
  FilterChanged();
  return true;
}

std::optional<size_t> ViewerModel::NextFile(const std::string& currentPath) const {
  // From the current file's place in the whole list, whether it passes or not.
  bool afterCurrent = currentPath.empty();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!afterCurrent) {
      afterCurrent = entries[i].path == currentPath;
      continue;
    }
    if (FilterPasses(entriesFilter, entries[i].relative.c_str())) return i;
  }
  return std::nullopt;
}

std::optional<size_t> ViewerModel::PlayRandom(const std::function<int()>& draw15) const {
  size_t passing = 0;
  for (const ViewerEntry& entry : entries)
    if (FilterPasses(entriesFilter, entry.relative.c_str())) ++passing;
  if (passing == 0) return std::nullopt;
  const unsigned low = static_cast<unsigned>(draw15()) & 0x7FFF;
  const unsigned high = static_cast<unsigned>(draw15());
  const size_t pick = ((high << 15) | low) % passing;
  size_t seen = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!FilterPasses(entriesFilter, entries[i].relative.c_str())) continue;
    if (seen++ == pick) return i;
  }
  return std::nullopt;
}

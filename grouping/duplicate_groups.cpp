#include "grouping/duplicate_groups.h"

#include <algorithm>
#include <utility>

#include "kit/background_release.h"
#include "kit/text.h"

std::string ExtractPlatformId(std::string path) {
  constexpr size_t kKeyLength = 11;
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos) path.erase(0, slash + 1);  // the name alone
  const size_t dot = path.rfind('.');
  if (dot != std::string::npos) path.resize(dot);
  std::string key;
  while (!path.empty() && key.size() < kKeyLength) {
    const char c = path.back();
    path.pop_back();
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) key.push_back(c);
  }
  // "猫.mp4" and "犬.mp4" in one folder are no copies of each other.
  if (key.size() < kKeyLength) key.clear();
  return key;
}

void DuplicateGroups::Index(std::chrono::microseconds budget) {
  intake.Drain(budget, [this](std::string& path, uint64_t size, const FileMark& mark) {
    std::string text = ToUtf8(path);
    Place({std::move(path), std::move(text), FileSizeText(size), mark.identity, mark.link});
  });
}

void DuplicateGroups::Place(FileItem item) {
  const std::string key = ExtractPlatformId(item.path);
  if (key.empty()) {
    ++alone;
    ++generation;
    return;
  }
  Items& group = byKey[key];
  group.push_back(std::move(item));
  // Pointers to the map's values stay valid as the map grows.
  if (group.size() >= 2 && listed.insert(&group).second) candidates.push_back(&group);
  if (group.size() >= 2) ++generation;
}

void DuplicateGroups::Repath(Items& group, const std::string& from, const std::string& to) {
  const auto found = std::find_if(group.begin(), group.end(), [&](const FileItem& item) { return item.path == from; });
  if (found == group.end()) return;
  FileItem item = *found;
  item.path = to;
  item.text = ToUtf8(to);
  if (ExtractPlatformId(to) == ExtractPlatformId(from)) {
    *found = std::move(item);
    ++generation;
    return;
  }
  RemovePath(group, from);  // another identifier now: another group
  Place(std::move(item));
}

bool DuplicateGroups::HoldsDuplicates(const Items& group) {
  if (group.size() < 2) return false;
  const platform::FileIdentity unknown{};
  const platform::FileIdentity& first = group.front().identity;
  if (first == unknown) return true;
  return std::any_of(group.begin() + 1, group.end(),
                     [&](const FileItem& item) { return item.identity == unknown || item.identity != first; });
}

const FileItem* DuplicateGroups::SameFileBefore(const Items& group, size_t index) {
  // Links say so themselves; among the other names of one file, the later
  // ones are marked, never the file a link points to.
  const platform::FileIdentity unknown{};
  if (group[index].link || group[index].identity == unknown) return nullptr;
  for (size_t i = 0; i < index; ++i)
    if (!group[i].link && group[i].identity == group[index].identity) return &group[i];
  return nullptr;
}

void DuplicateGroups::Add(std::vector<std::string>& paths, std::vector<uint64_t>& sizes) {
  Queue(paths, sizes);
  while (Queued() > 0) Index(std::chrono::seconds(1));
}

void DuplicateGroups::RemovePath(Items& group, const std::string& path) {
  const auto removed = std::remove_if(group.begin(), group.end(), [&](const FileItem& item) { return item.path == path; });
  if (removed == group.end()) return;
  group.erase(removed, group.end());
  ++generation;
}

DuplicateGroups::Items* DuplicateGroups::GroupOf(const std::string& path) {
  const std::string key = ExtractPlatformId(path);
  if (key.empty()) return nullptr;
  const auto found = byKey.find(key);
  return found == byKey.end() ? nullptr : &found->second;
}

void DuplicateGroups::Skip(Items& group) {
  group.clear();
  ++generation;
}

void DuplicateGroups::Clear() {
  // Let go of on the release worker, as the groups of a large tree would
  // hold the window up.
  BackgroundRelease::Release(std::make_pair(std::move(byKey), std::move(listed)));
  byKey.clear();
  alone = 0;
  candidates.clear();
  listed.clear();
  intake.Clear();
  ++generation;
}

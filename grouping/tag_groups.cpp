#include "grouping/tag_groups.h"

#include <algorithm>
#include <tuple>

#include "kit/background_release.h"
#include "kit/text.h"

void TagsOfName(std::string_view name, std::string& lowered, std::vector<std::string_view>& tags) {
  lowered.assign(name);
  tags.clear();
  size_t start = std::string::npos;
  for (size_t i = 0; i <= lowered.size(); ++i) {
    char c = i < lowered.size() ? lowered[i] : ' ';
    const bool word = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
    if (word) {
      if (c >= 'A' && c <= 'Z') lowered[i] = static_cast<char>(c - 'A' + 'a');
      if (start == std::string::npos) start = i;
    } else if (start != std::string::npos) {
      tags.emplace_back(lowered.data() + start, i - start);
      start = std::string::npos;
    }
  }
}

void TagGroups::Reserve(size_t files) {
  // Room for twice as many: the walk's count grows every frame, and each
  // step of room costs a pass over what is already there.
  if (files > groupOfTag.bucket_count()) groupOfTag.reserve(2 * files);
  if (files > groups.capacity()) groups.reserve(2 * files);
}

bool TagGroups::Index(std::chrono::microseconds budget) {
  if (!intake.Drain(budget, [this](std::string& path, uint64_t size, const FileMark& mark) { IndexOne(path, size, mark); })) return false;
  MergeNewTags();
  return true;
}

void TagGroups::IndexOne(std::string& path, uint64_t size, const FileMark& mark) {
  Entry& entry = items.emplace_back();
  const std::string text = ToUtf8(path);
  const size_t slash = text.rfind('/');
  entry.file.text = slash == std::string::npos ? text : text.substr(slash + 1);
  entry.file.sizeText = FileSizeText(size);
  entry.file.identity = mark.identity;
  entry.file.link = mark.link;
  entry.file.path = std::move(path);

  TagsOfName(entry.file.text, lowered, tags);
  joined.clear();
  for (std::string_view tag : tags) {
    auto found = groupOfTag.find(tag);
    if (found == groupOfTag.end()) {
      found = groupOfTag.emplace(std::string(tag), static_cast<uint32_t>(groups.size())).first;
      groups.push_back({std::string(tag), {}});
      newGroups.push_back(found->second);
    }
    const uint32_t group = found->second;
    // The size before this file joins (a name may hold a tag twice).
    const auto size32 = static_cast<int32_t>(groups[group].items.size());
    if (maxGroupSize < size32) maxGroupSize = size32;
    if (std::find(joined.begin(), joined.end(), group) == joined.end()) joined.push_back(group);
  }
  for (uint32_t group : joined) groups[group].items.push_back(&entry);
  entry.groups = joined;
}

// New tags join the ordered list once per batch: sorted among themselves,
// then merged, so a batch costs its own sort plus one pass.
void TagGroups::MergeNewTags() {
  if (newGroups.empty()) return;
  const auto byTag = [this](uint32_t a, uint32_t b) { return groups[a].tag < groups[b].tag; };
  std::sort(newGroups.begin(), newGroups.end(), byTag);
  const size_t old = order.size();
  order.insert(order.end(), newGroups.begin(), newGroups.end());
  std::inplace_merge(order.begin(), order.begin() + static_cast<ptrdiff_t>(old), order.end(), byTag);
  newGroups.clear();
}

void TagGroups::Remove(const Entry* entry) {
  for (uint32_t group : entry->groups) {
    auto& list = groups[group].items;
    const auto found = std::find(list.begin(), list.end(), entry);
    if (found != list.end()) list.erase(found);
  }
}

const TagGroups::Entry* TagGroups::Find(const std::string& path) {
  const std::string text = ToUtf8(path);
  const size_t slash = text.rfind('/');
  TagsOfName(slash == std::string::npos ? text : text.substr(slash + 1), lowered, tags);
  for (std::string_view tag : tags) {
    const auto found = groupOfTag.find(tag);
    if (found == groupOfTag.end()) continue;
    for (const Entry* entry : groups[found->second].items)
      if (entry->file.path == path) return entry;
  }
  return nullptr;
}

void TagGroups::Repath(const Entry* entry, std::string path) {
  const std::string text = ToUtf8(path);
  const size_t slash = text.rfind('/');
  if ((slash == std::string::npos ? text : text.substr(slash + 1)) == entry->file.text) {
    // Entries live in items, which is not const: only the view handed out is.
    const_cast<Entry*>(entry)->file.path = std::move(path);
    return;
  }
  // Renamed: out of the old words' groups, into the new ones'.
  const std::string sizeText = entry->file.sizeText;
  const FileMark mark{entry->file.identity, entry->file.link};
  Remove(entry);
  IndexOne(path, 0, mark);
  items.back().file.sizeText = sizeText;
  MergeNewTags();
}

void TagGroups::Clear() {
  // Let go of on the release worker: at 200,000 files freeing them would
  // hold the window up for several frames.
  BackgroundRelease::Release(std::make_tuple(std::move(items), std::move(groups), std::move(groupOfTag)));
  items.clear();  // moved from: made empty for sure
  groups.clear();
  groupOfTag.clear();
  order.clear();
  newGroups.clear();
  intake.Clear();
  maxGroupSize = 0;
}

// The walk reads each folder's listing once, appends names to one reused
// path buffer, opens sub-folders and reads sizes relative to the open folder,
// and hands files over in batches, which makes it faster than find(1). It
// keeps the order entries are met in, goes depth first, never follows links,
// and skips a sub-folder it may not read.
#include "kit/folder_scanner.h"

#include <system_error>

#include "kit/frame_clock.h"
#include "platform/folder_listing.h"

using platform::EntryType;
using platform::FolderListing;
using platform::ListingFailure;

namespace {

// One open folder of the walk and where its path ends in the path buffer.
struct OpenFolder {
  FolderListing listing;
  size_t pathLength = 0;  // up to and including this folder's "/"
};

}  // namespace

void FolderScanner::Start(const std::string& root, bool onlyFolders) {
  scanning = false;
  if (walkThread.joinable()) {
    if (walkThread.get_id() == std::this_thread::get_id())
      throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur));
    walkThread.join();
    walkThread = std::thread();
  }
  // A new root starts clean: what the old walk found and nobody collected
  // belongs to another root.
  while (folderQueue.TryPop()) {
  }
  while (fileQueue.TryPop()) {
  }
  foldersOnly = onlyFolders;
  filesFound = 0;
  scanning = true;
  walkRoot = root;
  walkThread = std::thread([this] { Walk(); });
}

void FolderScanner::Join() {
  scanning = false;
  if (walkThread.joinable()) walkThread.join();
  walkThread = std::thread();
}

void FolderScanner::Walk() {
  std::string path = walkRoot;
  // Dot names count below the root only: a root the user picked inside a
  // dot folder lists its files.
  ListingFailure failure;
  FolderListing root = FolderListing::OpenRoot(path, failure);
  if (!root.IsOpen()) {
    scanning = false;
    return;
  }
  if (path.back() != '/') path += '/';
  std::vector<OpenFolder> stack;
  stack.push_back({std::move(root), path.size()});
  ScannedBatch batch;
  const auto startBatch = [&batch] {
    batch = ScannedBatch();
    batch.paths.reserve(kScanBatchFiles * 96);
    batch.ends.reserve(kScanBatchFiles);
    batch.sizes.reserve(kScanBatchFiles);
    batch.marks.reserve(kScanBatchFiles);
  };
  const auto flush = [this, &batch, &startBatch] {
    if (batch.Count() == 0) return;
    fileQueue.Push(std::move(batch));
    startBatch();
  };
  startBatch();

  while (!stack.empty() && scanning.load(std::memory_order_relaxed) && !AppExiting.load(std::memory_order_relaxed)) {
    OpenFolder& top = stack.back();
    const char* name = nullptr;
    EntryType type = EntryType::Unknown;
    if (!top.listing.Next(name, type, failure)) {
      // A sub-folder whose listing breaks off is left with what was read;
      // a failing device or a lack of memory ends the walk.
      if (failure == ListingFailure::Everything || (failure != ListingFailure::None && stack.size() == 1)) break;
      stack.pop_back();
      flush();  // a finished folder shows at once
      continue;
    }
    if (name[0] == '.') continue;  // ".", ".." and every dot name: the "/." rule
    path.resize(top.pathLength);
    path += name;

    uint64_t size = 0;
    FileMark mark;
    bool haveSize = false;
    if (type == EntryType::Unknown) {
      type = top.listing.TypeOf(name, collectSizes ? &size : nullptr, failure, collectSizes ? &mark.identity : nullptr);
      if (failure == ListingFailure::Everything) break;
      if (failure != ListingFailure::None) continue;  // gone since the listing, or in a folder not entered
      haveSize = size != 0;
    }

    if (type == EntryType::Folder) {
      folderQueue.Push(path);
      if (!recursive) continue;
      FolderListing child = top.listing.OpenSubFolder(name, failure);
      if (failure == ListingFailure::Everything) break;
      if (!child.IsOpen()) continue;  // unreadable or gone: skip that sub-folder only
      path += '/';
      stack.push_back({std::move(child), path.size()});
      continue;
    }
    if (foldersOnly) continue;
    mark.link = type == EntryType::Link;
    // Links report their target's size and identity.
    if (collectSizes && (!haveSize || mark.link) && !top.listing.SizeOf(name, size, &mark.identity)) size = 0;
    batch.Add(path, size, mark);
    filesFound.fetch_add(1, std::memory_order_relaxed);
    if (batch.Count() >= kScanBatchFiles) flush();
  }
  flush();  // what was found before a stop or an error stays reported
  stack.clear();
  scanning = false;
}

void FolderScanner::Collect(std::vector<std::string>& folders, std::vector<std::string>& files,
                            std::vector<uint64_t>* sizes, size_t maxFiles, std::vector<FileMark>* marks) {
  const size_t filesBefore = files.size();
  for (int32_t n = folderQueue.Size(); n > 0; --n) {
    auto folder = folderQueue.TryPop();
    if (!folder) break;
    folders.push_back(std::move(*folder));
  }
  for (int32_t m = fileQueue.Size(); m > 0 && files.size() - filesBefore < maxFiles; --m) {
    auto batch = fileQueue.TryPop();
    if (!batch) break;
    uint32_t start = 0;
    for (size_t i = 0; i < batch->Count(); ++i) {
      const uint32_t end = batch->ends[i];
      if (end == start) return;  // an empty path ends the collection
      if (sizes) sizes->push_back(batch->sizes[i]);
      if (marks) marks->push_back(batch->marks[i]);
      files.emplace_back(batch->paths, start, end - start);
      start = end;
    }
  }
}

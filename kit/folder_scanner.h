#pragma once
// Walks a tab's root folder on a background thread and hands the folders
// and files it meets to the GUI thread through two lock-free queues.
// Names beginning with a dot, and everything below such folders, are left
// out. No media-type filter: every file counts.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "kit/scan_queue.h"
#include "platform/file_operations.h"

// What a walk that collects sizes also notes of each file: which file its
// name leads to (links followed), and whether the entry is a symbolic link.
struct FileMark {
  platform::FileIdentity identity;
  bool link = false;
};

// A batch goes to the queue at the end of each folder and at this size.
inline constexpr size_t kScanBatchFiles = 256;

// Files met one after another, carried through the queue together: one
// queue operation per run instead of per file keeps the walk as fast as
// find(1). Each file is its full path ("/" separators) and its size (0 when
// sizes are not wanted or cannot be read).
struct ScannedBatch {
  std::string paths;            // the paths one after another
  std::vector<uint32_t> ends;   // where each path ends in paths
  std::vector<uint64_t> sizes;  // parallel to ends
  std::vector<FileMark> marks;  // parallel to ends

  void Add(const std::string& path, uint64_t size, const FileMark& mark = {}) {
    paths += path;
    ends.push_back(static_cast<uint32_t>(paths.size()));
    sizes.push_back(size);
    marks.push_back(mark);
  }
  size_t Count() const { return ends.size(); }
};

class FolderScanner {
 public:
  FolderScanner(bool recursive, bool collectSizes) : recursive(recursive), collectSizes(collectSizes) {}
  ~FolderScanner() { Join(); }
  FolderScanner(const FolderScanner&) = delete;
  FolderScanner& operator=(const FolderScanner&) = delete;

  // Starts a new walk of root, after stopping and joining any walk in
  // progress. Results of the old walk not yet collected are dropped.
  void Start(const std::string& root, bool foldersOnly);
  // Appends what the walk has pushed so far; files and sizes stay parallel.
  // With maxFiles, stops taking batches once that many files were added
  // (the rest stay queued for the next call). GUI thread only.
  void Collect(std::vector<std::string>& folders, std::vector<std::string>& files,
               std::vector<uint64_t>* sizes = nullptr, size_t maxFiles = SIZE_MAX,
               std::vector<FileMark>* marks = nullptr);
  // Stops the walk and waits for its thread.
  void Join();

  bool Recursive() const { return recursive; }
  bool CollectsSizes() const { return collectSizes; }

  ScanQueue<std::string> folderQueue;
  ScanQueue<ScannedBatch> fileQueue;
  // Files the current walk has found so far (queued or about to be).
  std::atomic<uint64_t> filesFound{0};
  // True while a walk runs; the GUI clears it to stop the walk.
  std::atomic<bool> scanning{false};

 private:
  void Walk();

  bool foldersOnly = false;
  const bool recursive;
  const bool collectSizes;
  std::thread walkThread;
  std::string walkRoot;
};

// The quarter-second collection rule every tab follows once per frame.
struct CollectTimer {
  std::chrono::steady_clock::time_point lastCollectTime = std::chrono::steady_clock::now();
  double collectInterval = 0.25;

  // True (and restarts the interval) when a collection is due.
  bool Due() {
    const auto now = std::chrono::steady_clock::now();
    if (std::chrono::duration<double>(now - lastCollectTime).count() < collectInterval) return false;
    lastCollectTime = now;
    return true;
  }
};

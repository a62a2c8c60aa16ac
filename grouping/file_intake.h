#pragma once
// Files the walk reported, waiting to be indexed a budget at a time: a tab
// indexes what it can in a few milliseconds a frame, so a batch of 200,000
// names never holds up the window.
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "kit/folder_scanner.h"

// Indexing a frame may spend, so a big batch never holds up the window.
inline constexpr std::chrono::microseconds kIndexBudgetPerFrame{6000};

// Takes what the walk found into an intake: a quarter second apart, and
// every frame while more waits than one frame takes.
class WalkCollection {
 public:
  static constexpr size_t kPerFrame = 8192;

  template <typename Intake>
  void Collect(FolderScanner& scanner, Intake& intake) {
    if (draining || timer.Due()) {
      std::vector<std::string> folders, files;
      std::vector<uint64_t> sizes;
      std::vector<FileMark> marks;
      scanner.Collect(folders, files, &sizes, kPerFrame, &marks);
      draining = files.size() >= kPerFrame;
      intake.Queue(files, sizes, &marks);
    }
    // Room for what the walk has found, made while the index is small:
    // growing it later, at its full size, holds a frame up.
    intake.Reserve(scanner.filesFound.load());
  }
  bool Draining() const { return draining; }
  // Files the walk found that are not in the intake's lists yet.
  template <typename Intake>
  bool StillGrowing(const FolderScanner& scanner, const Intake& intake) const {
    return draining || intake.Queued() > 0 || scanner.fileQueue.Size() > 0;
  }

 private:
  CollectTimer timer;
  bool draining = false;
};

// Batches are kept as they came: one list grown to the whole walk would be
// moved to new memory again and again, each time holding a frame up.
class FileIntake {
 public:
  // Takes the files (paths, sizes and marks parallel); the vectors are emptied.
  void Queue(std::vector<std::string>& paths, std::vector<uint64_t>& sizes, std::vector<FileMark>* marks = nullptr) {
    if (paths.empty()) return;
    Batch& batch = batches_.emplace_back();
    batch.paths.swap(paths);
    batch.sizes.swap(sizes);
    batch.sizes.resize(batch.paths.size(), 0);
    if (marks) batch.marks.swap(*marks);
    batch.marks.resize(batch.paths.size());
    queued_ += batch.paths.size();
    paths.clear();
    sizes.clear();
    if (marks) marks->clear();
  }
  // Hands queued files to take(path, size, mark) until the budget is spent (at
  // least one batch of 64: the clock costs as much to read as a file to
  // index). False when nothing was queued.
  template <typename Take>
  bool Drain(std::chrono::microseconds budget, Take take) {
    if (queued_ == 0) return false;
    const auto end = std::chrono::steady_clock::now() + budget;
    do {
      for (int n = 0; n < 64 && queued_ > 0; ++n) {
        Batch& batch = batches_.front();
        take(batch.paths[next_], batch.sizes[next_], batch.marks[next_]);
        --queued_;
        if (++next_ == batch.paths.size()) {
          batches_.pop_front();
          next_ = 0;
        }
      }
    } while (queued_ > 0 && std::chrono::steady_clock::now() < end);
    return true;
  }
  size_t Queued() const { return queued_; }
  void Clear() {
    batches_.clear();
    queued_ = next_ = 0;
  }

 private:
  struct Batch {
    std::vector<std::string> paths;
    std::vector<uint64_t> sizes;
    std::vector<FileMark> marks;
  };
  std::deque<Batch> batches_;
  size_t queued_ = 0;
  size_t next_ = 0;  // in the first batch
};

#pragma once
// Files the walk reported, waiting to be indexed a budget at a time: a tab
// indexes what it can in a few milliseconds a frame, so a batch of 200,000
// names never holds up the window.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "kit/folder_scanner.h"

// Takes what the walk found into an intake: a quarter second apart, and
// every frame while more waits than one frame takes.
class WalkCollection {
 public:
  static constexpr size_t kPerFrame = 16384;

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

 private:
  CollectTimer timer;
  bool draining = false;
};

class FileIntake {
 public:
  // Takes the files (paths, sizes and marks parallel); the vectors are emptied.
  void Queue(std::vector<std::string>& paths, std::vector<uint64_t>& sizes, std::vector<FileMark>* marks = nullptr) {
    if (next == paths_.size()) Clear();
    for (size_t i = 0; i < paths.size(); ++i) {
      paths_.push_back(std::move(paths[i]));
      sizes_.push_back(i < sizes.size() ? sizes[i] : 0);
      marks_.push_back(marks && i < marks->size() ? (*marks)[i] : FileMark{});
    }
    paths.clear();
    sizes.clear();
    if (marks) marks->clear();
  }
  // Hands queued files to take(path, size, mark) until the budget is spent (at
  // least one batch of 64: the clock costs as much to read as a file to
  // index). False when nothing was queued.
  template <typename Take>
  bool Drain(std::chrono::microseconds budget, Take take) {
    if (Queued() == 0) return false;
    const auto end = std::chrono::steady_clock::now() + budget;
    do {
      for (int n = 0; n < 64 && next < paths_.size(); ++n, ++next) take(paths_[next], sizes_[next], marks_[next]);
    } while (next < paths_.size() && std::chrono::steady_clock::now() < end);
    return true;
  }
  size_t Queued() const { return paths_.size() - next; }
  void Clear() {
    paths_.clear();
    sizes_.clear();
    marks_.clear();
    next = 0;
  }

 private:
  std::vector<std::string> paths_;
  std::vector<uint64_t> sizes_;
  std::vector<FileMark> marks_;
  size_t next = 0;
};

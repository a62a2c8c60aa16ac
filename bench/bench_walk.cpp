// The folder walk against find(1) and fd over the same generated tree of
// 200,000 files in 2,000 folders, warm cache, in one run; then the GUI
// thread's cost of collecting 50,000 queued files.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "kit/folder_scanner.h"
#include "bench_util.h"

namespace {

constexpr int kFolders = 2000;
constexpr int kFilesPerFolder = 100;
constexpr int kFiles = kFolders * kFilesPerFolder;

std::string MakeTree(const std::string& root) {
  const std::string stamp = root + "/.complete";
  if (std::filesystem::exists(stamp)) return root;
  std::filesystem::remove_all(root);
  for (int top = 0; top < 20; ++top) {
    for (int sub = 0; sub < kFolders / 20; ++sub) {
      const std::string folder = root + "/Collection " + std::to_string(top) + "/Album " + std::to_string(sub);
      std::filesystem::create_directories(folder);
      for (int f = 0; f < kFilesPerFolder; ++f) {
        const std::string file = folder + "/clip " + std::to_string(f) + " - some title [abc" + std::to_string(f) + "].mp4";
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
          if (::ftruncate(fd, f * 1000) != 0) std::perror("ftruncate");
          ::close(fd);
        }
      }
    }
  }
  // The "Collection" folders themselves hold nothing: 20 + 2,000 folders.
  const int fd = ::open(stamp.c_str(), O_WRONLY | O_CREAT, 0644);
  if (fd >= 0) ::close(fd);
  return root;
}

// One walk, timed until its thread is done, while the GUI collects every
// quarter second as a tab does (so freed memory is reused as in the program).
double WalkOnce(const std::string& root, bool sizes) {
  FolderScanner scanner(true, sizes);
  std::vector<std::string> folders, files;
  std::vector<uint64_t> sizeList;
  CollectTimer timer;
  const auto start = std::chrono::steady_clock::now();
  scanner.Start(root, false);
  while (scanner.scanning) {
    std::this_thread::sleep_for(std::chrono::microseconds(100));
    if (timer.Due()) scanner.Collect(folders, files, &sizeList);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  scanner.Join();
  return seconds;
}

void Report(const char* what, double seconds, double referenceSeconds, const char* reference) {
  std::printf("walk %-22s %9.0f files/s (%s %9.0f files/s, ratio %.2f; target >= 1.0)\n", what, kFiles / seconds,
              reference, kFiles / referenceSeconds, referenceSeconds / seconds);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = MakeTree(argc > 1 ? argv[1] : "/tmp/sortiq-bench-tree");
  {
    FolderScanner check(true, false);  // warms the cache and checks the tree
    check.Start(root, false);
    while (check.scanning) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (check.filesFound != kFiles)
      std::fprintf(stderr, "walk found %llu files, expected %d\n", static_cast<unsigned long long>(check.filesFound), kFiles);
  }
  TimeProgram({"find", root});

  // Rounds alternate between our walk and the references, so drift in the
  // machine's load touches both alike.
  std::vector<double> names, withSizes, find, findSizes, fd;
  for (int round = 0; round < 7; ++round) {
    names.push_back(WalkOnce(root, false));
    find.push_back(TimeProgram({"find", root}));
    fd.push_back(TimeProgram({"fdfind", "-u", ".", root}));
    withSizes.push_back(WalkOnce(root, true));
    findSizes.push_back(TimeProgram({"find", root, "-printf", "%s\n"}));
  }
  Report("names", Median(names), Median(find), "find");
  if (Median(fd) > 0) Report("names", Median(names), Median(fd), "fdfind -u");
  else std::printf("walk names: fdfind not available, no reference\n");
  Report("with sizes", Median(withSizes), Median(findSizes), "find -printf %s");
  // Collect of 50,000 queued files on the GUI thread.
  std::vector<double> collectTimes;
  for (int round = 0; round < 9; ++round) {
    FolderScanner scanner(true, true);
    ScannedBatch batch;
    for (int i = 0; i < 50000; ++i) {
      batch.Add("/media/Collection 1/Album 2/clip " + std::to_string(i) + " - title.mp4", static_cast<uint64_t>(i));
      if (batch.Count() == kScanBatchFiles || i == 49999) {
        scanner.fileQueue.Push(std::move(batch));
        batch = ScannedBatch();
      }
    }
    std::vector<std::string> folders, files;
    std::vector<uint64_t> sizes;
    const auto start = std::chrono::steady_clock::now();
    scanner.Collect(folders, files, &sizes);
    collectTimes.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  const double collectMs = Median(collectTimes) * 1000;
  std::printf("collect 50,000 queued files: %.2f ms on the GUI thread (target 8 ms, ratio %.2f)\n", collectMs,
              collectMs / 8.0);
  return 0;
}

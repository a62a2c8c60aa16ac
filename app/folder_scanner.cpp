// The walk reads each folder's listing once, appends names to one reused
// path buffer, opens sub-folders and reads sizes relative to the open folder,
// and hands files over in batches, which makes it faster than find(1). It
// keeps the order entries are met in, goes depth first, never follows links,
// and skips a sub-folder it may not read.
#include "app/folder_scanner.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>

#include "app/frame_clock.h"

namespace {

constexpr size_t kListingBufferBytes = 32 * 1024;

// One open folder of the walk: its descriptor and the part of its listing
// read so far. Reads the kernel's listing directly, which spares the
// directory-stream set-up (two extra system calls and an allocation) for
// every folder.
struct OpenFolder {
  int fd = -1;
  size_t pathLength = 0;  // length of the path buffer up to and including this folder's "/"
  char* buffer = nullptr;
  long used = 0;
  long next = 0;

  // The next entry, nullptr at the end; sets failed when the listing breaks off.
  const dirent64* Next(bool& failed) {
    if (next >= used) {
      used = ::getdents64(fd, buffer, kListingBufferBytes);
      next = 0;
      if (used <= 0) {
        failed = used < 0;
        used = 0;
        return nullptr;
      }
    }
    const auto* entry = reinterpret_cast<const dirent64*>(buffer + next);
    next += entry->d_reclen;
    return entry;
  }
};

// The root may be a link to a folder; sub-folders are opened relative to
// their open parent and never through a link.
// Errors that end the whole walk: the device fails or the process runs out
// of memory or descriptors. Any other error concerns one entry or folder.
bool WalkEndingError(int error) {
  return error == EIO || error == ENOMEM || error == EMFILE || error == ENFILE || error == ENOSPC;
}

int OpenFolderAt(int parentFd, const char* name, bool followLink) {
  int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  if (!followLink) flags |= O_NOFOLLOW;
  return ::openat(parentFd, name, flags);
}

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
  const int rootFd = path.empty() ? -1 : OpenFolderAt(AT_FDCWD, path.c_str(), true);
  if (rootFd < 0) {
    scanning = false;
    return;
  }
  if (path.back() != '/') path += '/';
  // One listing buffer per depth, reused by every folder at that depth.
  std::vector<std::unique_ptr<char[]>> buffers;
  const auto bufferForDepth = [&buffers](size_t depth) {
    if (buffers.size() <= depth) buffers.push_back(std::make_unique<char[]>(kListingBufferBytes));
    return buffers[depth].get();
  };
  std::vector<OpenFolder> stack{{rootFd, path.size(), bufferForDepth(0)}};
  ScannedBatch batch;
  const auto startBatch = [&batch] {
    batch = ScannedBatch();
    batch.paths.reserve(kScanBatchFiles * 96);
    batch.ends.reserve(kScanBatchFiles);
    batch.sizes.reserve(kScanBatchFiles);
  };
  const auto flush = [this, &batch, &startBatch] {
    if (batch.Count() == 0) return;
    fileQueue.Push(std::move(batch));
    startBatch();
  };
  startBatch();

  while (!stack.empty() && scanning.load(std::memory_order_relaxed) && !AppExiting.load(std::memory_order_relaxed)) {
    OpenFolder& top = stack.back();
    bool failed = false;
    const dirent64* entry = top.Next(failed);
    if (!entry) {
      // A sub-folder whose listing breaks off is left with what was read;
      // a failing device or a lack of memory ends the walk.
      if (failed && (stack.size() == 1 || WalkEndingError(errno))) break;
      ::close(top.fd);
      stack.pop_back();
      flush();  // a finished folder shows at once
      continue;
    }
    const char* name = entry->d_name;
    if (name[0] == '.') continue;  // ".", ".." and every dot name: the "/." rule
    path.resize(top.pathLength);
    path += name;

    bool isFolder = entry->d_type == DT_DIR;
    struct stat status;
    bool haveStatus = false;
    if (entry->d_type == DT_UNKNOWN) {
      if (::fstatat(top.fd, name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
        isFolder = S_ISDIR(status.st_mode);
        haveStatus = S_ISREG(status.st_mode);
      } else if (WalkEndingError(errno)) {
        break;
      } else {
        continue;  // gone since the listing, or in a folder that can be listed but not entered
      }
    }

    if (isFolder) {
      folderQueue.Push(path);
      if (!recursive) continue;
      const int child = OpenFolderAt(top.fd, name, false);
      if (child < 0) {
        if (WalkEndingError(errno)) break;
        continue;  // unreadable or gone: skip that sub-folder only
      }
      // Listed but not entered (no search permission): nothing below it can
      // be reached, so it is skipped too.
      if (::faccessat(child, ".", X_OK, AT_EACCESS) != 0 && errno == EACCES) {
        ::close(child);
        continue;
      }
      path += '/';
      stack.push_back({child, path.size(), bufferForDepth(stack.size())});
      continue;
    }
    if (foldersOnly) continue;
    uint64_t size = 0;
    if (collectSizes) {
      if (haveStatus) {
        size = static_cast<uint64_t>(status.st_size);
      } else if (::fstatat(top.fd, name, &status, 0) == 0 && !S_ISDIR(status.st_mode)) {
        size = static_cast<uint64_t>(status.st_size);  // links report their target's size
      }
    }
    batch.Add(path, size);
    filesFound.fetch_add(1, std::memory_order_relaxed);
    if (batch.Count() >= kScanBatchFiles) flush();
  }
  flush();  // what was found before a stop or an error stays reported
  for (auto& open : stack) ::close(open.fd);
  scanning = false;
}

void FolderScanner::Collect(std::vector<std::string>& folders, std::vector<std::string>& files,
                            std::vector<uint64_t>* sizes) {
  for (int32_t n = folderQueue.Size(); n > 0; --n) {
    auto folder = folderQueue.TryPop();
    if (!folder) break;
    folders.push_back(std::move(*folder));
  }
  for (int32_t m = fileQueue.Size(); m > 0; --m) {
    auto batch = fileQueue.TryPop();
    if (!batch) break;
    uint32_t start = 0;
    for (size_t i = 0; i < batch->Count(); ++i) {
      const uint32_t end = batch->ends[i];
      if (end == start) return;  // an empty path ends the collection
      if (sizes) sizes->push_back(batch->sizes[i]);
      files.emplace_back(batch->paths, start, end - start);
      start = end;
    }
  }
}

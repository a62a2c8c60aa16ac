// The walk reads each folder's directory stream once, appends names to one
// reused path buffer and reads sizes relative to the open folder, which keeps
// it as fast as find(1). It keeps the order entries are met in, goes depth
// first, never follows links, and skips a sub-folder it may not read.
#include "app/folder_scanner.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "app/frame_clock.h"

namespace {

struct OpenFolder {
  DIR* stream;
  size_t pathLength;  // length of the path buffer up to and including this folder's "/"
};

DIR* OpenFolderStream(const std::string& path, bool followLink) {
  int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  if (!followLink) flags |= O_NOFOLLOW;
  const int fd = ::open(path.c_str(), flags);
  if (fd < 0) return nullptr;
  DIR* stream = ::fdopendir(fd);
  if (!stream) ::close(fd);
  return stream;
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
  foldersOnly = onlyFolders;
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
  // A root inside a dot folder hides everything below it.
  const bool hidden = path.size() >= 2 && path.find("/.") != std::string::npos;
  DIR* rootStream = path.empty() || hidden ? nullptr : OpenFolderStream(path, true);
  if (!rootStream) {
    scanning = false;
    return;
  }
  if (path.back() != '/') path += '/';
  std::vector<OpenFolder> stack{{rootStream, path.size()}};

  while (!stack.empty() && scanning.load(std::memory_order_relaxed) && !AppExiting.load(std::memory_order_relaxed)) {
    OpenFolder& top = stack.back();
    errno = 0;
    const dirent* entry = ::readdir(top.stream);
    if (!entry) {
      if (errno != 0) break;  // a failing directory stream ends the walk
      ::closedir(top.stream);
      stack.pop_back();
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
      if (::fstatat(::dirfd(top.stream), name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
        isFolder = S_ISDIR(status.st_mode);
        haveStatus = S_ISREG(status.st_mode);
      } else if (errno != ENOENT) {
        break;  // only a vanished entry is taken as a file
      }
    }

    if (isFolder) {
      folderQueue.Push(path);
      if (!recursive) continue;
      DIR* child = OpenFolderStream(path, false);
      if (!child) continue;  // unreadable or gone: skip that sub-folder only
      path += '/';
      stack.push_back({child, path.size()});
      continue;
    }
    if (foldersOnly) continue;
    uint64_t size = 0;
    if (collectSizes) {
      if (haveStatus) {
        size = static_cast<uint64_t>(status.st_size);
      } else if (::fstatat(::dirfd(stack.back().stream), name, &status, 0) == 0 && !S_ISDIR(status.st_mode)) {
        size = static_cast<uint64_t>(status.st_size);  // links report their target's size
      }
    }
    fileQueue.Push(ScannedFile{path, size});
  }
  for (auto& open : stack) ::closedir(open.stream);
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
    auto file = fileQueue.TryPop();
    if (!file || file->path.empty()) break;
    if (sizes) sizes->push_back(file->size);
    files.push_back(std::move(file->path));
  }
}

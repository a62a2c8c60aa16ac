#include "platform/file_operations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace platform {
namespace {

// A descriptor closed on every way out.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd(fd) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd; }
  // Closes now and says whether everything written reached the file.
  bool Close() {
    const int result = ::close(fd);
    fd = -1;
    return result == 0;
  }

 private:
  int fd;
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool SyncFolder(const std::string& folder) {
  Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

enum class Placed { Done, TargetExists, Refused, Failed };

// Puts a file at a name in the same file system, taking the place of what
// is there in one atomic step; never a folder's place.
Placed PlaceReplacing(const std::string& from, const std::string& to) {
  struct stat target {};
  if (::lstat(to.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) return Placed::Failed;
  if (::rename(from.c_str(), to.c_str()) == 0) return Placed::Done;
  return errno == EXDEV ? Placed::Refused : Placed::Failed;
}

// Puts a file at a new name in the same file system without ever replacing
// what is there: an atomic rename that refuses an existing target, or,
// where the file system does not take that flag, a hard link (which refuses
// one too) and removal of the old name.
Placed PlaceNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return Placed::Done;
  if (errno == EEXIST) return Placed::TargetExists;
  if (errno == EXDEV) return Placed::Refused;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return Placed::Failed;
  if (::link(from.c_str(), to.c_str()) != 0) return errno == EEXIST ? Placed::TargetExists : Placed::Failed;
  if (::unlink(from.c_str()) != 0) {
    ::unlink(to.c_str());  // the new name is the one just made: the file stays as it was
    return Placed::Failed;
  }
  return Placed::Done;
}

// Copies all of a file's bytes: the kernel copies where it can, plain reads
// and writes where it cannot (some pairs of file systems).
bool CopyBytes(int from, int to, off_t size) {
  off_t done = 0;
  while (done < size) {
    const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, static_cast<size_t>(size - done), 0);
    if (copied > 0) {
      done += copied;
      continue;
    }
    if (copied == 0) break;  // the file got shorter meanwhile: copy what there is below
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL) return false;
    break;
  }
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t written = 0; written < got;) {
      const ssize_t put = ::write(to, buffer.data() + written, static_cast<size_t>(got - written));
      if (put < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      written += put;
    }
  }
}

// A temporary name in the destination's folder, removed again unless kept.
class TemporaryName {
 public:
  explicit TemporaryName(const std::string& destination) {
    path = FolderOf(destination) + "/.sortiq-move-XXXXXX";
  }
  ~TemporaryName() {
    if (made) ::unlink(path.c_str());
  }
  TemporaryName(const TemporaryName&) = delete;
  TemporaryName& operator=(const TemporaryName&) = delete;
  // Makes an empty file under a fresh name; its descriptor, or -1.
  int MakeFile() {
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    made = fd >= 0;
    return fd;
  }
  // Makes a link under a fresh name (there is no mkstemp for links).
  bool MakeLink(const std::string& target) {
    const std::string pattern = path;
    for (int attempt = 0; attempt < 100; ++attempt) {
      path = pattern;
      const int fd = ::mkostemp(path.data(), O_CLOEXEC);  // reserves the name
      if (fd < 0) return false;
      ::close(fd);
      ::unlink(path.c_str());
      if (::symlink(target.c_str(), path.c_str()) == 0) {
        made = true;
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }
  const std::string& Path() const { return path; }
  void Keep() { made = false; }

 private:
  std::string path;
  bool made = false;
};

// Into another file system: the file is copied whole to a temporary name
// beside its destination, made durable, and only then given its name
// (never replacing) and the source removed. Whatever fails, the source is
// as it was and no temporary file stays behind.
FileOperationResult MoveAcross(const std::string& source, const std::string& destination, bool replace) {
  struct stat status {};
  if (::lstat(source.c_str(), &status) != 0) return errno == ENOENT ? FileOperationResult::SourceMissing
                                                                     : FileOperationResult::Failed;
  struct stat existing {};
  if (!replace && ::lstat(destination.c_str(), &existing) == 0) return FileOperationResult::TargetExists;

  TemporaryName temporary(destination);
  if (S_ISLNK(status.st_mode)) {
    std::string target(static_cast<size_t>(status.st_size > 0 ? status.st_size : 4096) + 1, '\0');
    const ssize_t length = ::readlink(source.c_str(), target.data(), target.size());
    if (length < 0 || static_cast<size_t>(length) >= target.size()) return FileOperationResult::Failed;
    target.resize(static_cast<size_t>(length));
    if (!temporary.MakeLink(target)) return FileOperationResult::Failed;
  } else if (S_ISREG(status.st_mode)) {
    Fd from(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (from.get() < 0) return FileOperationResult::Failed;
    if (::fstat(from.get(), &status) != 0 || !S_ISREG(status.st_mode)) return FileOperationResult::Failed;
    Fd to(temporary.MakeFile());
    if (to.get() < 0) return FileOperationResult::Failed;
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (!CopyBytes(from.get(), to.get(), status.st_size) || ::fchmod(to.get(), status.st_mode & 07777) != 0 ||
        ::futimens(to.get(), times) != 0 || ::fsync(to.get()) != 0 || !to.Close())
      return FileOperationResult::Failed;
  } else {
    return FileOperationResult::Failed;  // folders and devices are not moved across
  }

  switch (replace ? PlaceReplacing(temporary.Path(), destination) : PlaceNoReplace(temporary.Path(), destination)) {
    case Placed::Done: break;
    case Placed::TargetExists: return FileOperationResult::TargetExists;
    case Placed::Refused:
    case Placed::Failed: return FileOperationResult::Failed;
  }
  temporary.Keep();
  const std::string folder = FolderOf(destination);
  if (!SyncFolder(folder) || ::unlink(source.c_str()) != 0) {
    // The copy is not to be trusted, or the source cannot go: the file
    // stays where it was, once. Where it replaced a file, the copy stays
    // too: the file it replaced is gone, and this one must not go with it.
    if (!replace) ::unlink(destination.c_str());
    return FileOperationResult::Failed;
  }
  // The source's removal is not flushed: lost in a crash, it leaves the
  // file in both places, never in neither.
  return FileOperationResult::Done;
}

}  // namespace

FileOperationResult MoveFileNoReplace(const std::string& source, const std::string& destination) {
  if (source.empty() || destination.empty()) return FileOperationResult::Failed;
  switch (PlaceNoReplace(source, destination)) {
    case Placed::Done: return FileOperationResult::Done;
    case Placed::TargetExists: return FileOperationResult::TargetExists;
    case Placed::Refused: return MoveAcross(source, destination, false);
    case Placed::Failed: break;
  }
  struct stat status {};
  return ::lstat(source.c_str(), &status) != 0 && errno == ENOENT ? FileOperationResult::SourceMissing
                                                                  : FileOperationResult::Failed;
}

FileOperationResult MoveFileReplacing(const std::string& source, const std::string& destination) {
  if (source.empty() || destination.empty()) return FileOperationResult::Failed;
  switch (PlaceReplacing(source, destination)) {
    case Placed::Done: return FileOperationResult::Done;
    case Placed::Refused: return MoveAcross(source, destination, true);
    case Placed::TargetExists:
    case Placed::Failed: break;
  }
  struct stat status {};
  return ::lstat(source.c_str(), &status) != 0 && errno == ENOENT ? FileOperationResult::SourceMissing
                                                                  : FileOperationResult::Failed;
}

FileOperationResult DeleteFileOnly(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0)
    return errno == ENOENT ? FileOperationResult::SourceMissing : FileOperationResult::Failed;
  if (S_ISDIR(status.st_mode)) return FileOperationResult::Failed;
  // unlink never removes a folder, even one put there since the check.
  if (::unlink(path.c_str()) == 0) return FileOperationResult::Done;
  return errno == ENOENT ? FileOperationResult::SourceMissing : FileOperationResult::Failed;
}

bool CreateFolder(const std::string& path) { return !path.empty() && ::mkdir(path.c_str(), 0777) == 0; }

bool PathExists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

}  // namespace platform

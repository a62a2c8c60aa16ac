// File operations on Linux.
// [Words]    errno to result
// [Places]   renames that never replace, hard-link fallback
// [Copy]     data with holes, attributes, the temporary file
// [Across]   a move onto another file system
// [Public]   the header's operations
#include "platform/file_operations.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace platform {
namespace {

using Result = FileOperationResult;

// [Words]

Result FromErrno(int error) {
  switch (error) {
    case EEXIST:
    case ENOTEMPTY:
    case EISDIR: return Result::TargetExists;
    case ENOSPC:
    case EDQUOT: return Result::NoSpace;
    case EACCES:
    case EPERM: return Result::NoPermission;
    case EROFS: return Result::ReadOnly;
    case ENAMETOOLONG: return Result::NameTooLong;
    case EFBIG: return Result::TooLarge;
    case ENOTDIR: return Result::FolderMissing;
    case EBUSY:
    case ETXTBSY:
    case EAGAIN:
    case EINTR:
    case ETIMEDOUT:
    case ENOLCK: return Result::Busy;
    default: return Result::Failed;
  }
}

bool Exists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

// A failed call on source and destination: ENOENT says only that one of
// the two is missing.
Result WhyNot(int error, const std::string& source) {
  if (error == ENOENT) return Exists(source) ? Result::FolderMissing : Result::SourceMissing;
  return FromErrno(error);
}

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

 private:
  int fd;
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool Stopping(const std::atomic<bool>* stop) { return stop && stop->load(std::memory_order_relaxed); }

// [Places]

// Puts a file at a name in the same file system, taking the place of what
// is there in one atomic step; never a folder's place. OtherDisk when the
// name is on another file system.
Result PlaceReplacing(const std::string& from, const std::string& to,
                      const std::optional<FileIdentity>& expected = std::nullopt) {
  struct stat target {}, moving {};
  if (::lstat(to.c_str(), &target) == 0) {
    if (S_ISDIR(target.st_mode)) return Result::TargetExists;
    // Only the file the user agreed to replace: another one put there since stays.
    if (expected && (expected->device != static_cast<uint64_t>(target.st_dev) ||
                     expected->inode != static_cast<uint64_t>(target.st_ino)))
      return Result::OtherFile;
    // A second name of the same file: rename would do nothing and say done.
    if (::lstat(from.c_str(), &moving) == 0 && moving.st_dev == target.st_dev && moving.st_ino == target.st_ino)
      return Result::TargetExists;
  }
  if (::rename(from.c_str(), to.c_str()) == 0) return Result::Done;
  return errno == EXDEV ? Result::OtherDisk : WhyNot(errno, from);
}

// Puts a file at a new name in the same file system without ever replacing
// what is there: an atomic rename that refuses an existing target, or,
// where the file system does not take that flag, a hard link (which refuses
// one too) and removal of the old name.
Result PlaceNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return Result::Done;
  if (errno == EXDEV) return Result::OtherDisk;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return WhyNot(errno, from);
  if (::link(from.c_str(), to.c_str()) != 0) return errno == EXDEV ? Result::OtherDisk : WhyNot(errno, from);
  if (::unlink(from.c_str()) != 0) {
    const int error = errno;
    ::unlink(to.c_str());  // the new name is the one just made: the file stays as it was
    return FromErrno(error);
  }
  return Result::Done;
}

// [Copy]

constexpr size_t kBlock = 8 << 20;  // a stop is seen between blocks this big

// Copies [offset, end) of one file to the same place in another: the
// kernel's copy where the pair of file systems allows it, then the kernel's
// file-to-file send, then plain reads and writes. `tier` remembers what
// worked across calls.
Result CopyRange(int from, int to, off_t offset, off_t end, int& tier, const std::atomic<bool>* stop) {
  std::vector<char> buffer;
  while (offset < end) {
    if (Stopping(stop)) return Result::Stopped;
    const size_t want = static_cast<size_t>(std::min<off_t>(end - offset, static_cast<off_t>(kBlock)));
    ssize_t copied = -1;
    if (tier == 0) {
      off_t in = offset, out = offset;
      copied = ::copy_file_range(from, &in, to, &out, want, 0);
      if (copied < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
        tier = 1;
        continue;
      }
    } else if (tier == 1) {
      off_t in = offset;
      if (::lseek(to, offset, SEEK_SET) < 0) return FromErrno(errno);
      copied = ::sendfile(to, from, &in, want);
      if (copied < 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
        tier = 2;
        continue;
      }
    } else {
      buffer.resize(std::min<size_t>(want, 1 << 20));
      copied = ::pread(from, buffer.data(), std::min(want, buffer.size()), offset);
      for (ssize_t written = 0; copied > 0 && written < copied;) {
        const ssize_t put = ::pwrite(to, buffer.data() + written, static_cast<size_t>(copied - written),
                                     offset + written);
        if (put < 0) {
          if (errno == EINTR) continue;
          return FromErrno(errno);
        }
        written += put;
      }
    }
    if (copied < 0) {
      if (errno == EINTR) continue;
      return FromErrno(errno);
    }
    if (copied == 0) return Result::Changed;  // the file got shorter meanwhile
    offset += copied;
  }
  return Result::Done;
}

// Copies a regular file's data: shared blocks where the file system can
// (a reflink), else each run of data alone, so holes stay holes.
Result CopyData(int from, int to, off_t size, const std::atomic<bool>* stop) {
  if (size > 0 && ::ioctl(to, FICLONE, from) == 0) return Result::Done;
  int tier = 0;
  off_t offset = 0;
  while (offset < size) {
    off_t data = ::lseek(from, offset, SEEK_DATA);
    off_t hole = size;
    if (data < 0) {
      if (errno == ENXIO) break;  // nothing but a hole to the end
      data = offset;              // no map of holes: copy everything
    } else {
      hole = ::lseek(from, data, SEEK_HOLE);
      if (hole < 0 || hole > size) hole = size;
    }
    if (data >= size) break;
    const Result copied = CopyRange(from, to, data, hole, tier, stop);
    if (copied != Result::Done) return copied;
    offset = hole;
  }
  if (::ftruncate(to, size) != 0) return FromErrno(errno);  // the hole at the end
  return Result::Done;
}

// Extended attributes: desktop tags, ratings, the download's origin and
// access lists. What the destination will not take (another file system's
// namespace, a security label) is left behind: the file matters more.
void CopyAttributes(int from, int to) {
  ssize_t size = ::flistxattr(from, nullptr, 0);
  if (size <= 0) return;
  std::vector<char> names(static_cast<size_t>(size));
  size = ::flistxattr(from, names.data(), names.size());
  if (size <= 0) return;
  std::vector<char> value;
  for (const char* name = names.data(); name < names.data() + size; name += std::char_traits<char>::length(name) + 1) {
    const ssize_t length = ::fgetxattr(from, name, nullptr, 0);
    if (length < 0) continue;
    value.resize(static_cast<size_t>(length) + 1);
    const ssize_t got = ::fgetxattr(from, name, value.data(), value.size());
    if (got < 0) continue;
    ::fsetxattr(to, name, value.data(), static_cast<size_t>(got), 0);
  }
}

bool SameContent(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

std::string FreshHiddenName(const std::string& folder) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  char name[32];
  std::snprintf(name, sizeof name, "/.sortiq-move-%012llx",
                static_cast<unsigned long long>(random() & 0xffffffffffffULL));
  return folder + name;
}

// The copy before it has its name: an unnamed file in the destination's
// folder where the file system has them (nothing is left on any way out,
// not even after a kill), else a hidden name removed on every way out.
class CopyInProgress {
 public:
  CopyInProgress(int folderFd, std::string folder) : folder(std::move(folder)) {
    fd = ::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) return;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) {
      error = errno;
      return;
    }
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      name = FreshHiddenName(this->folder);
      fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
      error = errno;
      name.clear();
    }
  }
  ~CopyInProgress() {
    if (fd >= 0) ::close(fd);
    if (!name.empty()) ::unlink(name.c_str());
  }
  CopyInProgress(const CopyInProgress&) = delete;
  CopyInProgress& operator=(const CopyInProgress&) = delete;

  int Fd() const { return fd; }
  int Error() const { return error; }

  // Gives the finished copy its name. Never replacing, unless `replace`;
  // then never a folder's place. An unnamed copy is linked in through its
  // descriptor, so it stays open until then.
  Result Place(const std::string& destination, bool replace, const std::optional<FileIdentity>& expected) {
    if (name.empty()) return PlaceUnnamed(destination, replace, expected);
    const Result placed = replace ? PlaceReplacing(name, destination, expected) : PlaceNoReplace(name, destination);
    if (placed == Result::Done) name.clear();
    return placed;
  }

 private:
  Result LinkTo(const std::string& path) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return Result::Done;
    if (errno != ENOENT || Exists("/proc/self")) return FromErrno(errno);
    if (::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return Result::Done;  // no /proc here
    return FromErrno(errno);
  }
  Result PlaceUnnamed(const std::string& destination, bool replace, const std::optional<FileIdentity>& expected) {
    if (!replace) return LinkTo(destination);
    // Replacing takes a rename: the copy gets a hidden name for that moment.
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string hidden = FreshHiddenName(folder);
      const Result linked = LinkTo(hidden);
      if (linked == Result::TargetExists) continue;
      if (linked != Result::Done) return linked;
      const Result placed = PlaceReplacing(hidden, destination, expected);
      if (placed != Result::Done) ::unlink(hidden.c_str());
      return placed;
    }
    return Result::Failed;
  }

  std::string folder;
  std::string name;  // empty for an unnamed copy
  int fd = -1;
  int error = 0;
};

// A symbolic link is made anew beside its destination under a hidden name
// (links have no unnamed form), then given its name.
Result CopyLink(const std::string& source, const struct stat& status, const std::string& destination, bool replace,
                const std::optional<FileIdentity>& expected) {
  std::string target(static_cast<size_t>(status.st_size > 0 ? status.st_size : 4096) + 1, '\0');
  const ssize_t length = ::readlink(source.c_str(), target.data(), target.size());
  if (length < 0) return WhyNot(errno, source);
  if (static_cast<size_t>(length) >= target.size()) return Result::Changed;
  target.resize(static_cast<size_t>(length));
  const std::string folder = FolderOf(destination);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string hidden = FreshHiddenName(folder);
    if (::symlink(target.c_str(), hidden.c_str()) != 0) {
      if (errno == EEXIST) continue;
      return WhyNot(errno == ENOENT ? ENOTDIR : errno, source);
    }
    const Result placed = replace ? PlaceReplacing(hidden, destination, expected) : PlaceNoReplace(hidden, destination);
    if (placed != Result::Done) ::unlink(hidden.c_str());
    return placed;
  }
  return Result::Failed;
}

// [Across]

// Into another file system: the file is copied whole beside its
// destination, made durable, and only then given its name (never
// replacing, unless asked) and the source removed, if it did not change
// meanwhile. Whatever fails, the source is as it was and no copy stays.
Result MoveAcross(const std::string& source, const std::string& destination, bool replace,
                  const std::atomic<bool>* stop, const std::optional<FileIdentity>& expected) {
  struct stat status {};
  if (::lstat(source.c_str(), &status) != 0) return WhyNot(errno, source);
  if (!replace && Exists(destination)) return Result::TargetExists;
  // The source must be able to go, or the whole copy would be wasted.
  if (::faccessat(AT_FDCWD, FolderOf(source).c_str(), W_OK, AT_EACCESS) != 0) return FromErrno(errno);

  Result placed = Result::Failed;
  if (S_ISLNK(status.st_mode)) {
    placed = CopyLink(source, status, destination, replace, expected);
    if (placed != Result::Done) return placed;
  } else if (S_ISREG(status.st_mode)) {
    Fd from(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (from.get() < 0) return WhyNot(errno, source);
    struct stat before {};
    if (::fstat(from.get(), &before) != 0) return FromErrno(errno);
    if (!S_ISREG(before.st_mode)) return Result::Changed;

    const std::string folder = FolderOf(destination);
    Fd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.get() < 0) return errno == ENOENT ? Result::FolderMissing : FromErrno(errno);
    // Room for the blocks it uses (a sparse file needs only its data).
    struct statvfs space {};
    if (::fstatvfs(folderFd.get(), &space) == 0 && space.f_frsize > 0 &&
        static_cast<unsigned long long>(before.st_blocks) * 512ULL >
            static_cast<unsigned long long>(::geteuid() == 0 ? space.f_bfree : space.f_bavail) * space.f_frsize)
      return Result::NoSpace;

    CopyInProgress copy(folderFd.get(), folder);
    if (copy.Fd() < 0) return FromErrno(copy.Error());
    const Result copied = CopyData(from.get(), copy.Fd(), before.st_size, stop);
    if (copied != Result::Done) return copied;
    if (::fchown(copy.Fd(), before.st_uid, before.st_gid) != 0) {
      // Only root may give a file away; the copy stays the user's.
    }
    if (::fchmod(copy.Fd(), before.st_mode & 07777) != 0) return FromErrno(errno);
    CopyAttributes(from.get(), copy.Fd());
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    if (::futimens(copy.Fd(), times) != 0 || ::fsync(copy.Fd()) != 0) return FromErrno(errno);
    // A download still being written, or a file swapped under the name:
    // the copy would not be the file the user chose.
    struct stat after {}, named {};
    if (::fstat(from.get(), &after) != 0 || !SameContent(before, after) || ::lstat(source.c_str(), &named) != 0 ||
        named.st_dev != before.st_dev || named.st_ino != before.st_ino)
      return Result::Changed;
    if (Stopping(stop)) return Result::Stopped;
    placed = copy.Place(destination, replace, expected);
    if (placed != Result::Done) return placed;
    if (::fsync(folderFd.get()) != 0) {
      if (!replace) ::unlink(destination.c_str());
      return FromErrno(errno);
    }
  } else {
    return Result::Failed;  // folders and devices are not moved across
  }

  if (::unlink(source.c_str()) != 0) {
    // The source cannot go: the file stays where it was, once. Where it
    // replaced a file, the copy stays too: the file it replaced is gone,
    // and this one must not go with it.
    const int error = errno;
    if (!replace) ::unlink(destination.c_str());
    return FromErrno(error);
  }
  // The source's removal is not flushed: lost in a crash, it leaves the
  // file in both places, never in neither.
  return Result::Done;
}

}  // namespace

// [Public]

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat status {};
  if (path.empty() || ::lstat(path.c_str(), &status) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

std::string LinkTarget(const std::string& path) {
  std::string target(4096, '\0');
  const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
  if (length <= 0) return {};
  target.resize(static_cast<size_t>(length));
  return target;
}

FileOperationResult MoveFileNoReplace(const std::string& source, const std::string& destination,
                                      const std::atomic<bool>* stop) {
  if (source.empty() || destination.empty()) return Result::Failed;
  const Result placed = PlaceNoReplace(source, destination);
  return placed == Result::OtherDisk ? MoveAcross(source, destination, false, stop, std::nullopt) : placed;
}

FileOperationResult MoveFileReplacing(const std::string& source, const std::string& destination,
                                      const std::atomic<bool>* stop, const std::optional<FileIdentity>& expected) {
  if (source.empty() || destination.empty()) return Result::Failed;
  const Result placed = PlaceReplacing(source, destination, expected);
  return placed == Result::OtherDisk ? MoveAcross(source, destination, true, stop, expected) : placed;
}

FileOperationResult MoveWithoutCopy(const std::string& source, const std::string& destination) {
  if (source.empty() || destination.empty()) return Result::Failed;
  return PlaceNoReplace(source, destination);
}

FileOperationResult DeleteFileOnly(const std::string& path, const std::optional<FileIdentity>& expected) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return errno == ENOENT ? Result::SourceMissing : FromErrno(errno);
  if (expected && (expected->device != static_cast<uint64_t>(status.st_dev) ||
                   expected->inode != static_cast<uint64_t>(status.st_ino)))
    return Result::OtherFile;
  if (S_ISDIR(status.st_mode)) return Result::Failed;
  // unlink never removes a folder, even one put there since the check.
  if (::unlink(path.c_str()) == 0) return Result::Done;
  return errno == ENOENT ? Result::SourceMissing : FromErrno(errno);
}

bool CreateFolder(const std::string& path) { return !path.empty() && ::mkdir(path.c_str(), 0777) == 0; }

bool PathExists(const std::string& path) { return Exists(path); }

}  // namespace platform

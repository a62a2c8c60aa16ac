// The trash through GLib's GIO, which keeps to the desktop's trash rules
// (the user's trash, a trash folder per disk, the .trashinfo notes).
// [Words]   GIO errors to results
// [Finding] where GIO put a file
// [Public]  the header's operations
#include "platform/trash.h"

#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

const char* TrashName() { return "trash"; }

namespace {

using Result = FileOperationResult;

// [Words]

Result FromGioError(const GError* error) {
  if (!error || error->domain != G_IO_ERROR) return Result::TrashBroken;
  switch (error->code) {
    case G_IO_ERROR_NOT_FOUND: return Result::SourceMissing;
    case G_IO_ERROR_NOT_SUPPORTED: return Result::NoTrash;
    case G_IO_ERROR_NO_SPACE: return Result::NoSpace;
    case G_IO_ERROR_PERMISSION_DENIED: return Result::NoPermission;
    case G_IO_ERROR_READ_ONLY: return Result::ReadOnly;
    case G_IO_ERROR_FILENAME_TOO_LONG: return Result::NameTooLong;
    case G_IO_ERROR_BUSY: return Result::Busy;
    default: return Result::TrashBroken;  // not a folder, damaged: the trash's own trouble
  }
}

// [Finding]

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The top folder of the disk that holds `folder`: the last one up the path
// on the same device.
std::string TopOfDisk(std::string folder) {
  struct stat here {};
  if (::stat(folder.c_str(), &here) != 0) return {};
  while (folder != "/") {
    const std::string parent = FolderOf(folder);
    struct stat above {};
    if (::stat(parent.c_str(), &above) != 0 || above.st_dev != here.st_dev) break;
    folder = parent;
  }
  return folder;
}

// The trash folders a file of this folder may have gone to, the user's first.
std::vector<std::string> TrashFolders(const std::string& folder) {
  std::vector<std::string> folders{std::string(g_get_user_data_dir()) + "/Trash"};
  const std::string top = TopOfDisk(folder);
  if (!top.empty()) {
    const std::string base = top == "/" ? "" : top;
    const std::string uid = std::to_string(::geteuid());
    folders.push_back(base + "/.Trash/" + uid);
    folders.push_back(base + "/.Trash-" + uid);
  }
  return folders;
}

// The names a trash gives a file called `name`, the n-th time it holds one:
// "clip.mp4", then "clip.2.mp4", "clip.3.mp4" ... (the number before the
// first dot, so ".hidden" gives ".2.hidden").
std::string TrashName(const std::string& name, int n) {
  if (n == 1) return name;
  const size_t dot = name.find('.');
  if (dot == std::string::npos) return name + "." + std::to_string(n);
  return name.substr(0, dot) + "." + std::to_string(n) + name.substr(dot);
}

// The trash's names are tried in turn; a few unused ones in a row end the
// search (entries removed since leave gaps).
std::optional<TrashEntry> FindInTrash(const std::string& path, const FileIdentity& identity) {
  constexpr int kGapsTolerated = 8;
  constexpr int kMostNames = 100000;
  const size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  // The disk's top as the trash sees it: a folder reached through a link
  // to another disk is on that disk.
  char* real = ::realpath(FolderOf(path).c_str(), nullptr);
  const std::string folder = real ? real : FolderOf(path);
  std::free(real);
  for (const std::string& trash : TrashFolders(folder)) {
    int gaps = 0;
    for (int n = 1; n <= kMostNames && gaps <= kGapsTolerated; ++n) {
      const std::string trashName = TrashName(name, n);
      const std::string file = trash + "/files/" + trashName;
      const std::string info = trash + "/info/" + trashName + ".trashinfo";
      const std::optional<FileIdentity> there = IdentityOf(file);
      if (there && *there == identity) return TrashEntry{file, info, path, identity};
      gaps = (there || IdentityOf(info)) ? 0 : gaps + 1;
    }
  }
  return std::nullopt;
}

}  // namespace

// [Public]

FileOperationResult MoveToTrash(const std::string& path, const std::optional<FileIdentity>& expected,
                                std::optional<TrashEntry>& entry) {
  entry.reset();
  struct stat status {};
  if (path.empty() || ::lstat(path.c_str(), &status) != 0) return Result::SourceMissing;
  const FileIdentity identity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
  if (expected && *expected != identity) return Result::OtherFile;
  if (S_ISDIR(status.st_mode)) return Result::Failed;  // folders are not the program's to delete
  // The local file system directly: no desktop services are asked.
  // One file at a time: both workers trash (deletions, overwrites), and
  // GLib's allocator synchronises in ways the thread checker cannot see.
  static std::mutex gio;
  {
    std::lock_guard lock(gio);
    GFile* file = g_vfs_get_file_for_path(g_vfs_get_local(), path.c_str());
    GError* error = nullptr;
    const bool trashed = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (!trashed) {
      const Result result = FromGioError(error);
      g_error_free(error);
      return result;
    }
  }
  entry = FindInTrash(path, identity);
  return Result::Done;
}

FileOperationResult RestoreFromTrash(const TrashEntry& entry) {
  const std::optional<FileIdentity> there = IdentityOf(entry.file);
  if (!there || *there != entry.identity) return Result::SourceMissing;
  const Result placed = MoveWithoutCopy(entry.file, entry.originalPath);
  if (placed == Result::Done) ::unlink(entry.info.c_str());  // the desktop no longer lists it
  return placed;
}

}  // namespace platform

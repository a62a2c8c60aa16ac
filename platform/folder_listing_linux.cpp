// Reads the kernel's listing directly: the directory-stream set-up (two
// extra system calls and an allocation per folder) would make the walk
// slower than find(1). Listing buffers are kept for reuse by the thread
// that walks.
#include "platform/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr size_t kListingBufferBytes = 32 * 1024;

}  // namespace

struct FolderListing::Open {
  int fd = -1;
  long used = 0;  // the part of the listing read so far
  long next = 0;
  char buffer[kListingBufferBytes];
};

namespace {

// States of listings closed on this thread, with their buffers, for the
// next folders opened.
thread_local std::vector<std::unique_ptr<FolderListing::Open>> spareStates;

FolderListing::OpenPtr OpenState(int fd) {
  std::unique_ptr<FolderListing::Open> state;
  if (spareStates.empty()) {
    state.reset(new FolderListing::Open);
  } else {
    state = std::move(spareStates.back());
    spareStates.pop_back();
  }
  state->fd = fd;
  state->used = state->next = 0;
  return FolderListing::OpenPtr(state.release());
}

ListingFailure FailureOf(int error) {
  const bool everything = error == EIO || error == ENOMEM || error == EMFILE || error == ENFILE || error == ENOSPC;
  return everything ? ListingFailure::Everything : ListingFailure::ThisOne;
}

EntryType TypeOfMode(mode_t mode) {
  return S_ISDIR(mode) ? EntryType::Folder : S_ISLNK(mode) ? EntryType::Link : EntryType::NotFolder;
}

FileIdentity IdentityOfStatus(const struct stat& status) {
  return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

}  // namespace

void FolderListing::ReleaseOpen::operator()(Open* open) const {
  ::close(open->fd);
  std::unique_ptr<Open> state(open);
  if (spareStates.size() < 64) spareStates.push_back(std::move(state));
}

FolderListing::~FolderListing() = default;
FolderListing::FolderListing(FolderListing&& other) noexcept = default;
FolderListing& FolderListing::operator=(FolderListing&& other) noexcept = default;

FolderListing FolderListing::OpenRoot(const std::string& path, ListingFailure& failure) {
  const int fd = path.empty() ? -1 : ::openat(AT_FDCWD, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  failure = fd < 0 ? FailureOf(path.empty() ? ENOENT : errno) : ListingFailure::None;
  return fd < 0 ? FolderListing() : FolderListing(OpenState(fd));
}

FolderListing FolderListing::OpenSubFolder(const char* name, ListingFailure& failure) const {
  const int child = ::openat(open->fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
  if (child < 0) {
    failure = FailureOf(errno);
    return FolderListing();
  }
  // Listed but not entered (no search permission): nothing below it can be
  // reached.
  if (::faccessat(child, ".", X_OK, AT_EACCESS) != 0 && errno == EACCES) {
    ::close(child);
    failure = ListingFailure::ThisOne;
    return FolderListing();
  }
  failure = ListingFailure::None;
  return FolderListing(OpenState(child));
}

bool FolderListing::Next(const char*& name, EntryType& type, ListingFailure& failure) {
  failure = ListingFailure::None;
  Open& state = *open;
  if (state.next >= state.used) {
    state.used = ::getdents64(state.fd, state.buffer, kListingBufferBytes);
    state.next = 0;
    if (state.used <= 0) {
      if (state.used < 0) failure = FailureOf(errno);
      state.used = 0;
      return false;
    }
  }
  const auto* entry = reinterpret_cast<const dirent64*>(state.buffer + state.next);
  state.next += entry->d_reclen;
  name = entry->d_name;
  type = entry->d_type == DT_DIR       ? EntryType::Folder
         : entry->d_type == DT_LNK     ? EntryType::Link
         : entry->d_type == DT_UNKNOWN ? EntryType::Unknown
                                       : EntryType::NotFolder;
  return true;
}

EntryType FolderListing::TypeOf(const char* name, uint64_t* regularFileSize, ListingFailure& failure,
                                FileIdentity* regularFileIdentity) const {
  struct stat status;
  if (::fstatat(open->fd, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
    failure = FailureOf(errno);
    return EntryType::Unknown;
  }
  failure = ListingFailure::None;
  if (regularFileSize && S_ISREG(status.st_mode)) *regularFileSize = static_cast<uint64_t>(status.st_size);
  if (regularFileIdentity && S_ISREG(status.st_mode)) *regularFileIdentity = IdentityOfStatus(status);
  return TypeOfMode(status.st_mode);
}

bool FolderListing::SizeOf(const char* name, uint64_t& size, FileIdentity* identity) const {
  struct stat status;
  if (::fstatat(open->fd, name, &status, 0) != 0 || S_ISDIR(status.st_mode)) return false;
  size = static_cast<uint64_t>(status.st_size);
  if (identity) *identity = IdentityOfStatus(status);
  return true;
}

}  // namespace platform

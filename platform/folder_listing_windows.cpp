// Folders are read with FindFirstFileExW, whose entries carry each file's
// type, attributes and size. Hidden entries (the system's attribute) are
// left out here; the walk leaves out dot names itself. Links and junctions
// are reported as links and never entered.
#include <windows.h>

#include <utility>

#include "platform/file_identity_windows.h"
#include "platform/folder_listing.h"
#include "platform/utf16_windows.h"

namespace platform {

struct FolderListing::Open {
  std::wstring folder;  // the system path with its trailing "\"
  HANDLE find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW entry{};
  bool entryWaiting = false;  // the first entry came with the open
  bool ended = false;
  std::string name;  // the current entry's name, UTF-8
};

namespace {

ListingFailure FailureOf(DWORD error) {
  switch (error) {
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_TOO_MANY_OPEN_FILES:
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
      return ListingFailure::Everything;
    default:
      return ListingFailure::ThisOne;
  }
}

EntryType TypeOfAttributes(DWORD attributes, DWORD reparseTag) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLinkReparseTag(reparseTag)) return EntryType::Link;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryType::Folder : EntryType::NotFolder;
}

// Opens a listing of the folder at a system path (with its trailing "\").
FolderListing::OpenPtr OpenFolderAt(std::wstring folder, ListingFailure& failure) {
  FolderListing::OpenPtr open(new FolderListing::Open);
  open->folder = std::move(folder);
  open->find = FindFirstFileExW((open->folder + L"*").c_str(), FindExInfoBasic, &open->entry, FindExSearchNameMatch,
                                nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (open->find == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) {  // an empty drive root: nothing to list
      open->ended = true;
      failure = ListingFailure::None;
      return open;
    }
    failure = FailureOf(error);
    return nullptr;
  }
  open->entryWaiting = true;
  failure = ListingFailure::None;
  return open;
}

// The kind of reparse point an entry is (its find data carries the tag);
// 0 when it cannot be read, which is taken as a link.
DWORD ReparseTagOf(const std::wstring& path) {
  WIN32_FIND_DATAW entry{};
  HANDLE find = FindFirstFileExW(path.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return 0;
  FindClose(find);
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? entry.dwReserved0 : 0;
}

bool IsLinkOrUnknown(DWORD tag) { return tag == 0 || IsLinkReparseTag(tag); }

std::wstring WithTrailingSeparator(std::wstring path) {
  if (path.empty() || path.back() != L'\\') path += L'\\';
  return path;
}

}  // namespace

bool IsLinkReparseTag(DWORD tag) { return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT; }

std::optional<FileIdentity> IdentityOfHandle(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file, &information)) return std::nullopt;
  return FileIdentity{information.dwVolumeSerialNumber,
                      (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
}

std::optional<FileIdentity> IdentityOfSystemPath(const std::wstring& path, bool followLinks) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  auto identity = IdentityOfHandle(file);
  CloseHandle(file);
  return identity;
}

void FolderListing::ReleaseOpen::operator()(Open* open) const {
  if (open->find != INVALID_HANDLE_VALUE) FindClose(open->find);
  delete open;
}

FolderListing::~FolderListing() = default;
FolderListing::FolderListing(FolderListing&& other) noexcept = default;
FolderListing& FolderListing::operator=(FolderListing&& other) noexcept = default;

FolderListing FolderListing::OpenRoot(const std::string& path, ListingFailure& failure) {
  if (path.empty()) {
    failure = ListingFailure::ThisOne;
    return FolderListing();
  }
  const std::wstring folder = SystemPath(path);
  // The root may be a link or junction to a folder: it is followed.
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    failure = attributes == INVALID_FILE_ATTRIBUTES ? FailureOf(GetLastError()) : ListingFailure::ThisOne;
    return FolderListing();
  }
  OpenPtr open = OpenFolderAt(WithTrailingSeparator(folder), failure);
  return open ? FolderListing(std::move(open)) : FolderListing();
}

FolderListing FolderListing::OpenSubFolder(const char* name, ListingFailure& failure) const {
  const std::wstring folder = open->folder + Utf16(name);
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  // Never through a link or junction; other reparse points (a folder kept
  // in sync with cloud storage) are folders like any other.
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLinkOrUnknown(ReparseTagOf(folder)))) {
    failure = attributes == INVALID_FILE_ATTRIBUTES ? FailureOf(GetLastError()) : ListingFailure::ThisOne;
    return FolderListing();
  }
  OpenPtr child = OpenFolderAt(WithTrailingSeparator(folder), failure);
  return child ? FolderListing(std::move(child)) : FolderListing();
}

bool FolderListing::Next(const char*& name, EntryType& type, ListingFailure& failure) {
  failure = ListingFailure::None;
  Open& state = *open;
  while (!state.ended) {
    if (!state.entryWaiting) {
      if (!FindNextFileW(state.find, &state.entry)) {
        const DWORD error = GetLastError();
        if (error != ERROR_NO_MORE_FILES) failure = FailureOf(error);
        state.ended = true;
        break;
      }
    }
    state.entryWaiting = false;
    if (state.entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) continue;
    state.name = Utf8(state.entry.cFileName, wcsnlen(state.entry.cFileName, MAX_PATH));
    name = state.name.c_str();
    type = TypeOfAttributes(state.entry.dwFileAttributes, state.entry.dwReserved0);
    return true;
  }
  return false;
}

EntryType FolderListing::TypeOf(const char* name, uint64_t* regularFileSize, ListingFailure& failure,
                                FileIdentity* regularFileIdentity) const {
  const std::wstring path = open->folder + Utf16(name);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    failure = FailureOf(GetLastError());
    return EntryType::Unknown;
  }
  failure = ListingFailure::None;
  DWORD tag = 0;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileExW(path.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (find != INVALID_HANDLE_VALUE) {
      tag = found.dwReserved0;
      FindClose(find);
    }
  }
  const EntryType type = TypeOfAttributes(data.dwFileAttributes, tag);
  if (type == EntryType::NotFolder) {
    if (regularFileSize) *regularFileSize = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (regularFileIdentity) *regularFileIdentity = IdentityOfSystemPath(path, false).value_or(FileIdentity{});
  }
  return type;
}

bool FolderListing::SizeOf(const char* name, uint64_t& size, FileIdentity* identity) const {
  const std::wstring path = open->folder + Utf16(name);
  // Through a link: the handle is opened on what it points to.
  HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool ok = GetFileInformationByHandle(file, &information) &&
                  !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  CloseHandle(file);
  if (!ok) return false;
  size = (static_cast<uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
  if (identity)
    *identity = {information.dwVolumeSerialNumber,
                 (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
  return true;
}

}  // namespace platform

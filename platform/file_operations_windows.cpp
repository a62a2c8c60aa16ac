// File operations on Windows.
// [Words]    system errors to results
// [Places]   renames that never replace, or replace only the file agreed to
// [Across]   a move onto another volume: a hidden copy, then its name
// [Public]   the header's operations
#include <windows.h>
#include <winioctl.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "platform/file_identity_windows.h"
#include "platform/file_operations.h"
#include "platform/utf16_windows.h"

namespace platform {
namespace {

using Result = FileOperationResult;

// [Words]

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }
bool Exists(const std::wstring& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }
bool IsFolder(DWORD attributes) { return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY); }

Result FromError(DWORD error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return Result::TargetExists;
    case ERROR_FILE_NOT_FOUND: return Result::SourceMissing;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY: return Result::FolderMissing;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return Result::NoSpace;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD: return Result::NoPermission;
    case ERROR_WRITE_PROTECT: return Result::ReadOnly;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW: return Result::NameTooLong;
    case ERROR_FILE_TOO_LARGE: return Result::TooLarge;
    case ERROR_NOT_SAME_DEVICE: return Result::OtherDisk;
    case ERROR_REQUEST_ABORTED: return Result::Stopped;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
    case ERROR_OPERATION_ABORTED: return Result::Busy;
    default: return Result::Failed;
  }
}

// A failed call on source and destination: "not found" says only that one
// of the two is missing.
Result WhyNot(DWORD error, const std::wstring& source) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
    return Exists(source) ? Result::FolderMissing : Result::SourceMissing;
  return FromError(error);
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t separator = path.find_last_of(L'\\');
  return separator == std::wstring::npos ? L"." : path.substr(0, separator + 1);
}

// [Places]

// Puts a file at a name on the same volume without ever replacing what is
// there: the rename itself refuses an existing name. OtherDisk when the
// name is on another volume.
Result PlaceNoReplace(const std::wstring& from, const std::wstring& to) {
  if (MoveFileExW(from.c_str(), to.c_str(), 0)) return Result::Done;
  return WhyNot(GetLastError(), from);
}

// Puts a file at a name on the same volume, taking the place of what is
// there in one step; never a folder's place, and with an identity only
// that very file's.
Result PlaceReplacing(const std::wstring& from, const std::wstring& to, const std::optional<FileIdentity>& expected) {
  const DWORD target = Attributes(to);
  if (target != INVALID_FILE_ATTRIBUTES) {
    if (IsFolder(target)) return Result::TargetExists;
    const auto there = IdentityOfSystemPath(to, false);
    if (expected && there != expected) return Result::OtherFile;
    // A second name of the same file: replacing it would lose the file.
    if (there && IdentityOfSystemPath(from, false) == there) return Result::TargetExists;
  }
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return Result::Done;
  return WhyNot(GetLastError(), from);
}

// [Across]

std::wstring FreshHiddenName(const std::wstring& folder) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  wchar_t name[32];
  std::swprintf(name, 32, L".sortiq-move-%012llx", static_cast<unsigned long long>(random() & 0xffffffffffffULL));
  return folder + name;
}

struct FileState {
  FileIdentity identity;
  uint64_t size = 0;
  FILETIME written{};
};

std::optional<FileState> StateOf(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool ok = GetFileInformationByHandle(file, &information);
  CloseHandle(file);
  if (!ok) return std::nullopt;
  return FileState{{information.dwVolumeSerialNumber,
                    (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow},
                   (static_cast<uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow,
                   information.ftLastWriteTime};
}

bool SameContent(const FileState& a, const FileState& b) {
  return a.identity == b.identity && a.size == b.size && CompareFileTime(&a.written, &b.written) == 0;
}

DWORD CALLBACK CopyProgress(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                            LPVOID stop) {
  const auto* flag = static_cast<const std::atomic<bool>*>(stop);
  return flag && flag->load(std::memory_order_relaxed) ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

// Makes the copy's bytes durable before it gets its name.
Result Flush(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FromError(GetLastError());
  const bool flushed = FlushFileBuffers(file);
  const DWORD error = GetLastError();
  CloseHandle(file);
  return flushed ? Result::Done : FromError(error);
}

// A read-only file refuses to be written or deleted; these steps clear
// the flag of a file they are entitled to write or remove.
bool WithoutReadOnly(const std::wstring& path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return !(attributes & FILE_ATTRIBUTE_READONLY) || SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

// The move's own copy, read-only or not, goes.
void DeleteCopy(const std::wstring& path) {
  WithoutReadOnly(path);
  DeleteFileW(path.c_str());
}

// Makes the copy durable, read-only or not (it keeps its flag).
Result FlushCopy(const std::wstring& path) {
  const DWORD attributes = Attributes(path);
  if (!WithoutReadOnly(path)) return FromError(GetLastError());
  const Result flushed = Flush(path);
  // Puts back only a flag it read; a failed first read has none to restore.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesW(path.c_str(), attributes);
  return flushed;
}

// The source of a move, once its copy has its name: a read-only one goes
// too, as the system's own moves do, and keeps its flag if it stays.
bool DeleteMovedSource(const std::wstring& path, DWORD attributes) {
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) return DeleteFileW(path.c_str());
  if (!SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) return false;
  if (DeleteFileW(path.c_str())) return true;
  const DWORD error = GetLastError();
  SetFileAttributesW(path.c_str(), attributes);
  SetLastError(error);
  return false;
}

// Onto another volume: the file (or link) is copied with its data,
// streams, attributes and times under a hidden name beside its
// destination, made durable, and only then given its name (never
// replacing, unless asked) and the source removed, if it did not change
// meanwhile. Whatever fails, the source is as it was and no copy stays.
Result MoveAcross(const std::wstring& source, const std::wstring& destination, bool replace, const std::atomic<bool>* stop,
                  const std::optional<FileIdentity>& expected) {
  const DWORD attributes = Attributes(source);
  if (attributes == INVALID_FILE_ATTRIBUTES) return WhyNot(GetLastError(), source);
  if (IsFolder(attributes)) return Result::Failed;  // folders are not moved across
  if (!replace && Exists(destination)) return Result::TargetExists;
  const auto before = StateOf(source);
  if (!before) return WhyNot(GetLastError(), source);

  const std::wstring folder = FolderOf(destination);
  if (!IsFolder(Attributes(folder))) return Result::FolderMissing;
  ULARGE_INTEGER available{};
  if (GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr) && before->size > available.QuadPart)
    return Result::NoSpace;

  std::wstring hidden;
  Result copied = Result::Failed;
  for (int attempt = 0; attempt < 100; ++attempt) {
    hidden = FreshHiddenName(folder);
    BOOL cancel = FALSE;
    if (CopyFileExW(source.c_str(), hidden.c_str(), CopyProgress, const_cast<std::atomic<bool>*>(stop), &cancel,
                    COPY_FILE_FAIL_IF_EXISTS | COPY_FILE_COPY_SYMLINK)) {
      copied = Result::Done;
      break;
    }
    const DWORD error = GetLastError();
    // The name was taken: what is there is not this move's to delete.
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
    DeleteCopy(hidden);  // a copy broken off may leave its start
    copied = error == ERROR_REQUEST_ABORTED ? Result::Stopped : WhyNot(error, source);
    break;
  }
  if (copied != Result::Done) return copied;

  Result placed = FlushCopy(hidden);
  // A download still being written, or a file swapped under the name: the
  // copy would not be the file the user chose.
  if (placed == Result::Done) {
    const auto after = StateOf(source);
    if (!after || !SameContent(*before, *after)) placed = Result::Changed;
  }
  if (placed == Result::Done && stop && stop->load(std::memory_order_relaxed)) placed = Result::Stopped;
  if (placed == Result::Done)
    placed = replace ? PlaceReplacing(hidden, destination, expected) : PlaceNoReplace(hidden, destination);
  if (placed != Result::Done) {
    DeleteCopy(hidden);
    return placed;
  }
  if (!DeleteMovedSource(source, attributes)) {
    // The source cannot go: the file stays where it was, once. Where it
    // replaced a file, the copy stays too: the file it replaced is gone,
    // and this one must not go with it.
    const DWORD error = GetLastError();
    if (!replace) DeleteCopy(destination);
    return FromError(error);
  }
  return Result::Done;
}

// The layout of a link's reparse data (the driver kit's REPARSE_DATA_BUFFER).
struct LinkReparseData {
  DWORD tag;
  WORD dataLength;
  WORD reserved;
  WORD substituteOffset, substituteLength, printOffset, printLength;
};

}  // namespace

// [Public]

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  if (path.empty()) return std::nullopt;
  return IdentityOfSystemPath(SystemPath(path), false);
}

std::string LinkTarget(const std::string& path) {
  HANDLE link = CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (link == INVALID_HANDLE_VALUE) return {};
  std::vector<unsigned char> data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD got = 0;
  const bool read = DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(), static_cast<DWORD>(data.size()),
                                    &got, nullptr);
  CloseHandle(link);
  if (!read || got < sizeof(LinkReparseData)) return {};
  LinkReparseData header;
  std::memcpy(&header, data.data(), sizeof header);
  // A symbolic link's names come after a flags word; a junction's at once.
  size_t names = sizeof header;
  if (header.tag == IO_REPARSE_TAG_SYMLINK) names += sizeof(ULONG);
  else if (header.tag != IO_REPARSE_TAG_MOUNT_POINT) return {};
  const size_t at = names + header.printOffset;
  if (header.printLength == 0 || at + header.printLength > got) return {};
  std::wstring target(header.printLength / sizeof(wchar_t), L'\0');
  std::memcpy(target.data(), data.data() + at, target.size() * sizeof(wchar_t));
  return ProgramPath(target);
}

FileOperationResult MoveFileNoReplace(const std::string& source, const std::string& destination,
                                      const std::atomic<bool>* stop) {
  if (source.empty() || destination.empty()) return Result::Failed;
  const std::wstring from = SystemPath(source), to = SystemPath(destination);
  const Result placed = PlaceNoReplace(from, to);
  return placed == Result::OtherDisk ? MoveAcross(from, to, false, stop, std::nullopt) : placed;
}

FileOperationResult MoveFileReplacing(const std::string& source, const std::string& destination,
                                      const std::atomic<bool>* stop, const std::optional<FileIdentity>& expected) {
  if (source.empty() || destination.empty()) return Result::Failed;
  const std::wstring from = SystemPath(source), to = SystemPath(destination);
  const Result placed = PlaceReplacing(from, to, expected);
  return placed == Result::OtherDisk ? MoveAcross(from, to, true, stop, expected) : placed;
}

FileOperationResult MoveWithoutCopy(const std::string& source, const std::string& destination) {
  if (source.empty() || destination.empty()) return Result::Failed;
  return PlaceNoReplace(SystemPath(source), SystemPath(destination));
}

FileOperationResult DeleteFileOnly(const std::string& path, const std::optional<FileIdentity>& expected) {
  const std::wstring file = SystemPath(path);
  const DWORD attributes = Attributes(file);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Result::SourceMissing : FromError(error);
  }
  if (expected && IdentityOfSystemPath(file, false) != expected) return Result::OtherFile;
  if (IsFolder(attributes)) return Result::Failed;  // a folder, or a link to one
  // DeleteFileW never removes a folder, even one put there since the check.
  if (DeleteFileW(file.c_str())) return Result::Done;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND ? Result::SourceMissing : FromError(error);
}

bool CreateFolder(const std::string& path) { return !path.empty() && CreateDirectoryW(SystemPath(path).c_str(), nullptr); }

bool PathExists(const std::string& path) { return !path.empty() && Exists(SystemPath(path)); }

}  // namespace platform

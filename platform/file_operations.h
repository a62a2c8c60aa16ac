#pragma once
// Moving, renaming and deleting the user's files. Nothing here ever
// replaces a file that exists, leaves a half-copied file under a real name,
// or removes a folder. Every failure says why, in terms the program can put
// into words.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

enum class FileOperationResult {
  Done,
  TargetExists,   // something is already at the destination: nothing touched
  SourceMissing,  // nothing at the source
  FolderMissing,  // the folder to go into is not there (or is not a folder)
  NoSpace,        // the destination's disk (or the user's quota) is full
  NoPermission,
  ReadOnly,       // the disk cannot be written to
  NameTooLong,
  TooLarge,       // the destination's file system cannot hold a file this big
  Changed,        // the file changed while it was copied: the copy was dropped
  OtherFile,      // the name is held by another file than the one chosen
  Stopped,        // stopped before anything changed (a copy between blocks)
  OtherDisk,      // MoveWithoutCopy only: the move would need a copy
  Busy,           // in use or interrupted for now: worth another try
  NoTrash,        // the file's disk has no trash (a system or memory disk): nothing touched
  TrashBroken,    // the trash folder cannot take the file (not a folder, damaged): nothing touched
  Failed,         // anything else (a failing disk): nothing touched
};

// Failures that may go away by themselves; every other one is final.
inline bool IsTransient(FileOperationResult result) { return result == FileOperationResult::Busy; }

// Which file a name stands for: the same device and inode is the same file,
// whatever its names and links.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// The identity of what is at the path (a link itself, not followed);
// nothing when there is nothing.
std::optional<FileIdentity> IdentityOf(const std::string& path);
// Where a symbolic link points, as it is written; empty when the path is
// not a link.
std::string LinkTarget(const std::string& path);

// Moves a file or link to a new full path, also into another folder or onto
// another file system. Across file systems the file is copied with its
// bytes (holes stay holes), modification time, permission bits, owner where
// allowed and extended attributes (tags, origin, access lists), made
// durable, and the source removed only if it did not change meanwhile. A
// copy stops between blocks once *stop is set. Never replaces what is at
// the destination.
FileOperationResult MoveFileNoReplace(const std::string& source, const std::string& destination,
                                      const std::atomic<bool>* stop = nullptr);

// The same, taking the place of a file already at the destination (the
// user said to overwrite it). The old file goes only when the new one
// takes its place, in one step: if the move cannot be done, both stay as
// they were. A folder at the destination is never replaced; with an
// identity, only that very file is (another one there by then: OtherFile).
FileOperationResult MoveFileReplacing(const std::string& source, const std::string& destination,
                                      const std::atomic<bool>* stop = nullptr,
                                      const std::optional<FileIdentity>& expected = std::nullopt);

// A move that is a mere change of name (the same file system): done at
// once, or OtherDisk without touching anything when it would need a copy.
FileOperationResult MoveWithoutCopy(const std::string& source, const std::string& destination);

// Removes a file or link; a folder is never removed. With an identity,
// only that very file: another one under the same name stays (OtherFile).
FileOperationResult DeleteFileOnly(const std::string& path, const std::optional<FileIdentity>& expected = {});

// Makes one folder (no parents). False when it exists or cannot be made.
bool CreateFolder(const std::string& path);

// Whether anything (file, folder, link, even a dangling one) is at the path.
bool PathExists(const std::string& path);

}  // namespace platform

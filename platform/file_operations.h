#pragma once
// Moving, renaming and deleting the user's files. Nothing here ever
// replaces a file that exists, leaves a half-copied file under a real name,
// or removes a folder.
#include <string>

namespace platform {

enum class FileOperationResult {
  Done,
  TargetExists,   // something is already at the destination: nothing touched
  SourceMissing,  // nothing at the source
  Failed,         // anything else (no such folder, no permission, no space): nothing touched
};

// Moves a file or link to a new full path, also into another folder or onto
// another file system (copied with its contents, modification time and
// permission bits, made durable, then the source removed). Never replaces
// what is at the destination.
FileOperationResult MoveFileNoReplace(const std::string& source, const std::string& destination);

// The same, taking the place of a file already at the destination (the
// user said to overwrite it). The old file goes only when the new one
// takes its place, in one step: if the move cannot be done, both stay as
// they were. A folder at the destination is never replaced.
FileOperationResult MoveFileReplacing(const std::string& source, const std::string& destination);

// Removes a file or link; a folder is never removed.
FileOperationResult DeleteFileOnly(const std::string& path);

// Makes one folder (no parents). False when it exists or cannot be made.
bool CreateFolder(const std::string& path);

// Whether anything (file, folder, link, even a dangling one) is at the path.
bool PathExists(const std::string& path);

}  // namespace platform

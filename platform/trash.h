#pragma once
// The desktop's trash: a deleted file kept where the desktop's file manager
// lists it and can put it back, and where this program can put it back
// too. Files on the home disk go to the user's trash, files on other disks
// to that disk's own; nothing is ever copied between disks.
#include <optional>
#include <string>

#include "platform/file_operations.h"

namespace platform {

// Where a trashed file now is.
struct TrashEntry {
  std::string file;          // the file itself, inside the trash
  std::string info;          // the desktop's note of where it came from and when
  std::string originalPath;  // where it was
  FileIdentity identity;     // the file, under its name in the trash
};

// What the user knows the trash as, for sentences ("the trash", "the
// Recycle Bin"): the system's own word.
const char* TrashName();

// Moves a file or link into the trash; a folder never. With an identity,
// only that very file (another one under its name by then: OtherFile).
// NoTrash when its disk has no trash (nothing touched), TrashBroken when
// the trash cannot take it. Done fills `entry` when the file is found in
// the trash afterwards (it always is, unless someone emptied it at once).
FileOperationResult MoveToTrash(const std::string& path, const std::optional<FileIdentity>& expected,
                                std::optional<TrashEntry>& entry);

// Puts a trashed file back where it was, never replacing what is there
// now (TargetExists: it stays in the trash). SourceMissing when the trash
// no longer holds that very file.
FileOperationResult RestoreFromTrash(const TrashEntry& entry);

}  // namespace platform

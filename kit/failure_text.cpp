#include "kit/failure_text.h"

#include <string>

#include "platform/trash.h"

std::string FailureText(platform::FileOperationResult result) {
  using R = platform::FileOperationResult;
  switch (result) {
    case R::Done: return {};
    case R::TargetExists: return "a file of that name is already there";
    case R::SourceMissing: return "the file is no longer there";
    case R::FolderMissing: return "the folder is no longer there";
    case R::NoSpace: return "not enough space";
    case R::NoPermission: return "no permission";
    case R::ReadOnly: return "the disk is read-only";
    case R::NameTooLong: return "name too long";
    case R::TooLarge: return "the file is too large for that disk";
    case R::Changed: return "the file changed while it was copied";
    case R::OtherFile: return "another file has that name now";
    case R::Stopped: return "stopped before it was done";
    case R::OtherDisk: return "it is on another disk";
    case R::Busy: return "the file is in use";
    case R::NoTrash: return "that disk has no " + std::string(platform::TrashName());
    case R::TrashBroken: return "the " + std::string(platform::TrashName()) + " cannot be used";
    case R::Failed: break;
  }
  return "the disk reported an error";
}

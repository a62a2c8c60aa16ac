#pragma once
// Which file a handle or path stands for on Windows: the volume's serial
// number and the file's index on it.
#include <windows.h>

#include <optional>
#include <string>

#include "platform/file_operations.h"

namespace platform {

std::optional<FileIdentity> IdentityOfHandle(HANDLE file);
// The file at a system path; a link itself unless followLinks.
std::optional<FileIdentity> IdentityOfSystemPath(const std::wstring& path, bool followLinks);
// Whether a reparse point stands for another place (a symbolic link or a
// junction) rather than being a file of its own kind (a cloud placeholder).
bool IsLinkReparseTag(DWORD tag);

}  // namespace platform

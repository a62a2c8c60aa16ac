#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/file_identity_windows.h"
#include "platform/sub_folders.h"
#include "platform/utf16_windows.h"

namespace platform {

SubFolders ListSubFolders(const std::string& folder) {
  SubFolders listing;
  listing.folder = folder;
  std::wstring path = SystemPath(folder);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  listing.isFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!listing.isFolder) return listing;
  if (path.back() != L'\\') path += L'\\';
  WIN32_FIND_DATAW entry{};
  HANDLE find = FindFirstFileExW((path + L"*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                                 FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    listing.readable = GetLastError() == ERROR_FILE_NOT_FOUND;  // an empty drive root
    return listing;
  }
  listing.readable = true;
  do {
    std::string name = Utf8(entry.cFileName, wcsnlen(entry.cFileName, MAX_PATH));
    if (name.empty() || name[0] == '.' || (entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN)) continue;
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    const bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLinkReparseTag(entry.dwReserved0);
    listing.entries.push_back({std::move(name), link});
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  std::sort(listing.entries.begin(), listing.entries.end(),
            [](const SubFolder& a, const SubFolder& b) { return a.name < b.name; });
  return listing;
}

}  // namespace platform

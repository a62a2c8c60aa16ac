#include <windows.h>
#include <shlobj.h>

#include <cstdlib>

#include "platform/home_folder.h"
#include "platform/path_syntax.h"
#include "platform/utf16_windows.h"

namespace platform {

std::string HomeFolder() {
  // The profile folder as this process was told it, as other programs take it.
  if (const wchar_t* told = _wgetenv(L"USERPROFILE"); told && RootLength(ProgramPath(told)) != 0) return ProgramPath(told);
  PWSTR profile = nullptr;
  std::string home;
  if (SHGetKnownFolderPath(FOLDERID_Profile, 0, nullptr, &profile) == S_OK) home = ProgramPath(profile);
  CoTaskMemFree(profile);
  if (RootLength(home) != 0) return home;
  wchar_t system[MAX_PATH] = L"";
  const UINT length = GetSystemWindowsDirectoryW(system, MAX_PATH);
  return length >= 2 && length < MAX_PATH ? ProgramPath(std::wstring(system, 2)) + "/" : "C:/";
}

}  // namespace platform

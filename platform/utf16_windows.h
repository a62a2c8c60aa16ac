#pragma once
// Text at the Windows boundary. The program's paths are UTF-8 with "/";
// the system's are UTF-16 with "\". Names the system allows but Unicode
// does not (a lone surrogate) go both ways unharmed: they are written as
// the three bytes UTF-8 would give a surrogate (WTF-8), which the program
// shows as U+FFFD and hands back as they were, so such a file can still
// be played, moved, renamed and deleted.
#include <string>

namespace platform {

std::wstring Utf16(const std::string& utf8);
std::string Utf8(const std::wstring& utf16);
std::string Utf8(const wchar_t* utf16, size_t length);

// A path for the system's file calls: "\" separators and, for a full path,
// the "\\?\" prefix ("\\?\UNC\" for a share), so the path may be longer
// than MAX_PATH and is taken as it is (no name is trimmed of its dots).
std::wstring SystemPath(const std::string& path);
// A path from the system in the program's form: "/" separators, no prefix.
std::string ProgramPath(const std::wstring& path);

}  // namespace platform

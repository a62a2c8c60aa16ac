#pragma once
// The system's rules for the text of paths and names. Above this layer a
// full path is UTF-8 with "/" between its parts, whatever the system: "/"
// alone starts one on Linux; a drive ("C:/") or a network share
// ("//server/share/") on Windows.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// How many bytes of a full path are its root ("/", "C:/", "//server/share/");
// 0 when the text is not a full path. A root written without its last "/"
// ("C:", "//server/share") counts as well.
size_t RootLength(std::string_view path);
// How a full path starts, for the hint shown when a typed one does not.
const char* FullPathStart();
// Typed text with the system's other separators turned into "/".
std::string WithForwardSlashes(std::string_view typed);
// Whether the system lets a file or folder in a folder have this name:
// never empty, ".", "..", or holding "/" or a NUL (and on Windows none of
// the characters and device names it reserves).
bool IsAllowedName(std::string_view name);
// Those rules in words, for the hint shown when a typed name breaks them.
const char* NameRules();

}  // namespace platform

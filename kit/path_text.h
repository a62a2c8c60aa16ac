#pragma once
// Path arithmetic on the text alone, as the folder chooser does it: no
// file system is asked.
#include <optional>
#include <string>
#include <string_view>

// A typed path made full and normal (the system's other separators turned
// into "/", "." and ".." resolved, repeated and trailing "/" dropped, the
// root written with its "/"); nothing when it is not a full path.
std::optional<std::string> NormalFullPath(std::string_view typed);
// The folder holding a full, normal path (the root for the root itself).
std::string ParentFolder(const std::string& path);
// Whether a full path names a root ("/", "C:/").
bool IsRoot(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);

#pragma once
// Path arithmetic on the text alone, as the folder chooser does it: no
// file system is asked.
#include <optional>
#include <string>
#include <string_view>

// A typed path made full and normal ("." and ".." resolved, repeated and
// trailing "/" dropped); nothing when it does not start with "/".
std::optional<std::string> NormalFullPath(std::string_view typed);
// The folder holding a full, normal path ("/" for "/" itself).
std::string ParentFolder(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);

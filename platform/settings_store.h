#pragma once
// Where the program's few settings live between runs: on Linux one small
// file of Name=value lines under $XDG_CONFIG_HOME (default ~/.config,
// platform/settings_file.h), on Windows the current user's registry.
#include <string>

namespace platform {

// The stored text of a value, empty when it is missing or cannot be read.
// Creates the (empty) store on first use.
std::string ReadStoredValue(const std::string& name);

// Stores the value at once (a file is replaced atomically). False when the
// store cannot be written; the caller carries on without it.
bool WriteStoredValue(const std::string& name, const std::string& value);

}  // namespace platform

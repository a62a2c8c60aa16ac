#pragma once
// Where the program's few settings live between runs. On Linux: one small
// file of Name=value lines under $XDG_CONFIG_HOME (default ~/.config).
#include <filesystem>
#include <string>

namespace platform {

std::filesystem::path SettingsFilePath();

// The stored text of a value, empty when it is missing or cannot be read.
// Creates the (empty) settings file on first use.
std::string ReadStoredValue(const std::string& name);

// Stores the value at once, replacing the file atomically. False when the
// store cannot be written; the caller carries on without it.
bool WriteStoredValue(const std::string& name, const std::string& value);

}  // namespace platform

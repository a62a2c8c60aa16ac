#pragma once
// Linux keeps the settings store in a file of its own.
#include <filesystem>

namespace platform {

std::filesystem::path SettingsFilePath();

}  // namespace platform

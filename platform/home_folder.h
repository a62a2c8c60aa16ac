#pragma once
// The user's home folder: where the own chooser opens and the settings live.
#include <string>

namespace platform {

// HOME, else the account's home; "/" when neither names a folder.
std::string HomeFolder();

}  // namespace platform

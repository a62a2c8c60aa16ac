#include "platform/sub_folders.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

namespace platform {

SubFolders ListSubFolders(const std::string& folder) {
  SubFolders listing;
  listing.folder = folder;
  std::error_code error;
  listing.isFolder = std::filesystem::is_directory(folder, error);
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code ignored;
    const auto type = it->symlink_status(ignored).type();
    if (type == std::filesystem::file_type::directory) {
      listing.entries.push_back({std::move(name), false});
    } else if (type == std::filesystem::file_type::symlink && it->is_directory(ignored)) {
      listing.entries.push_back({std::move(name), true});
    }
  }
  listing.readable = !error || !listing.entries.empty();
  std::sort(listing.entries.begin(), listing.entries.end(),
            [](const SubFolder& a, const SubFolder& b) { return a.name < b.name; });
  return listing;
}

}  // namespace platform

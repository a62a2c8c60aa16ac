#pragma once
// A folder's sub-folders as a folder chooser lists them: hidden ones left
// out, links to folders marked (entered only by choice), sorted by name.
// Read on the caller's thread; a slow folder takes as long as it takes.
#include <string>
#include <vector>

namespace platform {

struct SubFolder {
  std::string name;  // file-system bytes
  bool isLink = false;
};

struct SubFolders {
  std::string folder;
  std::vector<SubFolder> entries;
  bool isFolder = false;  // the path names a folder (through links)
  bool readable = false;
};

SubFolders ListSubFolders(const std::string& folder);

}  // namespace platform

#include "grouping/group.h"

#include "kit/icons.h"
#include "kit/scan_controls.h"

void Group::Reset() {
  Base::Reset();
  files.clear();
  sizes.clear();
}

void Group::Draw() {
  DrawnTabIndex = kGroupingTab;
  if (collectTimer.Due()) {
    std::vector<std::string> folders;
    scanner.Collect(folders, files, &sizes);
  }
  ScanControls(*this);
  if (RootPath().empty())
    HelpText(ICON_HELP
             " Recursively scans the root folder and all subfolders, splits filenames into words / tags, and groups "
             "files by those tags (e.g. cat dog.txt -> groups cat and dog).");
}

#include "viewer/viewer.h"

#include "app/icons.h"
#include "app/scan_controls.h"

void Viewer::Reset() {
  Base::Reset();
  files.clear();
}

void Viewer::Draw() {
  DrawnTabIndex = kViewerTab;
  if (collectTimer.Due()) {
    std::vector<std::string> folders;
    scanner.Collect(folders, files);
  }
  ScanControls(*this);
  if (RootPath().empty())
    HelpText(ICON_HELP
             " A simple media viewer that scans your selected folder (and its subfolders) with quick playback and "
             "filtered search.");
}

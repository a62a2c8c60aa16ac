#include "classifier/classifier.h"

#include <imgui.h>

#include "kit/icons.h"
#include "kit/scan_controls.h"

void Classifier::Reset() {
  Base::Reset();
  folderList.clear();
  fileList.clear();
}

void Classifier::Draw() {
  DrawnTabIndex = kClassifierTab;
  if (collectTimer.Due()) scanner.Collect(folderList, fileList);
  ScanControls(*this);
  if (RootPath().empty()) {
    HelpText(ICON_HELP
             " This section lets you classify your media. Pick a folder and the app parses only its top level (no "
             "subfolders).");
    ImGui::TextUnformatted(
        "From there, you can play / preview items, move them (create subfolders as needed), rename, or delete "
        "files, all within the folder.");
  }
}

#include "kit/scan_controls.h"

#include <imgui.h>

#include "kit/frame_demand.h"
#include "kit/icons.h"
#include "kit/shell_services.h"
#include "kit/tab_base.h"
#include "kit/widgets.h"

void ScanControls(Base& tab) {
  // What the walk found last waits for the tab's next collection (read
  // after the flag: a walk ending in between leaves its last batch seen).
  const bool walking = tab.scanner.scanning;
  if (!walking && (tab.scanner.fileQueue.Size() > 0 || tab.scanner.folderQueue.Size() > 0))
    FrameDemand::Within(0.25);
  if (walking) {
    BusySpinner();
    ImGui::SameLine();
    if (ShortcutButton(ICON_STOP_SCANNING " Stop Scanning ", kNoKey)) tab.scanner.scanning = false;
    return;
  }
  if (ShortcutButton(ICON_SCAN_ROOT " Scan Root Folder", kNoKey)) PickRootFolder(tab);
}

void HelpText(const char* text) {
  ImGui::NewLine();
  ImGui::TextUnformatted(text);
}

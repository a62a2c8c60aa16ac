#include "kit/scan_controls.h"

#include <imgui.h>

#include "kit/frame_demand.h"
#include "kit/icons.h"
#include "kit/shell_services.h"
#include "kit/tab_base.h"
#include "kit/widgets.h"

void ScanControls(Base& tab, const std::string& counts, bool stillGrowing) {
  // What the walk found last waits for the tab's next collection (read
  // after the flag: a walk ending in between leaves its last batch seen).
  const bool walking = tab.scanner.scanning;
  if (!walking && (tab.scanner.fileQueue.Size() > 0 || tab.scanner.folderQueue.Size() > 0))
    FrameDemand::Within(0.25);
  // A tab reset to no root has no lists to grow.
  if (walking || (stillGrowing && !tab.RootPath().empty())) {
    BusySpinner();
    if (walking) {
      ImGui::SameLine();
      if (ShortcutButton(ICON_STOP_SCANNING " Stop Scanning ", kNoKey)) tab.scanner.scanning = false;
    }
  } else if (ShortcutButton(ICON_SCAN_ROOT " Scan Root Folder", kNoKey)) {
    PickRootFolder(tab);
  }
  if (tab.RootPath().empty()) return;
  ImGui::SameLine();
  TextKeepingItsEnd(counts + ICON_ROOT_PATH "Root Path(", tab.RootText() + ")", tab.RootText());
}

void HelpText(const char* text) {
  ImGui::NewLine();
  ImGui::TextWrapped("%s", text);
}

void EmptyText(const std::string& text, const std::string& root) {
  ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled));
  TextKeepingItsEnd(text, root, text + root);  // a long root keeps its end
  ImGui::PopStyleColor();
}

void EmptyText(const Base& tab, bool filesWereFound) {
  EmptyText(filesWereFound || tab.scanner.filesFound.load() > 0 ? "No files left in " : "No files found in ",
            tab.RootText());
}

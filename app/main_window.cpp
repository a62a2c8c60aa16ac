#include "app/main_window.h"

#include <imgui.h>
#include <imgui_internal.h>

#include "app/about_tab.h"
#include "app/folder_chooser.h"
#include "app/icons.h"
#include "app/settings_tab.h"
#include "app/tabs.h"
#include "app/widgets.h"
#include "player/media_player.h"

namespace {

constexpr ImGuiWindowFlags kMainWindowFlags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize |
                                              ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoScrollbar |
                                              ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoNavFocus;
static_assert(kMainWindowFlags == 524335);

void DrawSettingsTab() {
  void (*const sections[3])() = {DrawFontsSection, DrawScrollbarSection, DrawOptionsSection};
  for (int i = 1; i <= 3; ++i) {
    ImGui::BeginGroup();
    ImGui::PushID(i);
    sections[i - 1]();
    ImGui::NewLine();
    ImGui::PopID();
    ImGui::EndGroup();
  }
}

struct TabEntry {
  const char* label;
  void (*drawBody)();
};

const TabEntry kTabs[6] = {
    {ICON_VIEWER_TAB "Viewer", [] { ViewerTab.Draw(); }},
    {ICON_CLASSIFIER_TAB "Classifier", [] { ClassifierTab.Draw(); }},
    {ICON_SIMILARITY_TAB "Similarity",
     [] {
       DrawnTabIndex = kSimilarityTab;
       SimilarityTab.DrawTopBar();
     }},
    {ICON_GROUPING_TAB "Grouping", [] { GroupingTab.Draw(); }},
    {ICON_SETTINGS_TAB "Settings", DrawSettingsTab},
    {ICON_ABOUT_TAB "About", DrawAboutTab},
};

}  // namespace

void DrawMainWindow() {
  Player.UpdateFrame();
  const ImGuiViewport* viewport = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(viewport->WorkPos, ImGuiCond_Always, ImVec2(0, 0));
  ImGui::SetNextWindowSize(viewport->WorkSize, ImGuiCond_Always);
  ImGui::Begin("##Main", nullptr, kMainWindowFlags);
  ImGui::BeginGroup();
  ImGui::BeginChild("##MainChild", ImVec2(0, 0), false, 0);
  if (ImGui::BeginTabBar("##Tabs", 0)) {
    bool keyWentDown[6];
    for (int index = 0; index < 6; ++index) {
      keyWentDown[index] = KeyWentDown(kVirtualKeyF1 + index);
      // The tab bar applies a selection request at its next layout, which
      // happens before the first tab item: request it here so the tab
      // shows on the frame its key went down, not one frame later.
      if (keyWentDown[index]) GImGui->CurrentTabBar->NextSelectedTabId = ImGui::GetID(kTabs[index].label);
    }
    for (int index = 0; index < 6; ++index) {
      if (TabItemWithKey(index, kTabs[index].label, keyWentDown[index])) {
        kTabs[index].drawBody();
        ImGui::EndTabItem();
      }
    }
    ImGui::EndTabBar();
  }
  ImGui::EndChild();
  ImGui::EndGroup();
  ImGui::End();
  DrawFolderChooser();
}

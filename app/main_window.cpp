#include "app/main_window.h"

#include <imgui.h>
#include <imgui_internal.h>

#include "kit/folder_chooser.h"
#include "kit/shell_services.h"
#include "app/tabs.h"
#include "kit/file_commands.h"
#include "kit/widgets.h"
#include "player/media_player.h"

namespace {

constexpr ImGuiWindowFlags kMainWindowFlags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize |
                                              ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoScrollbar |
                                              ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoNavFocus;
static_assert(kMainWindowFlags == 524335);

}  // namespace

void InitMainWindow() {
  SetMediaReleaseHook([](MediaRelease how) {
    if (how == MediaRelease::Pause) {
      Player.Pause();
    } else {
      Player.Unload();
    }
  });
}

void DrawMainWindow() {
  // Every tab hears how moves and deletions ended, whichever asked for them.
  const std::vector<Commands::Async::Outcome> outcomes = Commands::Async::TakeOutcomes();
  if (!outcomes.empty())
    for (const TabEntry& tab : Tabs()) tab.view.FilesChanged(outcomes);
  Player.UpdateFrame();
  const ImGuiViewport* viewport = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(viewport->WorkPos, ImGuiCond_Always, ImVec2(0, 0));
  ImGui::SetNextWindowSize(viewport->WorkSize, ImGuiCond_Always);
  ImGui::Begin("##Main", nullptr, kMainWindowFlags);
  ImGui::BeginGroup();
  ImGui::BeginChild("##MainChild", ImVec2(0, 0), false, 0);
  if (ImGui::BeginTabBar("##Tabs", 0)) {
    const auto tabs = Tabs();
    bool keyWentDown[kAboutTab + 1] = {};
    for (size_t index = 0; index < tabs.size(); ++index) {
      keyWentDown[index] = KeyWentDown(kVirtualKeyF1 + static_cast<int>(index));
      // The tab bar applies a selection request at its next layout, which
      // happens before the first tab item: request it here so the tab
      // shows on the frame its key went down, not one frame later.
      if (keyWentDown[index]) GImGui->CurrentTabBar->NextSelectedTabId = ImGui::GetID(tabs[index].label);
    }
    for (size_t index = 0; index < tabs.size(); ++index) {
      if (TabItemWithKey(static_cast<int>(index), tabs[index].label, keyWentDown[index])) {
        tabs[index].view.Draw();
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

// Test host: the player panel alone in a real window, playing the file
// given, so the panel can be seen and photographed before a tab embeds it.
// Prints the picture's rectangle in window coordinates once it is drawn.
#include <imgui.h>

#include <cstdio>
#include <string>

#include "app/gui_window.h"
#include "app/tab_base.h"
#include "app/widgets.h"
#include "platform/process.h"
#include "platform/window.h"
#include "player/media_player.h"

namespace {

class PictureReporter final : public ItemObserver {
 public:
  void OnItem(const char* label, const ImVec2& min, const ImVec2& max) override {
    if (reported || std::string(label) != "#image") return;
    std::printf("image %.0f %.0f %.0f %.0f\n", min.x, min.y, max.x - min.x, max.y - min.y);
    std::fflush(stdout);
    reported = true;
  }
  bool reported = false;
};

void DrawPanelWindow() {
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
  ImGui::Begin("##PanelHost", nullptr, ImGuiWindowFlags_NoDecoration);
  Player.UpdateFrame();
  Player.DrawPanel(ImGui::GetFrameHeightWithSpacing());
  ImGui::End();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  if (!OpenGuiWindow("Sortiq panel", 12.0f)) return 1;
  ImGui::GetIO().IniFilename = nullptr;
  PictureReporter reporter;
  SetItemObserver(&reporter);
  DrawnTabIndex = kViewerTab;
  Player.Play(argv[1]);
  WindowFrameBackend backend;
  while (!platform::PumpEvents()) {
    platform::PollProcesses();
    RunFrame(backend, DrawPanelWindow);
  }
  SetItemObserver(nullptr);
  Player.Unload();
  CloseGuiWindow();
  return 0;
}

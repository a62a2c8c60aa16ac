// Test host: the player panel alone in a real window, playing the file
// given, so the panel can be seen and photographed before a tab embeds it.
// Prints the picture's rectangle in window coordinates once it is drawn.
#include <imgui.h>

#include <cstdio>
#include <string>

#include "app/fonts.h"
#include "app/frame.h"
#include "app/style.h"
#include "app/tab_base.h"
#include "app/widgets.h"
#include "platform/process.h"
#include "platform/window.h"
#include "player/media_player.h"

namespace {

constexpr float kClear[4] = {0.1125f, 0.1375f, 0.15f, 1.0f};

class Backend final : public FrameBackend {
 public:
  void InvalidateRenderer() override { platform::InvalidateRendererObjects(); }
  void BeginFrame() override { platform::BeginGuiFrame(); }
  void Present() override { platform::RenderAndPresent(kClear); }
};

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
  if (!platform::CreateMainWindow("Sortiq panel", 100, 100, 1280, 800, {})) return 1;
  platform::ShowMainWindowMaximised();
  ImGui::CreateContext();
  ImGui::GetIO().IniFilename = nullptr;
  ApplyStyle(12.0f);
  platform::InitGuiBackends();
  LoadFonts();
  PictureReporter reporter;
  SetItemObserver(&reporter);
  DrawnTabIndex = kViewerTab;
  Player.Play(argv[1]);
  Backend backend;
  while (!platform::PumpEvents()) {
    platform::PollProcesses();
    RunFrame(backend, DrawPanelWindow);
  }
  SetItemObserver(nullptr);
  Player.Unload();
  platform::ShutdownGuiBackends();
  ImGui::DestroyContext();
  platform::DestroyMainWindow();
  return 0;
}

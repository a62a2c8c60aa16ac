// Test host: the player panel alone in a real window, so the panel can be
// seen and photographed before a tab embeds it. Plays the file given, then
// every file named on a "play PATH" line of its input. Once a file's panel
// has been drawn for a few frames it prints
//   shown PATH image X Y W H seekbar yes|no still yes|no
// with the picture's rectangle in window coordinates (0 0 0 0 without one).
#include <imgui.h>

#include <cstdio>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "app/gui_window.h"
#include "kit/tab_base.h"
#include "kit/widgets.h"
#include "platform/process.h"
#include "platform/window.h"
#include "player/media_player.h"

namespace {

class PanelReporter final : public ItemObserver {
 public:
  void OnItem(const char* label, const ImVec2& min, const ImVec2& max) override {
    const std::string name = label;
    if (name == "#image") {
      image = ImVec4(min.x, min.y, max.x - min.x, max.y - min.y);
      imageSeen = true;
    }
    if (name == "##Seek") seekSeen = true;
  }
  void StartFrame() { imageSeen = seekSeen = false; }
  ImVec4 image{};
  bool imageSeen = false, seekSeen = false;
};

PanelReporter reporter;
std::mutex commandsMutex;
std::deque<std::string> commands;
std::string playing;
int framesSincePlay = -1;

void Play(const std::string& path) {
  playing = path;
  Player.Play(path, kViewerTab);
  framesSincePlay = 0;
}

void DrawPanelWindow() {
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
  ImGui::Begin("##PanelHost", nullptr, ImGuiWindowFlags_NoDecoration);
  {
    std::lock_guard<std::mutex> lock(commandsMutex);
    if (!commands.empty()) {
      Play(commands.front());
      commands.pop_front();
    }
  }
  reporter.StartFrame();
  Player.UpdateFrame();
  Player.DrawPanel(kViewerTab, ImGui::GetFrameHeightWithSpacing());
  ImGui::End();
  if (framesSincePlay >= 0 && ++framesSincePlay == 10) {
    const ImVec4 r = reporter.imageSeen ? reporter.image : ImVec4(0, 0, 0, 0);
    std::printf("shown %s image %.0f %.0f %.0f %.0f seekbar %s still %s\n", playing.c_str(), r.x, r.y, r.z, r.w,
                reporter.seekSeen ? "yes" : "no", Player.ShowingStill() ? "yes" : "no");
    std::fflush(stdout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  if (!OpenGuiWindow("Sortiq panel", 12.0f)) return 1;
  ImGui::GetIO().IniFilename = nullptr;
  SetItemObserver(&reporter);
  Play(argv[1]);
  std::thread([] {
    for (std::string line; std::getline(std::cin, line);) {
      if (line.rfind("play ", 0) != 0) continue;
      std::lock_guard<std::mutex> lock(commandsMutex);
      commands.push_back(line.substr(5));
    }
  }).detach();  // a test host: the reader ends with the process
  WindowFrameBackend backend;
  while (platform::PumpEvents() == platform::QuitRequest::None) {
    platform::PollProcesses();
    RunFrame(backend, DrawPanelWindow);
  }
  SetItemObserver(nullptr);
  Player.Unload();
  CloseGuiWindow();
  return 0;
}

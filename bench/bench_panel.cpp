// The player on screen, in a real window: the GUI thread's cost per frame of
// UpdateFrame plus the panel while a 1080p clip plays, whether any picture is
// skipped at 60 frames a second, and the drift between the picture shown and
// the audio clock over a minute-long clip. Run under a display (bench/run.sh
// starts a virtual one).
#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/gui_window.h"
#include "bench_util.h"
#include "kit/tab_base.h"
#include "platform/window.h"
#include "player/media_player.h"

namespace {

struct Measure {
  std::vector<double> guiMilliseconds;  // UpdateFrame + panel, per frame
  std::vector<double> driftMilliseconds;  // shown picture's time - clock
  int picturesShown = 0;
  int picturesSkipped = 0;  // due together with a newer one, never shown
  double lastShownPts = -1;
};
Measure* measure = nullptr;

void DrawAndMeasure() {
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
  ImGui::Begin("##BenchPanel", nullptr, ImGuiWindowFlags_NoDecoration);
  const double clockBefore = Player.GetPosition();
  const double shownBefore = Player.CurrentFrame().pts;
  const auto start = std::chrono::steady_clock::now();
  Player.UpdateFrame();
  Player.DrawPanel(kViewerTab, ImGui::GetFrameHeightWithSpacing());
  measure->guiMilliseconds.push_back(
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  const VideoFrame& shown = Player.CurrentFrame();
  if (Player.State() == PlaybackState::Playing && shown.pts != measure->lastShownPts && !shown.pixels.empty()) {
    measure->picturesShown++;
    // Pictures due together with this one were never shown.
    if (measure->lastShownPts >= 0 && shownBefore == measure->lastShownPts)
      measure->picturesSkipped += std::max(0, static_cast<int>(std::lround((shown.pts - shownBefore) * 30)) - 1);
    measure->lastShownPts = shown.pts;
    // Drift: the picture's time against the clock when it goes on screen.
    if (clockBefore < Player.Duration() - 0.2) measure->driftMilliseconds.push_back((shown.pts - Player.GetPosition()) * 1000);
  }
  ImGui::End();
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(p * (values.size() - 1))];
}

Measure Run(const std::string& clip, double seconds) {
  Measure result;
  result.lastShownPts = Player.CurrentFrame().pts;  // the last file's picture is not a new one
  measure = &result;
  Player.Play(clip, kViewerTab);
  WindowFrameBackend backend;
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < seconds) {
    if (platform::PumpEvents() != platform::QuitRequest::None) break;
    RunFrame(backend, DrawAndMeasure);
  }
  Player.Unload();
  measure = nullptr;
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s CLIP_1080P30 CLIP_60S...\n", argv[0]);
    return 2;
  }
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  ScopedConfigFolder config;  // font and other settings go through the settings store
  if (!config.Ok()) return 1;
  if (!OpenGuiWindow("Sortiq bench", 12.0f)) return 1;
  ImGui::GetIO().IniFilename = nullptr;

  const Measure hd = Run(argv[1], 8.0);
  const double frames = static_cast<double>(hd.guiMilliseconds.size());
  double mean = 0;
  for (double ms : hd.guiMilliseconds) mean += ms;
  mean /= std::max(1.0, frames);
  std::printf("panel 1080p30 GUI thread per frame: mean %.2f ms, median %.2f ms, p95 %.2f ms (target < 4 ms, mean ratio %.2f)\n",
              mean, Percentile(hd.guiMilliseconds, 0.5), Percentile(hd.guiMilliseconds, 0.95), mean / 4.0);
  std::printf("panel 1080p30 at %.0f GUI frames/s: %d pictures shown, %d skipped (target 0)\n", frames / 8.0,
              hd.picturesShown, hd.picturesSkipped);

  for (int clip = 2; clip < argc; ++clip) {
    const Measure minute = Run(argv[clip], 61.0);
    const auto& drift = minute.driftMilliseconds;
    const double within = static_cast<double>(std::count_if(drift.begin(), drift.end(), [](double d) {
                            return std::fabs(d) <= 40.0;
                          })) / std::max<size_t>(1, drift.size());
    const auto outside = std::count_if(drift.begin(), drift.end(), [](double d) { return d > 45.0 || d < -125.0; });
    std::printf("panel A/V drift over 60 s of %s: %.1f%% of %zu pictures within +-40 ms (target 95%%, ratio %.2f), "
                "%ld outside +45/-125 ms (target 0); min %.1f ms, max %.1f ms\n",
                argv[clip], within * 100, drift.size(), within / 0.95, static_cast<long>(outside),
                drift.empty() ? 0 : *std::min_element(drift.begin(), drift.end()),
                drift.empty() ? 0 : *std::max_element(drift.begin(), drift.end()));
  }

  CloseGuiWindow();
  return 0;
}

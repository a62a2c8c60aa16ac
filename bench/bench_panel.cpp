// The player on screen, in a real window: the GUI thread's cost per frame of
// UpdateFrame and the panel, and of the whole frame with its drawing, while
// each clip plays; whether any picture is skipped at 60 frames a second; and
// the drift between the picture shown and the audio clock over a
// minute-long clip. Run under a display (bench/run.sh
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
  std::vector<double> frameMilliseconds;  // the whole frame: events, drawing, presenting
  std::vector<double> driftMilliseconds;  // shown picture's time - clock
  int picturesShown = 0;
  std::vector<double> steps;  // between pictures shown one after the other
  double lastShownPts = -1;

  // Pictures due together with a newer one, never shown: each step longer
  // than the clip's frame time (the shortest step) passed some over.
  int PicturesSkipped() const {
    if (steps.empty()) return 0;
    const double frame = *std::min_element(steps.begin(), steps.end());
    if (frame <= 0) return 0;
    int skipped = 0;
    for (double step : steps) skipped += std::max(0, static_cast<int>(std::lround(step / frame)) - 1);
    return skipped;
  }
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
    if (measure->lastShownPts >= 0 && shownBefore == measure->lastShownPts) measure->steps.push_back(shown.pts - shownBefore);
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
    const auto frameStart = std::chrono::steady_clock::now();
    RunFrame(backend, DrawAndMeasure);
    result.frameMilliseconds.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - frameStart).count());
  }
  Player.Unload();
  measure = nullptr;
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  // CLIP... [-- CLIP_60S...]: the GUI cost for each clip before "--", the
  // drift over a minute for each after it.
  std::vector<std::string> costClips, driftClips;
  bool drift = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--") {
      drift = true;
    } else {
      (drift ? driftClips : costClips).push_back(argv[i]);
    }
  }
  if (costClips.empty()) {
    std::fprintf(stderr, "usage: %s CLIP... [-- CLIP_60S...]\n", argv[0]);
    return 2;
  }
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  ScopedConfigFolder config;  // font and other settings go through the settings store
  if (!config.Ok()) return 1;
  if (!OpenGuiWindow("Sortiq bench", 12.0f)) return 1;
  ImGui::GetIO().IniFilename = nullptr;

  for (const std::string& clip : costClips) {
    const std::string name = clip.substr(clip.rfind('/') + 1);
    const Measure cost = Run(clip, 8.0);
    const double frames = static_cast<double>(cost.guiMilliseconds.size());
    double mean = 0;
    for (double ms : cost.guiMilliseconds) mean += ms;
    mean /= std::max(1.0, frames);
    std::printf("panel %s GUI thread per frame: mean %.2f ms, median %.2f ms, p95 %.2f ms (target < 4 ms, mean ratio %.2f)\n",
                name.c_str(), mean, Percentile(cost.guiMilliseconds, 0.5), Percentile(cost.guiMilliseconds, 0.95),
                mean / 4.0);
    std::printf("panel %s whole frame: median %.2f ms, p95 %.2f ms\n", name.c_str(),
                Percentile(cost.frameMilliseconds, 0.5), Percentile(cost.frameMilliseconds, 0.95));
    std::printf("panel %s at %.0f GUI frames/s: %d pictures shown, %d skipped (target 0)\n", name.c_str(), frames / 8.0,
                cost.picturesShown, cost.PicturesSkipped());
  }

  for (const std::string& clip : driftClips) {
    const Measure minute = Run(clip, 61.0);
    const auto& drift = minute.driftMilliseconds;
    const double within = static_cast<double>(std::count_if(drift.begin(), drift.end(), [](double d) {
                            return std::fabs(d) <= 40.0;
                          })) / std::max<size_t>(1, drift.size());
    const auto outside = std::count_if(drift.begin(), drift.end(), [](double d) { return d > 45.0 || d < -125.0; });
    std::printf("panel A/V drift over 60 s of %s: %.1f%% of %zu pictures within +-40 ms (target 95%%, ratio %.2f), "
                "%ld outside +45/-125 ms (target 0); min %.1f ms, max %.1f ms\n",
                clip.c_str(), within * 100, drift.size(), within / 0.95, static_cast<long>(outside),
                drift.empty() ? 0 : *std::min_element(drift.begin(), drift.end()),
                drift.empty() ? 0 : *std::max_element(drift.begin(), drift.end()));
  }

  CloseGuiWindow();
  return 0;
}

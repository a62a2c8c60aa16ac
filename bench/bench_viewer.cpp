// CPU time per frame of the Viewer's list with 1,000, 10,000 and 100,000
// entries, with an empty filter and with one passing 1 % of them: the tab as
// built (only visible rows drawn, from the kept list of passing rows)
// against every passing row submitted every frame as the reference.
#include <imgui.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/tabs.h"
#include "kit/text_filter.h"
#include "kit/widgets.h"
#include "bench_util.h"
#include "host_frame.h"

namespace {

// The Viewer's right pane: half the display.
void BeginPaneFrame() { BeginHostFrame("##rightViewer", 640); }

// Every passing row drawn every frame, without clipping: the cost the
// clipped list is compared against.
void DrawEveryRow(ViewerModel& model) {
  ImGui::BeginChild("##entriesViewer", ImVec2(0, 0), false, ImGuiWindowFlags_AlwaysVerticalScrollbar);
  int shown = 0;
  for (const ViewerEntry& entry : model.entries) {
    if (!FilterPasses(model.entriesFilter, entry.relative.c_str())) continue;
    ImGui::Separator();
    ImGui::BeginGroup();
    ImGui::PushID(++shown);
    ImGui::Button("\uE037");
    ImGui::SameLine();
    TintedButton("\uF4C9", 0.08325f, kNoKey);
    ImGui::SameLine();
    ImGui::Text("[%s]", entry.relative.c_str());
    ImGui::PopID();
    ImGui::EndGroup();
  }
  ImGui::EndChild();
}

double FrameMilliseconds(const std::function<void()>& draw) {
  for (int i = 0; i < 5; ++i) {  // settle the layout
    BeginPaneFrame();
    draw();
    EndHostFrame();
  }
  return 1000 * MedianSeconds(41, [&] {
    BeginPaneFrame();
    draw();
    EndHostFrame();
  });
}

}  // namespace

int main() {
  ScopedConfigFolder config;  // font and other settings go through the settings store
  if (!config.Ok()) return 1;
  StartHeadlessGui();

  const std::string root = "/media/Library";
  ViewerTab.SetRoot(root);
  double baseline[2] = {0, 0};
  for (int count : {1000, 10000, 100000}) {
    ViewerTab.model.Clear();
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i)
      paths.push_back(root + "/Collection " + std::to_string(i % 37) + "/clip " + std::to_string(i) +
                      (i % 100 == 0 ? " rare" : "") + " - some title [abc" + std::to_string(i) + "].mp4");
    ViewerTab.model.Append(paths, ViewerTab.RootPrefixLength);
    for (int filtered = 0; filtered < 2; ++filtered) {
      std::snprintf(ViewerTab.model.entriesFilter.InputBuf, sizeof ViewerTab.model.entriesFilter.InputBuf, "%s",
                    filtered ? "rare" : "");
      ViewerTab.model.FilterChanged();
      const double ours = FrameMilliseconds([] { ViewerTab.DrawEntries(); });
      const double every = FrameMilliseconds([] { DrawEveryRow(ViewerTab.model); });
      if (count == 1000) baseline[filtered] = ours;
      std::printf("viewer %6d entries, %s: %.3f ms a frame (every row submitted: %.3f ms, ratio %.2f); "
                  "%.2f x the 1,000-entry frame (target <= 2)\n",
                  count, filtered ? "1% filter  " : "no filter  ", ours, every, ours / every, ours / baseline[filtered]);
    }
  }
  ImGui::DestroyContext();
  return 0;
}

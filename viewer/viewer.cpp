#include "viewer/viewer.h"

#include <imgui.h>

#include <cstdlib>

#include "kit/glyph_demand.h"
#include "kit/icons.h"
#include "kit/scan_controls.h"
#include "kit/shell_services.h"
#include "kit/text.h"
#include "kit/widgets.h"
#include "player/media_player.h"

void Viewer::Reset() {
  Base::Reset();
  model.Clear();  // the filter text stays
}

void Viewer::FilesChanged(const std::vector<Commands::Async::Outcome>& outcomes) {
  const FileChanges changes = FileChanges::From(outcomes);
  if (changes.Empty() || !model.FilesChanged(changes, RootPath(), RootPrefixLength)) return;
  if (const auto moved = changes.moved.find(CurrentPath); moved != changes.moved.end()) {
    CurrentPath = moved->second;
    CurrentText = ToUtf8(CurrentPath);
  }
}

void Viewer::CollectEntries() {
  if (!collectTimer.Due()) return;
  std::vector<std::string> folders, files;
  scanner.Collect(folders, files);
  if (!files.empty()) model.Append(files, RootPrefixLength);
}

void Viewer::Select(size_t index) {
  const ViewerEntry& entry = model.entries[index];
  CurrentPath = entry.path;
  CurrentText = entry.text;
  if (!CurrentPath.empty()) Player.Play(CurrentPath, kViewerTab);
}

void Viewer::NextFile() {
  if (auto index = model.NextFile(CurrentPath)) Select(*index);
}

void Viewer::PlayRandom() {
  const auto draw = draw15 ? draw15 : [] { return std::rand() & 0x7FFF; };
  if (auto index = model.PlayRandom(draw)) Select(*index);
}

void Viewer::Draw() {
  CollectEntries();
  ScanControls(*this);
  if (!model.entries.empty()) {
    ImGui::SameLine();
    // Built, not formatted: a formatted line is cut at a fixed length.
    const std::string counts = ICON_FILE_COUNT "File Count(" + std::to_string(model.entries.size()) +
                               ") | " ICON_ROOT_PATH "Root Path(" + RootText() + ")";
    GlyphDemand::Note(RootText());
    ImGui::TextUnformatted(counts.c_str());
  }
  if (RootPath().empty()) {
    HelpText(ICON_HELP
             " A simple media viewer that scans your selected folder (and its subfolders) with quick playback and "
             "filtered search.");
    return;
  }
  if (model.entries.empty()) return;

  ImGui::BeginChild("##leftViewer", ImVec2(ImGui::GetContentRegionAvail().x * 0.5f, 0), true, kPaneFlags);
  if (CurrentText.empty()) {
    ImGui::TextUnformatted(ICON_PLAY " Select a media file...");
  } else {
    TextWithTooltipWhenCut(CurrentText);
  }
  const float rowTop = ImGui::GetCursorPosY();
  if (ShortcutButton(ICON_PLAY " Play", '1')) {
    if (CurrentPath.empty()) {
      NextFile();
    } else {
      Player.Play(CurrentPath, kViewerTab);
    }
  }
  ImGui::SameLine();
  if (TintedButton(ICON_NEXT_FILE " Next File", 0.4995f, '2')) NextFile();
  ImGui::SameLine();
  if (TintedButton(ICON_REVEAL " Show In Explorer", kRevealHue, '3')) ShowInExplorer(CurrentPath);
  ImGui::SameLine();
  if (TintedButton(ICON_PLAY_RANDOM " Play Random", 0.1665f, '4')) PlayRandom();
  Player.DrawPanel(kViewerTab, ImGui::GetCursorPosY() - rowTop);
  ImGui::EndChild();

  ImGui::SameLine();
  ImGui::BeginChild("##rightViewer", ImVec2(ImGui::GetContentRegionAvail().x, 0), true, kPaneFlags);
  DrawEntries();
  ImGui::EndChild();
}

void Viewer::DrawEntries() {
  if (ShortcutButton(ICON_CLEAR, kNoKey, "Clear the filter")) {
    model.entriesFilter.Clear();
    model.FilterChanged();
  }
  ImGui::SameLine();
  ImGui::SetNextItemWidth(-ImGui::GetStyle().ItemSpacing.x);
  GlyphDemand::Note(model.entriesFilter.InputBuf);  // what the user typed
  if (ImGui::InputTextWithHint(" ", ICON_FILTER " Entries - Filter(include, -exclude)", model.entriesFilter.InputBuf,
                               IM_ARRAYSIZE(model.entriesFilter.InputBuf)))
    model.FilterChanged();
  ObserveLastItem("##entriesFilter");

  ImGui::BeginChild("##entriesViewer", ImVec2(ImGui::GetContentRegionAvail().x, 0), false,
                    ImGuiWindowFlags_AlwaysVerticalScrollbar);
  // Only the rows in view are drawn; the rows themselves are those the
  // filter passes, kept by the model.
  const std::vector<size_t>& listed = model.Listed();
  ImGuiListClipper clipper;
  clipper.Begin(static_cast<int>(listed.size()));
  while (clipper.Step()) {
    for (int row = clipper.DisplayStart; row < clipper.DisplayEnd; ++row) {
      const size_t index = listed[static_cast<size_t>(row)];
      const ViewerEntry& entry = model.entries[index];
      ImGui::Separator();
      ImGui::BeginGroup();
      ImGui::PushID(row + 1);
      if (ShortcutButton(ICON_PLAY, kNoKey, "Play")) Select(index);
      ImGui::SameLine();
      if (TintedButton(ICON_REVEAL, kRevealHue, kNoKey, "Show in the file manager")) ShowInExplorer(entry.path);
      ImGui::SameLine();
      TextWithTooltipWhenCut("[" + entry.relative + "]");
      ImGui::PopID();
      ImGui::EndGroup();
    }
  }
  ImGui::EndChild();
}

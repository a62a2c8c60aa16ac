#include "viewer/viewer.h"

#include <imgui.h>

#include <algorithm>
#include <cstdlib>

#include "kit/filter_row.h"
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
  // Built, not formatted: a formatted line is cut at a fixed length.
  const std::string counts =
      model.entries.empty() ? std::string() : ICON_FILE_COUNT "File Count(" + std::to_string(model.entries.size()) + ") | ";
  ScanControls(*this, counts, scanner.fileQueue.Size() > 0);
  if (RootPath().empty()) {
    HelpText(ICON_HELP
             " A simple media viewer that scans your selected folder (and its subfolders) with quick playback and "
             "filtered search.");
    return;
  }
  if (model.entries.empty()) {
    if (!scanner.scanning && scanner.fileQueue.Size() == 0) EmptyText(*this);
    return;
  }

  ImGui::BeginChild("##leftViewer", ImVec2(ImGui::GetContentRegionAvail().x * 0.5f, 0), true, kPaneFlags);
  if (CurrentText.empty()) {
    ImGui::TextUnformatted(ICON_PLAY " Select a media file...");
  } else {
    TextKeepingItsEnd(CurrentText);
  }
  const float rowTop = ImGui::GetCursorPosY();
  if (ShortcutButton(ICON_PLAY " Play", '1')) {
    if (CurrentPath.empty()) {
      NextFile();
    } else {
      Player.Play(CurrentPath, kViewerTab);
    }
  }
  SameLineIfFits(ButtonWidth(ICON_NEXT_FILE " Next File"));
  if (TintedButton(ICON_NEXT_FILE " Next File", kNextHue, '2')) NextFile();
  SameLineIfFits(ButtonWidth(ICON_REVEAL " Show In Explorer"));
  if (TintedButton(ICON_REVEAL " Show In Explorer", kRevealHue, '3')) ShowInExplorer(CurrentPath);
  SameLineIfFits(ButtonWidth(ICON_PLAY_RANDOM " Play Random"));
  if (TintedButton(ICON_PLAY_RANDOM " Play Random", kPlayRandomHue, '4')) PlayRandom();
  // The player's control row is one row high, however the actions wrapped.
  Player.DrawPanel(kViewerTab, std::min(ImGui::GetCursorPosY() - rowTop, ImGui::GetFrameHeightWithSpacing()));
  ImGui::EndChild();

  ImGui::SameLine();
  ImGui::BeginChild("##rightViewer", ImVec2(ImGui::GetContentRegionAvail().x, 0), true, kPaneFlags);
  DrawEntries();
  ImGui::EndChild();
}

void Viewer::DrawEntries() {
  if (FilterRow(model.entriesFilter, ICON_FILTER " Entries - Filter(include, -exclude)", "##entriesFilter",
                ImGui::GetStyle().ItemSpacing.x))
    model.FilterChanged();

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
      TextKeepingItsEnd("[", entry.relative + "]", entry.text);
      ImGui::PopID();
      ImGui::EndGroup();
    }
  }
  if (listed.empty()) EmptyText("No file matches the filter");
  ImGui::EndChild();
}

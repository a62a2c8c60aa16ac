// The Grouping tab.
// [Model]   collection, indexing, removals, deletions
// [Drawing] top rows, the group list (only rows in view), one file row
#include "grouping/group.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "kit/failure_text.h"
#include "kit/file_changes.h"
#include "kit/file_commands.h"
#include "kit/filter_row.h"
#include "kit/fonts.h"
#include "kit/frame_demand.h"
#include "kit/glyph_demand.h"
#include "kit/icons.h"
#include "kit/scan_controls.h"
#include "kit/settings.h"
#include "kit/shell_services.h"
#include "kit/text.h"
#include "kit/text_filter.h"
#include "kit/widgets.h"
#include "player/media_player.h"

// [Model]

void Group::Reset() {
  Base::Reset();
  model.Clear();
  pendingRemovals.clear();
  deleting.clear();
  refusedByTrash.Clear();
  rowNotes.clear();
  openGroups.clear();
  rows.clear();
  rowsStale = true;  // the threshold and the filter text stay
}

void Group::CollectFiles() {
  collection.Collect(scanner, model);
  if (model.Index(kIndexBudgetPerFrame)) rowsStale = true;
  if (collection.Draining() || model.Queued() > 0 || !pendingRemovals.empty()) FrameDemand::Next();
}

bool Group::StillGrowing() { return collection.StillGrowing(scanner, model); }

void Group::ApplyPendingRemovals() {
  for (int i = 0; i < kRemovalsPerFrame && !pendingRemovals.empty(); ++i) {
    model.Remove(pendingRemovals.front());
    pendingRemovals.pop_front();
    rowsStale = true;
  }
}

void Group::QueueDeletion(const TagGroups::Entry* entry) {
  const std::string& path = entry->file.path;
  Player.UnloadIfShowing(path);  // another file playing goes on
  deleting[Commands::Async::Delete(path, IdentityToDelete(entry->file))] = entry;
  rowNotes[entry] = {"deleting", false};
}

void Group::DeleteFile(const TagGroups::Entry* entry) {
  CurrentPath = entry->file.path;
  CurrentText = entry->file.text;
  if (const auto note = rowNotes.find(entry); note != rowNotes.end() && !note->second.problem) return;  // on its way
  if (!ConfirmFileAction("Are-you sure you want to delete this file ?", CurrentPath)) return;
  QueueDeletion(entry);
}

void Group::DeleteAll(uint32_t group) {
  const TagGroups::Group& chosen = model.Groups()[group];
  // Always asked, whatever the settings say: a whole group may be many files.
  const std::string question = "Delete all " + CountText(chosen.items.size()) + " files in the group '" +
                               chosen.tag + "'?";
  if (AskYesNoCancel(question, "Delete All Files From This Group") != platform::Answer::Yes) return;
  for (const TagGroups::Entry* entry : chosen.items) {
    const auto note = rowNotes.find(entry);
    if (note == rowNotes.end() || note->second.problem) QueueDeletion(entry);
  }
}

void Group::FilesChanged(const std::vector<Commands::Async::Outcome>& outcomes) {
  for (const Commands::Async::Outcome& outcome : outcomes) {
    if (const auto own = deleting.find(outcome.id); outcome.id != 0 && own != deleting.end()) {
      const TagGroups::Entry* entry = own->second;
      deleting.erase(own);
      if (outcome.TrashRefused()) {
        refusedByTrash.Hold(outcome, entry);
      } else if (outcome.Done()) {
        rowNotes.erase(entry);
        pendingRemovals.push_back(entry);
      } else {
        rowNotes[entry] = {"cannot delete: " + FailureText(outcome.result), true};
      }
      rowsStale = true;
      continue;
    }
    if (!outcome.Done()) continue;
    const TagGroups::Entry* entry = model.Find(outcome.source);
    if (!entry) continue;
    const bool stays = outcome.operation == Commands::Async::Operation::Move &&
                       FileChanges::Below(outcome.destination, RootPath());
    if (stays) {
      model.Repath(entry, outcome.destination);  // a new name joins the groups of its own words
    } else {
      rowNotes.erase(entry);
      pendingRemovals.push_back(entry);
    }
    rowsStale = true;
  }
  if (refusedByTrash.AskOnceAllEnded(deleting, rowNotes)) rowsStale = true;
}

// [Drawing]

void Group::Draw() {
  CollectFiles();
  ScanControls(*this, {}, StillGrowing());
  if (RootPath().empty()) {
    HelpText(ICON_HELP
             " Recursively scans the root folder and all subfolders, splits filenames into words / tags, and groups "
             "files by those tags (e.g. cat dog.txt -> groups cat and dog).");
    return;
  }
  if (model.Groups().empty()) {
    if (!scanner.scanning && !StillGrowing()) EmptyText(*this);
    return;
  }
  ApplyPendingRemovals();
  float filterRowHeight = 0.0f;
  DrawTopRows(filterRowHeight);

  ImGui::BeginChild("##GroupFilter", ImVec2(0.6625f * ImGui::GetContentRegionAvail().x, 0), true,
                    ImGuiWindowFlags_AlwaysVerticalScrollbar);
  DrawGroupList();
  ImGui::EndChild();
  ImGui::SameLine();
  ImGui::BeginChild("##rightGrouping", ImVec2(ImGui::GetContentRegionAvail().x, 0), true, kPaneFlags);
  Player.DrawPanel(kGroupingTab, filterRowHeight);
  ImGui::EndChild();
}

// The filter, then the threshold slider with its "+" and "-", sized so the
// whole row fits at every font size.
void Group::DrawTopRows(float& filterRowHeight) {
  const float rowStart = ImGui::GetCursorPosY();
  const ImGuiStyle& style = ImGui::GetStyle();
  const float gap = 0.33f * (ImGui::GetContentRegionAvail().x - ButtonWidth(ICON_CLEAR) - style.ItemSpacing.x) +
                    style.ScrollbarSize + style.ItemSpacing.x;
  if (FilterRow(groupFilter, ICON_FILTER "Filter(include, -exclude)", "##groupFilter", gap)) rowsStale = true;
  filterRowHeight = ImGui::GetCursorPosY() - rowStart;

  ImGui::SameLine();
  const float buttons = ButtonWidth(ICON_PLUS) + ButtonWidth(ICON_MINUS) + 2 * style.ItemSpacing.x;
  const float sliderLabel = ImGui::CalcTextSize(ICON_THRESHOLD).x + style.ItemInnerSpacing.x;
  const float width = ImGui::GetContentRegionAvail().x;
  ImGui::BeginChild("##slider", ImVec2(width, ImGui::GetFrameHeight()), false,
                    ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse);
  const int before = groupThreshold;
  ImGui::SetNextItemWidth(std::max(1.0f, width - buttons - sliderLabel));
  ImGui::SliderInt(ICON_THRESHOLD, &groupThreshold, 0, model.maxGroupSize, "%d");
  ObserveLastItem("##threshold");
  ImGui::SameLine();
  if (ShortcutButton(ICON_PLUS, kNoKey, "Show only larger groups")) groupThreshold = std::min(groupThreshold + 1, model.maxGroupSize);
  ImGui::SameLine();
  if (ShortcutButton(ICON_MINUS, kNoKey, "Show smaller groups too")) groupThreshold = std::max(groupThreshold - 1, 0);
  if (groupThreshold != before) rowsStale = true;
  ImGui::EndChild();
}

// Headers of the groups shown, and the files of the open ones, in tag order.
void Group::RebuildRows() {
  rows.clear();
  for (uint32_t index : model.Order()) {
    const TagGroups::Group& group = model.Groups()[index];
    if (group.items.size() <= static_cast<uint64_t>(static_cast<int64_t>(groupThreshold))) continue;
    if (groupFilter.IsActive() && !FilterPasses(groupFilter, group.tag.c_str())) continue;
    rows.push_back({index, -1});
    if (openGroups.count(index))
      for (size_t file = 0; file < group.items.size(); ++file) rows.push_back({index, static_cast<int32_t>(file)});
  }
  // Why the list is empty is read once here, not every frame it shows.
  everyFileGone = rows.empty() && std::all_of(model.Groups().begin(), model.Groups().end(),
                                              [](const TagGroups::Group& group) { return group.items.empty(); });
  rowsStale = false;
}

void Group::DrawGroupList() {
  if (rowsStale) RebuildRows();
  if (rows.empty()) {
    if (everyFileGone) {
      EmptyText(*this, true);
    } else if (groupFilter.IsActive()) {
      EmptyText("No group matches the filter");
    } else {
      EmptyText("No group has more than " + std::to_string(groupThreshold) + (groupThreshold == 1 ? " file" : " files"));
    }
    return;
  }
  // Every row is one frame high: only the rows in view are drawn.
  ImGuiListClipper clipper;
  clipper.Begin(static_cast<int>(rows.size()), ImGui::GetFrameHeightWithSpacing());
  while (clipper.Step()) {
    for (int i = clipper.DisplayStart; i < clipper.DisplayEnd && !rowsStale; ++i) DrawRow(rows[static_cast<size_t>(i)], i + 1);
  }
  // A row that changed the list (a header opened, a group deleted) ends
  // this frame's drawing; the next frame shows the new list.
}

void Group::DrawRow(const Row& row, int rowNumber) {
  const TagGroups::Group& group = model.Groups()[row.group];
  std::string count = "(";  // built step by step: GCC 12 warns wrongly on "(" + std::to_string(...)
  count += std::to_string(group.items.size());
  count += ')';
  if (row.file < 0) {
    const bool open = openGroups.count(row.group) != 0;
    ImGui::SetNextItemOpen(open);
    ImGui::PushID(static_cast<int>(row.group));
    GlyphDemand::Note(group.tag);
    const bool nowOpen = ImGui::CollapsingHeader(group.tag.c_str());
    ObserveLastItem(group.tag.c_str());
    ImGui::PopID();
    if (nowOpen != open) {
      if (nowOpen) {
        openGroups.insert(row.group);
      } else {
        openGroups.erase(row.group);
      }
      rowsStale = true;
    }
    // The count follows the header when closed, the last file when open.
    if (!nowOpen || group.items.empty()) {
      ImGui::SameLine();
      ImGui::TextUnformatted(count.c_str());
    }
    return;
  }
  const TagGroups::Entry* entry = group.items[static_cast<size_t>(row.file)];
  ImGui::PushID(rowNumber);
  if (ShortcutButton(ICON_PLAY, kNoKey, "Play") && !entry->file.path.empty()) Player.Play(entry->file.path, kGroupingTab);
  ImGui::SameLine();
  if (TintedButton(ICON_REVEAL, kRevealHue, kNoKey, "Show in the file manager")) ShowInExplorer(entry->file.path);
  ImGui::SameLine();
  const bool remove = TintedButton(ICON_DELETE, kDeleteHue, kNoKey, "Delete this file");
  ImGui::SameLine();
  if (const auto note = rowNotes.find(entry); note != rowNotes.end()) {
    DrawRowNote(note->second);
  }
  if (entry->file.link) {
    LinkMark(entry->file.path);
    ImGui::SameLine();
  }
  const bool last = static_cast<size_t>(row.file) + 1 == group.items.size();
  const ImGuiStyle& style = ImGui::GetStyle();
  float reserve = 0.0f;  // the name never runs under what follows it
  if (last) reserve += ImGui::CalcTextSize(count.c_str()).x + style.ItemSpacing.x;
  const char* deleteAll = RowEndLabel(ICON_DELETE " Delete All Files", ICON_DELETE "##all", reserve);
  if (row.file == 0) reserve += ButtonWidth(deleteAll) + style.ItemSpacing.x;
  TextKeepingItsEnd("[" + entry->file.sizeText + "] ", entry->file.text, entry->file.path, reserve);
  if (last) {
    ImGui::SameLine();
    ImGui::TextUnformatted(count.c_str());
  }
  const bool removeAll = row.file == 0 && RowEndButton(deleteAll, kDeleteHue, "Delete All Files");
  ImGui::PopID();
  if (remove) DeleteFile(entry);
  if (removeAll) DeleteAll(row.group);
}

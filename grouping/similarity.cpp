// The Similarity tab.
// [Model]   collection, relative paths
// [Drawing] top bar, groups (only those in view), one group's rows
#include "grouping/similarity.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "kit/failure_text.h"
#include "kit/file_changes.h"
#include "kit/file_commands.h"
#include "kit/filter_row.h"
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

namespace {
}  // namespace

// [Model]

void Similarity::Reset() {
  Base::Reset();
  model.Clear();  // the filter text stays
  deleting.clear();
  refusedByTrash.Clear();
  rowNotes.clear();
  shown.clear();
  shownStale = true;
}

void Similarity::CollectFiles() {
  collection.Collect(scanner, model);
  model.Index(kIndexBudgetPerFrame);
  if (collection.Draining() || model.Queued() > 0) FrameDemand::Next();
}

bool Similarity::StillGrowing() { return collection.StillGrowing(scanner, model); }

void Similarity::FilesChanged(const std::vector<Commands::Async::Outcome>& outcomes) {
  for (const Commands::Async::Outcome& outcome : outcomes) {
    if (const auto own = deleting.find(outcome.id); outcome.id != 0 && own != deleting.end()) {
      const std::string path = own->second;
      deleting.erase(own);
      if (outcome.TrashRefused()) {
        refusedByTrash.Hold(outcome, path);
        continue;
      }
      if (!outcome.Done()) {
        rowNotes[path] = {"cannot delete: " + FailureText(outcome.result), true};
        continue;
      }
    } else if (!outcome.Done()) {
      continue;
    }
    DuplicateGroups::Items* group = model.GroupOf(outcome.source);
    if (!group) continue;
    rowNotes.erase(outcome.source);
    if (outcome.operation == Commands::Async::Operation::Move && FileChanges::Below(outcome.destination, RootPath())) {
      model.Repath(*group, outcome.source, outcome.destination);
    } else {
      model.RemovePath(*group, outcome.source);
    }
    shownStale = true;
  }
  if (refusedByTrash.AskOnceAllEnded(deleting, rowNotes)) shownStale = true;
}

// The root's UTF-8 text and its "/" are skipped: counted in the UTF-8
// text, not in the path's bytes (a byte that is not UTF-8 becomes three).
const char* Similarity::RelativeText(const FileItem& item) const {
  const std::string& root = RootText();
  if (root.empty() || item.text.compare(0, root.size(), root) != 0) return item.text.c_str();
  size_t skip = root.size();
  if (root.back() != '/' && skip < item.text.size() && item.text[skip] == '/') ++skip;
  return item.text.c_str() + skip;
}

// [Drawing]

void Similarity::Draw() {
  CollectFiles();
  ScanControls(*this, {}, StillGrowing());
  if (!RootPath().empty()) {
    if (!model.Empty()) {
      DrawGroups();
    } else if (!scanner.scanning && !StillGrowing()) {
      EmptyText(*this);
    }
    return;
  }
  HelpText(ICON_HELP
           " This feature recursively scans a folder and detects likely duplicates by parsing platform IDs / tags in "
           "filenames (e.g. YouTube, X / Twitter, etc.).\nIt normalizes titles and extensions (MP4 / MKV / WebM,...) "
           "and groups items that share the same ID.\n\nIt does not compare audio/video content. If you need content "
           "level dedupe (same file, different name), use Twinsift:");
  ImGui::NewLine();
  if (ShortcutButton(ICON_TWINSIFT_WEBSITE " Twinsift Website", kNoKey)) OpenWebPage(kTwinsiftAddress);
}

void Similarity::RebuildShown() {
  shown.clear();
  for (DuplicateGroups::Items* group : model.Candidates()) {
    if (!DuplicateGroups::HoldsDuplicates(*group)) continue;
    // The filter decides whether a group shows; a shown group lists all its files.
    const bool passes = !similarityFilter.IsActive() ||
                        std::any_of(group->begin(), group->end(), [this](const FileItem& item) {
                          return FilterPasses(similarityFilter, RelativeText(item));
                        });
    if (passes) shown.push_back(group);
  }
  shownGeneration = model.Generation();
  shownStale = false;
  shownTop.clear();
}

void Similarity::DrawGroups() {
  const float rowStart = ImGui::GetCursorPosY();
  const ImGuiStyle& style = ImGui::GetStyle();
  if (FilterRow(similarityFilter, ICON_FILTER "Filter(include, -exclude)", "##similarityFilter",
                style.ScrollbarSize + style.ItemSpacing.x))
    shownStale = true;
  const float filterRowHeight = ImGui::GetCursorPosY() - rowStart;

  ImGui::BeginChild("##Filter", ImVec2(0.66f * ImGui::GetContentRegionAvail().x, 0), true,
                    ImGuiWindowFlags_AlwaysVerticalScrollbar);
  if (shownStale || shownGeneration != model.Generation()) RebuildShown();
  // Groups are drawn only where they are in view: every file row is one
  // frame high and every group ends with a separator, so each group's
  // place follows from the counts before it.
  const float rowHeight = ImGui::GetFrameHeightWithSpacing();
  const float separatorHeight = style.ItemSpacing.y + 1.0f;
  if (shownTop.size() != shown.size() + 1 || shownRowHeight != rowHeight) {
    shownTop.assign(1, 0.0f);
    for (const DuplicateGroups::Items* group : shown)
      shownTop.push_back(shownTop.back() + static_cast<float>(group->size()) * rowHeight + separatorHeight);
    shownRowHeight = rowHeight;
  }
  const float start = ImGui::GetCursorPosY();
  const float top = ImGui::GetScrollY() - start;
  const float bottom = top + ImGui::GetWindowHeight();
  size_t first = static_cast<size_t>(std::upper_bound(shownTop.begin(), shownTop.end(), top) - shownTop.begin());
  first = first > 0 ? first - 1 : 0;
  int rowNumber = 1;  // row numbers only need to be unique among the rows drawn
  for (size_t i = first; i < shown.size() && shownTop[i] <= bottom; ++i) {
    ImGui::SetCursorPosY(start + shownTop[i]);
    if (DrawGroup(*shown[i], rowNumber)) break;  // the list changed: the next frame draws it anew
  }
  // Room for every group, drawn or not, so the scrollbar is right.
  ImGui::SetCursorPosY(start);
  const float total = shownTop.back();
  ImGui::Dummy(ImVec2(1.0f, total));
  if (shown.empty()) {
    ImGui::SetCursorPosY(start);
    if (similarityFilter.IsActive()) {
      EmptyText("No group of duplicates matches the filter");
    } else {
      if (scanner.scanning || StillGrowing()) {
        EmptyText("No duplicates found yet");
      } else {
        EmptyText("No duplicates in ", RootText());
      }
    }
  }
  ImGui::EndChild();

  ImGui::SameLine();
  ImGui::BeginChild("##rightSimilarity", ImVec2(ImGui::GetContentRegionAvail().x, 0), true, kPaneFlags);
  Player.DrawPanel(kSimilarityTab, filterRowHeight);
  ImGui::EndChild();
}

bool Similarity::DrawGroup(DuplicateGroups::Items& group, int& rowNumber) {
  bool skip = false;
  ImGui::BeginGroup();
  for (size_t i = 0; i < group.size() && !skip; ++i) {
    const FileItem& item = group[i];
    ImGui::PushID(rowNumber++);
    const auto makeCurrent = [&] {
      CurrentPath = item.path;
      CurrentText = item.text;
    };
    if (ShortcutButton(ICON_PLAY, kNoKey, "Play")) {
      makeCurrent();
      if (!CurrentPath.empty()) Player.Play(CurrentPath, kSimilarityTab);
    }
    ImGui::SameLine();
    if (TintedButton(ICON_REVEAL, kRevealHue, kNoKey, "Show in the file manager")) {
      makeCurrent();
      ShowInExplorer(item.path);
    }
    ImGui::SameLine();
    if (TintedButton(ICON_DELETE, kDeleteHue, kNoKey, "Delete this file")) {
      makeCurrent();
      const auto note = rowNotes.find(item.path);
      const bool onItsWay = note != rowNotes.end() && !note->second.problem;
      if (!onItsWay && ConfirmFileAction("Are-you sure you want to delete this file ?", CurrentPath)) {
        Player.UnloadIfShowing(CurrentPath);  // another file playing goes on
        deleting[Commands::Async::Delete(CurrentPath, IdentityToDelete(item))] = CurrentPath;
        rowNotes[CurrentPath] = {"deleting", false};
      }
    }
    ImGui::SameLine();
    if (!rowNotes.empty()) {
      if (const auto note = rowNotes.find(item.path); note != rowNotes.end()) {
        DrawRowNote(note->second);
      }
    }
    if (item.link) {
      LinkMark(item.path);
      ImGui::SameLine();
    } else if (const FileItem* same = DuplicateGroups::SameFileBefore(group, i)) {
      StatusText("[same file]", Tone::Quiet);
      if (ImGui::IsItemHovered()) ImGui::SetTooltip("%s", ("The same file as " + OneLine(RelativeText(*same))).c_str());
      ImGui::SameLine();
    }
    const char* skipLabel = RowEndLabel(ICON_NEXT_FILE " Skip", ICON_NEXT_FILE "##skip", 0.0f);
    const float reserve = i == 0 ? ButtonWidth(skipLabel) + ImGui::GetStyle().ItemSpacing.x : 0.0f;
    TextKeepingItsEnd("[" + item.sizeText + "] ", RelativeText(item), item.text, reserve);
    if (i == 0) skip = RowEndButton(skipLabel, kNextHue, "Skip this group");
    ImGui::PopID();
  }
  ImGui::Separator();
  ImGui::EndGroup();
  if (skip) {
    model.Skip(group);  // no file is touched
    return true;
  }
  return false;
}

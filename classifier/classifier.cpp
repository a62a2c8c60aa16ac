// The Classifier tab.
// [Operations] next file, move, delete, rename, create folder, undo
// [Drawing]    panes, action row, rename row, folder buttons, folder tools
#include "classifier/classifier.h"

#include <imgui.h>

#include <algorithm>
#include <utility>

#include "classifier/classifier_rules.h"
#include "kit/failure_text.h"
#include "kit/file_commands.h"
#include "kit/filter_row.h"
#include "kit/glyph_demand.h"
#include "kit/icons.h"
#include "kit/scan_controls.h"
#include "kit/shell_services.h"
#include "kit/text.h"
#include "kit/text_filter.h"
#include "kit/trash_refusals.h"
#include "kit/widgets.h"
#include "platform/file_operations.h"
#include "platform/path_syntax.h"
#include "player/media_player.h"

namespace {

constexpr float kRenameHue = 0.1665f;
constexpr float kFolderHue = 0.33f;
constexpr float kToolHue = 0.66f;

void CopyInto(char* buffer, size_t size, const std::string& text) {
  const size_t length = std::min(text.size(), size - 1);
  text.copy(buffer, length);
  buffer[length] = '\0';
}

}  // namespace

// [Operations]

void Classifier::Reset() {
  Base::Reset();
  folderList.clear();
  fileList.clear();
  history.Clear();  // its filter text stays
  folderFilter.Clear();
  folderFilter.Build();
  renameBuffer[0] = '\0';
  renameRefused.clear();
  renaming = false;
  refusedByTrash.clear();
  sortedFolderCount = 0;
}

void Classifier::NextFile() {
  renaming = false;
  if (fileList.empty()) {
    CurrentPath.clear();
  } else {
    CurrentPath = std::move(fileList.front());
    fileList.pop_front();
  }
  CurrentText = ToUtf8(CurrentPath);
  if (!CurrentPath.empty()) Player.Play(CurrentPath, kClassifierTab);
}

void Classifier::MoveToFolder(const std::string& folder) {
  const std::string destination = MoveDestination(CurrentPath, RootPath(), folder);
  if (destination.empty()) return;
  // Overwriting replaces the old file as the new one takes its place (a
  // move that cannot be done leaves both). Anything but Yes changes
  // nothing: no request, no record, the file stays current.
  const bool taken = platform::PathExists(destination);
  if (taken && !ConfirmFileAction("Do you want to overwrite this file?", destination)) return;
  Player.Unload();
  const Commands::Async::RequestId request =
      taken ? Commands::Async::MoveReplacing(CurrentPath, destination, platform::IdentityOf(destination))
            : Commands::Async::Move(CurrentPath, destination);
  history.Add(HistoryKind::Move, destination, CurrentPath, request);
  NextFile();
}

void Classifier::DeleteCurrent() {
  if (!ConfirmFileAction("Are-you sure you want to delete this file ?", CurrentPath)) return;
  Player.Unload();
  // The file as it is now: another one given its name meanwhile stays.
  const Commands::Async::RequestId request =
      Commands::Async::Delete(CurrentPath, platform::IdentityOf(CurrentPath));
  history.Add(HistoryKind::Delete, "", CurrentPath, request);
  NextFile();
}

void Classifier::BeginRenaming() {
  renameBuffer[0] = '\0';
  const size_t slash = CurrentPath.rfind('/');
  if (slash == std::string::npos) return;
  const EditableName name = NameForEditing(CurrentPath.substr(slash + 1));
  CopyInto(renameBuffer, sizeof renameBuffer, name.text);
  renameEscaped = name.escaped;
  renameRefused.clear();
  renaming = true;
  renameBoxWantsFocus = true;
  ++renameBoxes;
}

bool Classifier::Rename() {
  const size_t slash = CurrentPath.rfind('/');
  if (slash == std::string::npos) return false;
  const std::string name = NameFromEditing(renameBuffer, renameEscaped);
  if (name == CurrentPath.substr(slash + 1)) {
    renameRefused.clear();  // the same name: nothing to do
    return false;
  }
  if (!IsAcceptableName(name)) {
    renameRefused = platform::NameRules();
    return false;
  }
  Player.Unload();
  const std::string renamed = CurrentPath.substr(0, slash + 1) + name;
  const platform::FileOperationResult result = platform::MoveWithoutCopy(CurrentPath, renamed);
  if (result != platform::FileOperationResult::Done) {
    renameRefused = FailureText(result);
    return false;
  }
  history.Add(HistoryKind::Rename, renamed, CurrentPath);
  Commands::Async::AnnounceMove(CurrentPath, renamed);
  CurrentPath = renamed;
  CurrentText = ToUtf8(CurrentPath);
  renaming = false;
  renameRefused.clear();
  return true;
}

bool Classifier::CreateFolder() {
  const std::string name = folderFilter.InputBuf;
  if (RootPath().empty() || !IsAcceptableName(name)) return false;
  const std::string path = RootPath() + (RootPath().back() == '/' ? "" : "/") + name;
  if (!platform::CreateFolder(path)) return false;
  folderList.push_back(path);
  folderFilter.Clear();
  folderFilter.Build();
  return true;
}

bool Classifier::Undo(HistoryRecord& record) {
  if (!record.Undoable()) return false;
  record.undoRefused.clear();
  if (record.kind == HistoryKind::Delete && record.state == RecordState::Done) return RestoreDeleted(record, true);
  if (record.state == RecordState::Waiting) {
    if (Commands::Async::Cancel(record.request)) {
      // Called off before it began: the file never moved.
      const std::string source = record.source;
      history.Remove(record);
      MakeCurrentAgain(source, {}, true);
      return true;
    }
    // In hand (a copy stops at its next block): undone once it has ended.
    record.undoWhenDone = true;
    return true;
  }
  return MoveBack(record, true);
}

bool Classifier::RestoreDeleted(HistoryRecord& record, bool playNow) {
  if (!record.trashed) {
    record.undoRefused = "it was deleted for good";
    return false;
  }
  const platform::TrashEntry entry = *record.trashed;
  const platform::FileOperationResult result = platform::RestoreFromTrash(entry);
  if (result != platform::FileOperationResult::Done) {
    record.undoRefused = FailureText(result);  // it stays in the trash
    return false;
  }
  Commands::Async::AnnounceMove(entry.file, entry.originalPath);
  history.Remove(record);
  MakeCurrentAgain(entry.originalPath, {}, playNow);
  return true;
}

// A move back is done: the file it had replaced comes back from the trash.
// If it cannot, the record goes on as that file's deletion, saying why, so
// that it can still be tried again.
bool Classifier::MovedBack(HistoryRecord& record, bool playNow) {
  const std::string source = record.source, target = record.target;
  bool whole = true;
  if (record.trashed) {
    const platform::FileOperationResult restored = platform::RestoreFromTrash(*record.trashed);
    if (restored == platform::FileOperationResult::Done) {
      Commands::Async::AnnounceMove(record.trashed->file, target);
    } else {
      whole = false;
      record.kind = HistoryKind::Delete;
      record.source = target;
      record.sourceText = record.targetText;
      record.target.clear();
      record.targetText.clear();
      record.undoRefused = FailureText(restored);
    }
  }
  if (whole) history.Remove(record);
  MakeCurrentAgain(source, target, playNow);
  return whole;
}

bool Classifier::MoveBack(HistoryRecord& record, bool playNow) {
  Player.UnloadIfShowing(record.target);
  const platform::FileOperationResult result = platform::MoveWithoutCopy(record.target, record.source);
  if (result == platform::FileOperationResult::OtherDisk) {
    // A copy back: on the move worker, so the window goes on meanwhile.
    record.undoRequest = Commands::Async::Move(record.target, record.source);
    return true;
  }
  if (result != platform::FileOperationResult::Done) {
    record.undoRefused = FailureText(result);
    return false;
  }
  Commands::Async::AnnounceMove(record.target, record.source);
  return MovedBack(record, playNow);
}

void Classifier::MakeCurrentAgain(const std::string& path, const std::string& formerPath, bool playNow) {
  // The one that was current comes next, unless it was this very file
  // under its other name.
  if (!CurrentPath.empty() && CurrentPath != formerPath && CurrentPath != path) fileList.push_front(CurrentPath);
  fileList.push_front(path);
  if (playNow) {
    NextFile();
    return;
  }
  // Ended in the background: current, and playing once this tab shows;
  // whatever another tab plays meanwhile goes on.
  CurrentPath.clear();
  CurrentText.clear();
  renaming = false;
}

void Classifier::BackIntoQueue(const std::string& path) {
  if (path == CurrentPath || std::find(fileList.begin(), fileList.end(), path) != fileList.end()) return;
  fileList.push_front(path);  // current at the next frame when nothing else is
}

void Classifier::FilesChanged(const std::vector<Commands::Async::Outcome>& outcomes) {
  using platform::FileOperationResult;
  for (const Commands::Async::Outcome& outcome : outcomes) {
    HistoryRecord* record = history.ForRequest(outcome.id);
    if (!record) {
      ForeignChange(outcome);
      continue;
    }
    if (outcome.id == record->undoRequest) {
      record->undoRequest = 0;
      if (outcome.Done()) {
        MovedBack(*record, false);
      } else {
        record->undoRefused = FailureText(outcome.result);
      }
      continue;
    }
    const bool undo = std::exchange(record->undoWhenDone, false);
    if (outcome.Done()) {
      record->state = RecordState::Done;
      record->trashed = outcome.trashed;
      if (undo && record->kind == HistoryKind::Delete) {
        RestoreDeleted(*record, false);
      } else if (undo) {
        MoveBack(*record, false);
      }
      continue;
    }
    if (undo && (outcome.result == FileOperationResult::Stopped || outcome.TrashRefused() ||
                 record->kind == HistoryKind::Delete)) {
      // Stopped for the undo before anything changed (or a deletion that did
      // not happen): the file is where it was.
      const std::string source = record->source;
      history.Remove(*record);
      MakeCurrentAgain(source, {}, false);
      continue;
    }
    if (outcome.TrashRefused()) {
      refusedByTrash.push_back(outcome);
      continue;
    }
    Failed(*record, outcome);
  }
  if (!refusedByTrash.empty() && !DeletionsOut()) DeleteForGoodIfAgreed();
}

// Whether a deletion or overwrite of this tab is still queued or in hand
// (those the trash turned away wait for the question).
bool Classifier::DeletionsOut() const {
  for (const HistoryRecord& record : history.Records()) {
    if (record.state != RecordState::Waiting) continue;
    const bool refused = std::any_of(refusedByTrash.begin(), refusedByTrash.end(),
                                     [&](const Commands::Async::Outcome& outcome) { return outcome.id == record.request; });
    if (!refused && record.kind == HistoryKind::Delete) return true;
  }
  return false;
}

void Classifier::Failed(HistoryRecord& record, const Commands::Async::Outcome& outcome) {
  record.state = RecordState::Failed;
  record.failure = FailureText(outcome.result);
  if (outcome.result != platform::FileOperationResult::SourceMissing) BackIntoQueue(outcome.source);
}

// Deletions (and overwrites) whose disk has no trash: done for good if the
// user agrees, else they failed and their files come back.
void Classifier::DeleteForGoodIfAgreed() {
  const std::vector<Commands::Async::Outcome> refused = std::move(refusedByTrash);
  refusedByTrash.clear();
  const std::vector<Commands::Async::RequestId> requests = ::DeleteForGoodIfAgreed(refused);
  for (size_t i = 0; i < refused.size(); ++i) {
    HistoryRecord* record = history.ForRequest(refused[i].id);
    if (!record) {
      continue;  // its record has gone (a new root): nothing more to do
    } else if (requests.empty()) {
      Failed(*record, refused[i]);
    } else {
      record->request = requests[i];  // still waiting, now for good
    }
  }
}

// Another tab (or a rename here) moved or deleted a file: a file that left
// the root's top level leaves the queue; one renamed in place keeps its place.
void Classifier::ForeignChange(const Commands::Async::Outcome& outcome) {
  if (!outcome.Done()) return;
  const bool stays = outcome.operation == Commands::Async::Operation::Move &&
                     IsDirectlyIn(outcome.destination, RootPath());
  const auto update = [&](std::string& path) {
    if (path != outcome.source) return false;
    if (!stays) return true;
    path = outcome.destination;
    return false;
  };
  fileList.erase(std::remove_if(fileList.begin(), fileList.end(), update), fileList.end());
  if (update(CurrentPath)) {
    CurrentPath.clear();  // the next file becomes current when this tab shows
  }
  CurrentText = ToUtf8(CurrentPath);
}

void Classifier::CollectAndSort() {
  if (collectTimer.Due()) {
    std::vector<std::string> files;
    scanner.Collect(folderList, files);
    for (std::string& file : files) fileList.push_back(std::move(file));
  }
  // Buttons take their places once the walk has ended.
  if (!scanner.scanning && folderList.size() != sortedFolderCount) {
    SortFolders(folderList);
    // A folder made here while the walk ran may have been found by it too.
    folderList.erase(std::unique(folderList.begin(), folderList.end()), folderList.end());
    sortedFolderCount = folderList.size();
  }
}

// [Drawing]

void Classifier::Draw() {
  CollectAndSort();
  if (CurrentPath.empty() && !fileList.empty()) NextFile();
  // Built, not formatted: the root may be long and hold "%".
  const bool sorting = !CurrentPath.empty();
  const std::string counts =
      sorting ? ICON_FILE_COUNT "Files in queue(" + std::to_string(fileList.size()) + ") | " : std::string();
  ScanControls(*this, counts, scanner.fileQueue.Size() > 0);
  // At large font sizes the action row and the heading wrap: the pane
  // grows to keep room for three rows of folder buttons below them, up to
  // three quarters of the tab, so the history keeps some room too.
  if (sorting) {
    const float available = ImGui::GetContentRegionAvail().y;
    const float wanted = foldersTop + 3 * ImGui::GetFrameHeightWithSpacing() + 2 * ImGui::GetStyle().WindowPadding.y;
    DrawCurrentFile(std::max(available * 0.4f, std::min(wanted, available * 0.75f)));
  }
  if (!sorting && fileList.empty() && !RootPath().empty() && !scanner.scanning && scanner.fileQueue.Size() == 0)
    EmptyText(history.Empty() && scanner.filesFound.load() == 0 ? "No files found in " : "No files left to sort in ",
              RootText());
  // The last file may need a folder made for it as much as any other.
  if (sorting || !fileList.empty()) DrawFolderTools();
  // The history stays while it holds records, also on the last file and after it.
  if (!fileList.empty() || !history.Empty()) {
    if (HistoryRecord* undo = history.Draw()) Undo(*undo);
  }
  if (RootPath().empty()) {
    HelpText(ICON_HELP
             " This section lets you classify your media. Pick a folder and the app parses only its top level (no "
             "subfolders).");
    ImGui::TextWrapped("%s",
        "From there, you can play / preview items, move them (create subfolders as needed), rename, or delete "
        "files, all within the folder.");
  }
}

void Classifier::DrawCurrentFile(float paneHeight) {
  const float width = ImGui::GetContentRegionAvail().x;
  // The pane scrolls when its rows do not fit (the rename row open at a
  // large size), so the folder buttons are always in reach.
  ImGui::BeginChild("##leftclassify", ImVec2(width * 0.5f, paneHeight), true,
                    kPaneFlags & ~ImGuiWindowFlags_NoScrollbar);
  TextKeepingItsEnd(CurrentText);
  const float rowTop = ImGui::GetCursorPosY();
  DrawActionRow();
  // The player's control row is one row high, however the actions wrapped.
  const float rowHeight = std::min(ImGui::GetCursorPosY() - rowTop, ImGui::GetFrameHeightWithSpacing());
  if (renaming) DrawRenameRow();
  ImGui::Separator();
  const std::string heading = ICON_FOLDER " Folders (" + std::to_string(folderList.size()) +
                              ") - Click on folder button below to move the file above inside it";
  ImGui::TextWrapped("%s", heading.c_str());
  foldersTop = ImGui::GetCursorPosY();
  const float foldersRoom = std::max(ImGui::GetContentRegionAvail().y, 2 * ImGui::GetFrameHeightWithSpacing());
  ImGui::BeginChild("##Folders", ImVec2(0, foldersRoom), false);
  DrawFolderButtons();
  ImGui::EndChild();
  ImGui::EndChild();

  ImGui::SameLine();
  ImGui::BeginChild("##rightClassifier", ImVec2(ImGui::GetContentRegionAvail().x, paneHeight), true, kPaneFlags);
  Player.DrawPanel(kClassifierTab, rowHeight);
  ImGui::EndChild();
}

void Classifier::DrawActionRow() {
  if (ShortcutButton(ICON_PLAY " Play", '1')) Player.Play(CurrentPath, kClassifierTab);
  // The row wraps where the pane is too narrow for it.
  if (!fileList.empty()) {
    SameLineIfFits(ButtonWidth(ICON_NEXT_FILE " Next File"));
    if (TintedButton(ICON_NEXT_FILE " Next File", kNextHue, '2')) {
      NextFile();
      return;
    }
  }
  SameLineIfFits(ButtonWidth(ICON_REVEAL " Show In Explorer"));
  if (TintedButton(ICON_REVEAL " Show In Explorer", kRevealHue, '3')) ShowInExplorer(CurrentPath);
  SameLineIfFits(ButtonWidth(ICON_DELETE " Delete File"));
  if (TintedButton(ICON_DELETE " Delete File", kDeleteHue, '4')) {
    DeleteCurrent();
    return;
  }
  SameLineIfFits(ButtonWidth(ICON_RENAME " Rename File"));
  if (TintedButton(ICON_RENAME " Rename File", kRenameHue, '5')) BeginRenaming();
}

void Classifier::DrawRenameRow() {
  ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x * 0.5f);
  // The box opens with the keyboard and the whole name selected: typing
  // replaces it, Enter applies.
  ImGuiInputTextFlags flags = ImGuiInputTextFlags_EnterReturnsTrue;
  if (std::exchange(renameBoxWantsFocus, false)) {
    ImGui::SetKeyboardFocusHere();
    flags |= ImGuiInputTextFlags_AutoSelectAll;
  }
  GlyphDemand::Note(renameBuffer);
  ImGui::PushID(renameBoxes);
  const bool entered = ImGui::InputText("##Rename", renameBuffer, sizeof renameBuffer, flags);
  ImGui::PopID();
  ObserveLastItem("##Rename");
  SameLineIfFits(ButtonWidth(ICON_APPLY " Apply Renaming"));
  const bool apply = ShortcutButton(ICON_APPLY " Apply Renaming", kNoKey);
  SameLineIfFits(ButtonWidth(ICON_CANCEL " Cancel Renaming"));
  if (ShortcutButton(ICON_CANCEL " Cancel Renaming", kNoKey)) {
    renaming = false;
    return;
  }
  if (entered || apply) Rename();
  if (renaming && !renameRefused.empty()) {
    ImGui::PushTextWrapPos(0.0f);  // the rules are long, and the pane half the window
    StatusText("cannot rename: " + renameRefused, Tone::Problem);
    ImGui::PopTextWrapPos();
  }
}

void Classifier::DrawFolderButtons() {
  const size_t rootTextLength = RootText().size();
  const ImGuiStyle& style = ImGui::GetStyle();
  bool firstOnRow = true;
  std::string moveTo;
  for (size_t i = 0; i < folderList.size(); ++i) {
    const std::string text = ToUtf8(folderList[i]);
    const std::string label = FolderLabel(text, rootTextLength);
    if (label.empty() || label[0] == '.') continue;
    if (folderFilter.IsActive() && !FilterPasses(folderFilter, text.c_str())) continue;
    // Flow layout: a button that does not fit on this row starts the next.
    const float buttonWidth = ImGui::CalcTextSize(label.c_str(), nullptr, false).x + style.FramePadding.x * 2;
    if (!firstOnRow) {
      ImGui::SameLine();
      if (buttonWidth + style.ItemInnerSpacing.x > ImGui::GetContentRegionAvail().x) ImGui::NewLine();
    }
    firstOnRow = false;
    ImGui::PushID(static_cast<int>(i));
    if (TintedTextButton(label, kFolderHue, text)) moveTo = folderList[i];
    ImGui::PopID();
  }
  if (!moveTo.empty()) MoveToFolder(moveTo);
}

void Classifier::DrawFolderTools() {
  if (!scanner.scanning) {
    if (TintedButton(ICON_RESCAN " Re-Scan Folders", kToolHue, kNoKey)) {
      folderList.clear();
      sortedFolderCount = 0;
      scanner.Start(RootPath(), true);  // the files to sort stay as they are
    }
    SameLineIfFits(ButtonWidth(ICON_CREATE_FOLDER " Create Folder:"));
  }
  if (TintedButton(ICON_CREATE_FOLDER " Create Folder:", kToolHue, kNoKey)) CreateFolder();
  // The filter box keeps room for a few words, else starts a new line.
  const ImGuiStyle& style = ImGui::GetStyle();
  SameLineIfFits(ButtonWidth(ICON_CLEAR) + style.ItemSpacing.x + 12 * ImGui::GetFontSize());
  FilterRow(folderFilter, ICON_FOLDER " Folder Name - Filter(include, -exclude)", "##folderFilter",
            style.ScrollbarSize + style.ItemSpacing.x);
}

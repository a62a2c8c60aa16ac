#include "kit/folder_chooser.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "kit/glyph_demand.h"
#include "kit/gui_thread.h"
#include "kit/path_text.h"
#include "kit/text.h"
#include "kit/widgets.h"
#include "platform/home_folder.h"
#include "platform/path_syntax.h"
#include "platform/sub_folders.h"

namespace {

using platform::SubFolder;
using platform::SubFolders;

// A listing on its way, read off the GUI thread (a slow folder never
// holds up a frame) and posted to it. The reading thread is detached and
// shares this with the chooser: a folder that never answers (a dead
// network mount) holds neither a frame nor the program's exit.
struct PendingListing {
  bool done = false;  // GUI thread only
  SubFolders listing;
};

std::shared_ptr<PendingListing> StartListing(const std::string& folder) {
  auto pending = std::make_shared<PendingListing>();
  try {
    std::thread([pending, folder] {
      GuiThread::Post([pending, listing = platform::ListSubFolders(folder)]() mutable {
        pending->listing = std::move(listing);
        pending->done = true;
      });
    }).detach();
  } catch (const std::system_error&) {  // no thread to be had: read it here
    pending->listing = platform::ListSubFolders(folder);
    pending->done = true;
  }
  return pending;
}

struct ChooserState {
  bool wanted = false;  // opened, not yet answered
  bool popupOpened = false;
  std::string title;
  platform::FolderChosen onChosen;
  std::string folder;
  std::vector<SubFolder> subFolders;
  int selected = -1;
  char pathText[4096] = "";
  bool pathTextReplaced = false;  // pathText set since the text box last drew
  bool textEdited = false;        // the user typed since the text was last set
  std::string problem;            // why the last Select or Enter did nothing
  std::shared_ptr<PendingListing> pending;  // the listing on its way
  // Select was pressed on a typed path: chosen once its listing says it is
  // a folder.
  bool chooseWhenListed = false;
};
ChooserState chooser;

constexpr char kNoSuchFolder[] = "No such folder";

void SetPathText(const std::string& text) {
  text.copy(chooser.pathText, sizeof chooser.pathText - 1);
  chooser.pathText[std::min(text.size(), sizeof chooser.pathText - 1)] = '\0';
  chooser.pathTextReplaced = true;
  chooser.textEdited = false;
}

// A text box being edited shows its own copy of the text: a path set while
// it has the keyboard (a listing that came late) is put into that copy, or
// the box would go on showing, and on leaving write back, the old text.
int TextBoxCallback(ImGuiInputTextCallbackData* data) {
  if (data->EventFlag == ImGuiInputTextFlags_CallbackEdit) {
    chooser.textEdited = true;
    chooser.problem.clear();
  } else if (chooser.pathTextReplaced) {
    chooser.pathTextReplaced = false;
    data->DeleteChars(0, data->BufTextLen);
    data->InsertChars(0, chooser.pathText);
  }
  return 0;
}

// Starts reading the folder; it is shown once its listing has come.
void ShowFolder(const std::string& folder) {
  chooser.problem.clear();
  chooser.textEdited = false;  // what was typed is being acted on; its result may replace it
  chooser.pending = StartListing(folder);  // a superseded listing reads on, unseen
}

void Answer(std::optional<std::string> folder);

// Takes a listing that has come. A folder that cannot be read leaves the
// chooser where it was, with the text as typed and a word why.
void TakeListing() {
  if (!chooser.pending || !chooser.pending->done) return;
  SubFolders listing = std::move(chooser.pending->listing);
  chooser.pending.reset();
  const bool choose = std::exchange(chooser.chooseWhenListed, false);
  if (choose && listing.isFolder) {
    Answer(listing.folder);
    return;
  }
  if (!listing.readable && !chooser.folder.empty()) {
    chooser.problem = kNoSuchFolder;
    return;
  }
  if (choose) chooser.problem = kNoSuchFolder;  // before the first listing: the typed path was no folder
  chooser.folder = std::move(listing.folder);
  chooser.subFolders = std::move(listing.entries);
  chooser.selected = -1;
  // What the user has begun to type meanwhile stays.
  if (!chooser.textEdited) SetPathText(chooser.folder);
}

void Answer(std::optional<std::string> folder) {
  chooser.wanted = false;
  chooser.popupOpened = false;
  chooser.chooseWhenListed = false;
  chooser.pending.reset();
  chooser.problem.clear();
  if (ImGui::GetCurrentContext() && ImGui::GetTopMostPopupModal()) ImGui::CloseCurrentPopup();
  auto onChosen = std::move(chooser.onChosen);
  chooser.onChosen = nullptr;
  if (onChosen) onChosen(std::move(folder));
}

// What the text box names: the folder typed, or nothing (with the reason
// shown) when it is not a full path.
std::optional<std::string> TypedFolder() {
  auto typed = NormalFullPath(chooser.pathText);
  if (!typed) chooser.problem = std::string("Type a full path, starting with ") + platform::FullPathStart();
  return typed;
}

void DrawRows(std::string& enter) {
  // Only the rows in view are drawn; names are drawn as text, never read
  // as labels ("a##b" shows as it is).
  ImGuiListClipper clipper;
  clipper.Begin(static_cast<int>(chooser.subFolders.size()));
  while (clipper.Step()) {
    for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
      const SubFolder& row = chooser.subFolders[static_cast<size_t>(i)];
      ImGui::PushID(i);
      const std::string name = ToUtf8(row.name);
      const std::string shown = row.isLink ? name + "  (link)" : name;
      const ImVec2 labelAt = ImGui::GetCursorScreenPos();  // where the row's label would go
      if (ImGui::Selectable("##folder", chooser.selected == i, ImGuiSelectableFlags_AllowDoubleClick)) {
        chooser.selected = i;
        SetPathText(JoinPath(chooser.folder, row.name));  // Select takes the row clicked
        if (ImGui::IsMouseDoubleClicked(0)) enter = JoinPath(chooser.folder, row.name);
      }
      GlyphDemand::Note(shown);
      ImGui::GetWindowDrawList()->AddText(labelAt, ImGui::GetColorU32(ImGuiCol_Text), shown.c_str());
      ObserveLastItem(name.c_str());
      ImGui::PopID();
    }
  }
  if (chooser.subFolders.empty() && !chooser.pending && !chooser.folder.empty())
    ImGui::TextDisabled("(no sub-folders)");
}

}  // namespace

void OpenFolderChooser(const std::string& title, platform::FolderChosen onChosen) {
  chooser.wanted = true;
  chooser.popupOpened = false;
  chooser.title = title;
  chooser.onChosen = std::move(onChosen);
  chooser.folder.clear();
  chooser.subFolders.clear();
  chooser.selected = -1;
  chooser.chooseWhenListed = false;
  SetPathText("");
  const std::string home = platform::HomeFolder();
  ShowFolder(NormalFullPath(home).value_or(home));
}

void CancelFolderChooser() {
  if (chooser.wanted) Answer(std::nullopt);
}

void DrawFolderChooser() {
  if (!chooser.wanted) return;
  const std::string popupName = chooser.title + "##FolderChooser";
  if (!chooser.popupOpened) {
    ImGui::OpenPopup(popupName.c_str());
    chooser.popupOpened = true;
  }
  const ImGuiViewport* viewport = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(viewport->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
  ImGui::SetNextWindowSize(ImVec2(viewport->WorkSize.x * 0.6f, viewport->WorkSize.y * 0.7f), ImGuiCond_Appearing);
  if (!ImGui::BeginPopupModal(popupName.c_str(), nullptr, ImGuiWindowFlags_NoSavedSettings)) return;

  TakeListing();
  if (ShortcutButton("Up", kNoKey)) {
    // Up from what the text box shows (typed, or the folder shown).
    const auto typed = NormalFullPath(chooser.pathText);
    const std::string from = typed ? *typed : chooser.folder;
    if (!from.empty() && !IsRoot(from)) ShowFolder(ParentFolder(from));
  }
  ImGui::SameLine();
  ImGui::SetNextItemWidth(-1);
  if (ImGui::IsWindowAppearing()) ImGui::SetKeyboardFocusHere();  // a path can be typed at once
  bool select = false;
  GlyphDemand::Note(chooser.pathText);
  const bool entered = ImGui::InputText(
      "##ChooserPath", chooser.pathText, sizeof chooser.pathText,
      ImGuiInputTextFlags_EnterReturnsTrue | ImGuiInputTextFlags_CallbackAlways | ImGuiInputTextFlags_CallbackEdit,
      TextBoxCallback);
  if (!ImGui::IsItemActive()) chooser.pathTextReplaced = false;  // drawn from pathText itself
  ObserveLastItem("##ChooserPath");
  if (entered) {
    // Enter goes to the folder typed; Enter on the folder shown chooses it.
    if (const auto typed = TypedFolder()) {
      if (*typed == chooser.folder) {
        select = true;
      } else {
        ShowFolder(*typed);
      }
    }
    ImGui::SetKeyboardFocusHere(-1);
  }
  if (!chooser.problem.empty()) ImGui::TextColored(ImVec4(1.0f, 0.45f, 0.4f, 1.0f), "%s", chooser.problem.c_str());

  const float footer = ImGui::GetFrameHeightWithSpacing() + ImGui::GetStyle().ItemSpacing.y;
  ImGui::BeginChild("##ChooserFolders", ImVec2(0, -footer), true);
  std::string enter;
  DrawRows(enter);
  ImGui::EndChild();
  if (!enter.empty()) ShowFolder(enter);

  select = ShortcutButton("Select", kNoKey) || select;
  ImGui::SameLine();
  const bool cancel = ShortcutButton("Cancel", kNoKey) || ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape));
  if (select) {
    // What the text box names: the folder shown, a row clicked, or a folder
    // typed (chosen once its listing says it is one). Nothing else is
    // chosen: a mistyped path must not start a walk somewhere else.
    if (const auto typed = TypedFolder()) {
      if (*typed == chooser.folder) {
        Answer(*typed);
      } else {
        ShowFolder(*typed);
        chooser.chooseWhenListed = true;
      }
    }
  } else if (cancel) {
    Answer(std::nullopt);
  }
  ImGui::EndPopup();
}

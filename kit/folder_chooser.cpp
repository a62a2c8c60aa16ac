#include "kit/folder_chooser.h"

#include <imgui.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "kit/text.h"
#include "kit/widgets.h"
#include "platform/folder_listing.h"

namespace {

// A folder's sub-folders (names, sorted), read off the GUI thread: a slow
// folder never holds up a frame. Links are not followed.
struct Listing {
  std::filesystem::path folder;
  std::vector<std::string> names;
  bool isFolder = false;  // the path names a folder (through links)
  bool readable = false;
};

Listing ReadListing(std::filesystem::path folder) {
  Listing listing;
  listing.folder = std::move(folder);
  std::error_code error;
  listing.isFolder = std::filesystem::is_directory(listing.folder, error);
  for (std::filesystem::directory_iterator it(listing.folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code ignored;
    if (it->symlink_status(ignored).type() == std::filesystem::file_type::directory) listing.names.push_back(name);
  }
  listing.readable = !error || !listing.names.empty();
  std::sort(listing.names.begin(), listing.names.end());
  return listing;
}

// A listing on its way. The reading thread is detached and shares this with
// the chooser: a folder that never answers (a dead network mount) holds
// neither a frame nor the program's exit.
struct PendingListing {
  std::atomic<bool> done{false};
  Listing listing;
};

std::shared_ptr<PendingListing> StartListing(const std::filesystem::path& folder) {
  auto pending = std::make_shared<PendingListing>();
  try {
    std::thread([pending, folder] {
      pending->listing = ReadListing(folder);
      pending->done.store(true, std::memory_order_release);
    }).detach();
  } catch (const std::system_error&) {  // no thread to be had: read it here
    pending->listing = ReadListing(folder);
    pending->done.store(true, std::memory_order_release);
  }
  return pending;
}

struct ChooserState {
  bool wanted = false;  // opened, not yet answered
  bool popupOpened = false;
  std::string title;
  platform::FolderChosen onChosen;
  std::filesystem::path folder;
  std::vector<std::string> subFolders;
  int selected = -1;
  char pathText[4096] = "";
  bool pathTextReplaced = false;  // pathText set since the text box last drew
  std::shared_ptr<PendingListing> pending;  // the listing on its way
  // Select was pressed on a typed path: chosen once its listing says it is
  // a folder, else the folder shown (or its selected sub-folder).
  bool chooseWhenListed = false;
};
ChooserState chooser;

// Typed or picked paths are taken absolute and normal ("." and ".."
// resolved, no trailing "/"); anything else is refused.
std::optional<std::filesystem::path> Normal(const std::filesystem::path& typed) {
  if (!typed.is_absolute()) return std::nullopt;
  std::filesystem::path normal = typed.lexically_normal();
  if (!normal.has_filename() && normal != normal.root_path()) normal = normal.parent_path();
  return normal;
}

void SetPathText(const std::string& text) {
  text.copy(chooser.pathText, sizeof chooser.pathText - 1);
  chooser.pathText[std::min(text.size(), sizeof chooser.pathText - 1)] = '\0';
  chooser.pathTextReplaced = true;
}

// A text box being edited shows its own copy of the text: a path set while
// it has the keyboard (a listing that came late) is put into that copy, or
// the box would go on showing, and on leaving write back, the old text.
int ReplaceLiveText(ImGuiInputTextCallbackData* data) {
  if (chooser.pathTextReplaced) {
    chooser.pathTextReplaced = false;
    data->DeleteChars(0, data->BufTextLen);
    data->InsertChars(0, chooser.pathText);
  }
  return 0;
}

// Starts reading the folder; it is shown once its listing has come.
void ShowFolder(const std::filesystem::path& wanted) {
  const auto folder = Normal(wanted);
  if (!folder) {
    SetPathText(chooser.folder.string());  // a relative path is refused
    return;
  }
  chooser.pending = StartListing(*folder);  // a superseded listing reads on, unseen
}

// The folder shown, or its selected sub-folder.
std::filesystem::path ShownChoice() {
  std::filesystem::path chosen = chooser.folder;
  if (chooser.selected >= 0) chosen /= chooser.subFolders[static_cast<size_t>(chooser.selected)];
  return chosen;
}

void Answer(std::optional<std::string> folder);

// Takes a listing that has come; an unreadable folder leaves the chooser
// where it was (except at the start, when there is nowhere else).
void TakeListing() {
  if (!chooser.pending || !chooser.pending->done.load(std::memory_order_acquire)) return;
  Listing listing = std::move(chooser.pending->listing);
  chooser.pending.reset();
  if (chooser.chooseWhenListed) {
    chooser.chooseWhenListed = false;
    const std::filesystem::path chosen = listing.isFolder ? listing.folder : ShownChoice();
    if (!chosen.empty()) {  // before the first listing, only a typed folder
      Answer(chosen.string());
      return;
    }
  }
  if (!listing.readable && !chooser.folder.empty()) {
    SetPathText(chooser.folder.string());
    return;
  }
  chooser.folder = std::move(listing.folder);
  chooser.subFolders = std::move(listing.names);
  chooser.selected = -1;
  SetPathText(chooser.folder.string());
}

void Answer(std::optional<std::string> folder) {
  chooser.wanted = false;
  chooser.popupOpened = false;
  chooser.chooseWhenListed = false;
  chooser.pending.reset();
  ImGui::CloseCurrentPopup();
  auto onChosen = std::move(chooser.onChosen);
  chooser.onChosen = nullptr;
  if (onChosen) onChosen(std::move(folder));
}

}  // namespace

void OpenFolderChooser(const std::string& title, platform::FolderChosen onChosen) {
  chooser.wanted = true;
  chooser.popupOpened = false;
  chooser.title = title;
  chooser.onChosen = std::move(onChosen);
  chooser.folder.clear();
  chooser.subFolders.clear();
  ShowFolder(platform::HomeFolder());
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
    const auto typed = Normal(chooser.pathText);
    const std::filesystem::path from = typed ? *typed : chooser.folder;
    if (from.has_relative_path()) ShowFolder(from.parent_path());
  }
  ImGui::SameLine();
  ImGui::SetNextItemWidth(-1);
  if (ImGui::IsWindowAppearing()) ImGui::SetKeyboardFocusHere();  // a path can be typed at once
  bool chooseShown = false;
  const bool entered = ImGui::InputText("##ChooserPath", chooser.pathText, sizeof chooser.pathText,
                                        ImGuiInputTextFlags_EnterReturnsTrue | ImGuiInputTextFlags_CallbackAlways,
                                        ReplaceLiveText);
  if (!ImGui::IsItemActive()) chooser.pathTextReplaced = false;  // drawn from pathText itself
  ObserveLastItem("##ChooserPath");
  if (entered) {
    // Enter goes to the folder typed; Enter on the folder shown chooses it.
    if (Normal(chooser.pathText) == chooser.folder) {
      chooseShown = true;
    } else {
      ShowFolder(chooser.pathText);
      ImGui::SetKeyboardFocusHere(-1);
    }
  }

  const float footer = ImGui::GetFrameHeightWithSpacing() + ImGui::GetStyle().ItemSpacing.y;
  ImGui::BeginChild("##ChooserFolders", ImVec2(0, -footer), true);
  std::string enter;
  // Only the rows in view are drawn; names are drawn as text, never read
  // as labels ("a##b" shows as it is).
  ImGuiListClipper clipper;
  clipper.Begin(static_cast<int>(chooser.subFolders.size()));
  while (clipper.Step()) {
    for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
      ImGui::PushID(i);
      const std::string name = ToUtf8(chooser.subFolders[static_cast<size_t>(i)]);
      const ImVec2 labelAt = ImGui::GetCursorScreenPos();  // where the row's label would go
      if (ImGui::Selectable("##folder", chooser.selected == i, ImGuiSelectableFlags_AllowDoubleClick)) {
        chooser.selected = i;
        if (ImGui::IsMouseDoubleClicked(0)) enter = chooser.subFolders[static_cast<size_t>(i)];
      }
      ImGui::GetWindowDrawList()->AddText(labelAt, ImGui::GetColorU32(ImGuiCol_Text), name.c_str());
      ObserveLastItem(name.c_str());
      ImGui::PopID();
    }
  }
  ImGui::EndChild();
  if (!enter.empty()) ShowFolder(chooser.folder / enter);

  const bool select = ShortcutButton("Select", kNoKey) || chooseShown;
  ImGui::SameLine();
  const bool cancel = ShortcutButton("Cancel", kNoKey) || ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape));
  if (select) {
    // What the text box shows when the user typed a folder that exists
    // (known once its listing has come); else the folder shown, or its
    // selected sub-folder.
    const auto typed = Normal(chooser.pathText);
    if (typed && *typed != chooser.folder) {
      ShowFolder(*typed);
      chooser.chooseWhenListed = true;
    } else if (const auto chosen = ShownChoice(); !chosen.empty()) {
      Answer(chosen.string());
    }
  } else if (cancel) {
    Answer(std::nullopt);
  }
  ImGui::EndPopup();
}

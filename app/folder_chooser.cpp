#include "app/folder_chooser.h"

#include <imgui.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "app/text.h"
#include "app/widgets.h"

namespace {

struct ChooserState {
  bool wanted = false;  // opened, not yet answered
  bool popupOpened = false;
  std::string title;
  platform::FolderChosen onChosen;
  std::filesystem::path folder;
  std::vector<std::string> subFolders;  // names, sorted
  int selected = -1;
  char pathText[4096] = "";
};
ChooserState chooser;

void ShowFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::vector<std::string> names;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code ignored;
    if (it->is_directory(ignored)) names.push_back(name);
  }
  if (error && names.empty() && folder != chooser.folder && !chooser.folder.empty()) return;  // stay where we were
  std::sort(names.begin(), names.end());
  chooser.folder = folder;
  chooser.subFolders = std::move(names);
  chooser.selected = -1;
  const std::string text = folder.string();
  text.copy(chooser.pathText, sizeof chooser.pathText - 1);
  chooser.pathText[std::min(text.size(), sizeof chooser.pathText - 1)] = '\0';
}

void Answer(std::optional<std::string> folder) {
  chooser.wanted = false;
  chooser.popupOpened = false;
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
  const char* home = std::getenv("HOME");
  chooser.folder.clear();
  ShowFolder(home && home[0] == '/' ? home : "/");
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

  if (ShortcutButton("Up", kNoKey) && chooser.folder.has_parent_path()) ShowFolder(chooser.folder.parent_path());
  ImGui::SameLine();
  ImGui::SetNextItemWidth(-1);
  if (ImGui::IsWindowAppearing()) ImGui::SetKeyboardFocusHere();  // a path can be typed at once
  bool chooseShown = false;
  if (ImGui::InputText("##ChooserPath", chooser.pathText, sizeof chooser.pathText,
                       ImGuiInputTextFlags_EnterReturnsTrue)) {
    // Enter goes to the folder typed; Enter on the folder shown chooses it.
    if (std::filesystem::path(chooser.pathText) == chooser.folder) {
      chooseShown = true;
    } else {
      ShowFolder(chooser.pathText);
      ImGui::SetKeyboardFocusHere(-1);
    }
  }

  const float footer = ImGui::GetFrameHeightWithSpacing() + ImGui::GetStyle().ItemSpacing.y;
  ImGui::BeginChild("##ChooserFolders", ImVec2(0, -footer), true);
  std::string enter;
  for (int i = 0; i < static_cast<int>(chooser.subFolders.size()); ++i) {
    ImGui::PushID(i);
    if (ImGui::Selectable(ToUtf8(chooser.subFolders[i]).c_str(), chooser.selected == i,
                          ImGuiSelectableFlags_AllowDoubleClick)) {
      chooser.selected = i;
      if (ImGui::IsMouseDoubleClicked(0)) enter = chooser.subFolders[i];
    }
    ImGui::PopID();
  }
  ImGui::EndChild();
  if (!enter.empty()) ShowFolder(chooser.folder / enter);

  const bool select = ShortcutButton("Select", kNoKey) || chooseShown;
  ImGui::SameLine();
  const bool cancel = ShortcutButton("Cancel", kNoKey) || ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape));
  if (select) {
    std::filesystem::path chosen = chooser.folder;
    if (chooser.selected >= 0) chosen /= chooser.subFolders[static_cast<size_t>(chooser.selected)];
    Answer(chosen.string());
  } else if (cancel) {
    Answer(std::nullopt);
  }
  ImGui::EndPopup();
}

#include "views/settings_tab.h"

#include <imgui.h>

#include "kit/icons.h"
#include "kit/settings.h"
#include "kit/tab_base.h"
#include "kit/widgets.h"
#include "platform/trash.h"

namespace {

void DrawFontsSection() {
  ImGui::TextUnformatted(ICON_FONTS "Fonts");
  static const char* const labels[6] = {"X-Small", "Small", "Medium", "Large", "X-Large", "XX-Large"};
  for (int i = 0; i < 6; ++i) {
    if (ShortcutButton(labels[i], kNoKey)) SaveFontSize(i);
    if (i < 5) ImGui::SameLine();
  }
}

void DrawScrollbarSection() {
  ImGui::TextUnformatted(ICON_SCROLLBAR "Scrollbar size");
  static const char* const labels[4] = {"X-Small", "Small", "Medium", "Large"};
  static const float sizes[4] = {12.0f, 16.0f, 20.0f, 24.0f};
  for (int i = 0; i < 4; ++i) {
    if (ShortcutButton(labels[i], kNoKey)) SaveScrollbarSize(sizes[i]);
    if (i < 3) ImGui::SameLine();
  }
}

void DrawOptionsSection() {
  ImGui::TextUnformatted(ICON_OPTIONS "Options");
  if (WrappedCheckbox("Deletes files, and replaces files of the same name, immediately without showing a "
                      "confirmation dialog. Use with care",
                      &SkipConfirmations))
    SaveSkipMessageBoxPopup();
  const std::string toTrash = std::string("Move deleted files to the ") + platform::TrashName();
  if (WrappedCheckbox(toTrash.c_str(), &MoveDeletedFilesToTrash)) SaveMoveDeletedFilesToTrash();
}

}  // namespace

void SettingsView::Draw() {
  void (*const sections[3])() = {DrawFontsSection, DrawScrollbarSection, DrawOptionsSection};
  for (int i = 1; i <= 3; ++i) {
    ImGui::BeginGroup();
    ImGui::PushID(i);
    sections[i - 1]();
    ImGui::NewLine();
    ImGui::PopID();
    ImGui::EndGroup();
  }
}

#include "kit/widgets.h"

#include <imgui_internal.h>

#include <cmath>
#include <cstdio>

#include "kit/frame_clock.h"
#include "kit/frame_demand.h"
#include "kit/glyph_demand.h"
#include "kit/icons.h"
#include "kit/text.h"
#include "platform/file_operations.h"
#include "platform/input.h"

namespace {

ItemObserver* observer = nullptr;

bool TextFieldHasKeyboard() {
  const ImGuiContext& g = *GImGui;
  return g.ActiveId != 0 && g.ActiveId == g.InputTextState.ID;
}

bool IsDigitKey(int virtualKey) { return virtualKey >= 0x30 && virtualKey <= 0x39; }

}  // namespace

void SetItemObserver(ItemObserver* newObserver) { observer = newObserver; }

void ObserveLastItem(const char* label) {
  if (observer) observer->OnItem(label, ImGui::GetItemRectMin(), ImGui::GetItemRectMax());
}

bool KeyWentDown(int virtualKey) {
  const int index = platform::KeyIndexForVirtualKey(virtualKey);
  if (index < 0 || index >= IM_ARRAYSIZE(ImGuiIO::KeysDown)) return false;
  if (IsDigitKey(virtualKey) && TextFieldHasKeyboard()) return false;
  // Under a modal window (the folder chooser) no shortcut reaches the tabs.
  if (ImGui::GetTopMostPopupModal() != nullptr) return false;
  const ImGuiIO& io = ImGui::GetIO();
  // Zero on the first frame of a press only; the window holds back a release
  // that comes in the same frame, so even a quick tap has that frame.
  return io.KeysDownDuration[index] == 0.0f;
}

bool TabItemWithKey(int index, const char* label, bool forceSelect) {
  const bool open = ImGui::BeginTabItem(label, nullptr, forceSelect ? ImGuiTabItemFlags_SetSelected : 0);
  ObserveLastItem(label);
  if (ImGui::IsItemHovered()) ImGui::SetTooltip("[F%d] %s", index + 1, label);
  return open;
}

bool ShortcutButton(const char* label, int virtualKey, const char* action) {
  bool pressed = ImGui::Button(label);
  ObserveLastItem(label);
  const char* tip = action ? action : label;
  if (virtualKey == kNoKey) {
    if (action && ImGui::IsItemHovered()) ImGui::SetTooltip("%s", tip);
    return pressed;
  }
  if (virtualKey >= 0 && virtualKey < 512 && KeyWentDown(virtualKey)) pressed = true;
  if (ImGui::IsItemHovered()) ImGui::SetTooltip("[%c] %s", static_cast<char>(virtualKey), tip);
  return pressed;
}

bool TintedButton(const char* label, float hue, int virtualKey, const char* action) {
  ImGui::PushStyleColor(ImGuiCol_Button, static_cast<ImVec4>(ImColor::HSV(hue, 0.6f, 0.6f)));
  ImGui::PushStyleColor(ImGuiCol_ButtonHovered, static_cast<ImVec4>(ImColor::HSV(hue, 0.7f, 0.7f)));
  ImGui::PushStyleColor(ImGuiCol_ButtonActive, static_cast<ImVec4>(ImColor::HSV(hue, 0.8f, 0.8f)));
  const bool pressed = ShortcutButton(label, virtualKey, action);
  ImGui::PopStyleColor(3);
  return pressed;
}

bool TintedTextButton(const std::string& text, float hue) {
  const ImGuiStyle& style = ImGui::GetStyle();
  const ImVec2 textSize = ImGui::CalcTextSize(text.c_str(), nullptr, false);
  if (ImGui::IsRectVisible(textSize)) GlyphDemand::Note(text);  // buttons scrolled away keep no glyphs
  ImGui::PushStyleColor(ImGuiCol_Button, static_cast<ImVec4>(ImColor::HSV(hue, 0.6f, 0.6f)));
  ImGui::PushStyleColor(ImGuiCol_ButtonHovered, static_cast<ImVec4>(ImColor::HSV(hue, 0.7f, 0.7f)));
  ImGui::PushStyleColor(ImGuiCol_ButtonActive, static_cast<ImVec4>(ImColor::HSV(hue, 0.8f, 0.8f)));
  const ImVec2 at = ImGui::GetCursorScreenPos();
  const bool pressed =
      ImGui::Button("##text", ImVec2(textSize.x + 2 * style.FramePadding.x, textSize.y + 2 * style.FramePadding.y));
  ImGui::GetWindowDrawList()->AddText(ImVec2(at.x + style.FramePadding.x, at.y + style.FramePadding.y),
                                      ImGui::GetColorU32(ImGuiCol_Text), text.c_str());
  ImGui::PopStyleColor(3);
  ObserveLastItem(text.c_str());
  return pressed;
}

void BusySpinner() {
  FrameDemand::Next();  // it turns
  static const char* const frames[8] = {ICON_HOURGLASS_EMPTY,  ICON_HOURGLASS_TOP,    ICON_HOURGLASS_BOTTOM,
                                        ICON_HOURGLASS_FULL,   ICON_HOURGLASS_FULL,   ICON_HOURGLASS_BOTTOM,
                                        ICON_HOURGLASS_TOP,    ICON_HOURGLASS_EMPTY};
  const float hue = static_cast<float>(std::fmod(ElapsedSeconds, 1.0));
  const auto frame = static_cast<long long>(ElapsedSeconds * 16.0) % 8;
  TintedButton(frames[frame], hue, kNoKey);
}

void StatusText(const std::string& text, Tone tone) {
  const ImVec4 colour = tone == Tone::Problem ? ImVec4(1.0f, 0.36f, 0.32f, 1.0f)
                                              : ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled);
  ImGui::PushStyleColor(ImGuiCol_Text, colour);
  ImGui::TextUnformatted(text.c_str());
  ImGui::PopStyleColor();
}

void DrawRowNote(const RowNote& note) {
  StatusText(note.text, note.problem ? Tone::Problem : Tone::Quiet);
  ImGui::SameLine();
}

void LinkMark(const std::string& path) {
  StatusText("[link]", Tone::Quiet);
  ObserveLastItem("[link]");
  if (!ImGui::IsItemHovered()) return;
  // Read when asked: a hover is rare, a walk of every link is not.
  const std::string target = OneLine(ToUtf8(platform::LinkTarget(path)));
  GlyphDemand::Note(target);
  ImGui::SetTooltip("%s", ("Link to " + target).c_str());
}

void TextWithTooltipWhenCut(const std::string& shown) {
  const std::string text = OneLine(shown);
  GlyphDemand::Note(text);
  ImGui::TextUnformatted(text.c_str());
  ObserveLastItem(text.c_str());
  const bool cut = ImGui::GetItemRectMax().x > ImGui::GetWindowPos().x + ImGui::GetWindowContentRegionMax().x;
  if (!cut || !ImGui::IsItemHovered()) return;
  ImGui::BeginTooltip();
  ImGui::PushTextWrapPos(ImGui::GetIO().DisplaySize.x * 0.6f);
  ImGui::TextUnformatted(text.c_str());  // never formatted: a path may be 4,095 bytes
  ImGui::PopTextWrapPos();
  ImGui::EndTooltip();
}

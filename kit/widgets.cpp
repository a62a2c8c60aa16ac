#include "kit/widgets.h"

#include <imgui_internal.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

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

// Byte offset where the longest end of `text` that fits `room` after the
// cut mark starts. Widths only shrink as the start moves right, so a binary
// search over the characters' starts finds it.
size_t EndThatFits(const std::string& text, float room, float markWidth) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
  size_t low = 0, high = starts.size();  // starts[high] (or the end) always fits
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    if (markWidth + ImGui::CalcTextSize(text.c_str() + starts[middle], nullptr, false).x <= room) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return high < starts.size() ? starts[high] : text.size();
}

constexpr char kCutMark[] = "...";

// The cut mark and the longest end of `text` that fits `room` after it.
std::string EndAfterCutMark(const std::string& text, float room) {
  const float markWidth = ImGui::CalcTextSize(kCutMark).x;
  return kCutMark + text.substr(EndThatFits(text, room, markWidth));
}

void TooltipText(const std::string& text) {
  const std::string shown = OneLine(text);
  GlyphDemand::Note(shown);
  ImGui::BeginTooltip();
  ImGui::PushTextWrapPos(ImGui::GetIO().DisplaySize.x * 0.6f);
  ImGui::TextUnformatted(shown.c_str());  // never formatted: a path may be 4,095 bytes
  ImGui::PopTextWrapPos();
  ImGui::EndTooltip();
}

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

bool WrappedCheckbox(const char* label, bool* value) {
  ImGui::PushID(label);
  bool changed = ImGui::Checkbox("##box", value);
  ImGui::PopID();
  ImGui::SameLine();
  ImGui::PushTextWrapPos(0.0f);
  ImGui::TextUnformatted(label);
  ImGui::PopTextWrapPos();
  ObserveLastItem(label);
  if (ImGui::IsItemClicked()) {
    *value = !*value;
    changed = true;
  }
  return changed;
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

bool TintedTextButton(const std::string& text, float hue, const std::string& whole) {
  const ImGuiStyle& style = ImGui::GetStyle();
  // A label longer than the pane is wide keeps its end, whole on hover.
  const float room = ImGui::GetContentRegionAvail().x - 2 * style.FramePadding.x;
  std::string shown = text;
  if (ImGui::CalcTextSize(text.c_str(), nullptr, false).x > room) shown = EndAfterCutMark(text, room);
  const ImVec2 textSize = ImGui::CalcTextSize(shown.c_str(), nullptr, false);
  if (ImGui::IsRectVisible(textSize)) GlyphDemand::Note(shown);  // buttons scrolled away keep no glyphs
  ImGui::PushStyleColor(ImGuiCol_Button, static_cast<ImVec4>(ImColor::HSV(hue, 0.6f, 0.6f)));
  ImGui::PushStyleColor(ImGuiCol_ButtonHovered, static_cast<ImVec4>(ImColor::HSV(hue, 0.7f, 0.7f)));
  ImGui::PushStyleColor(ImGuiCol_ButtonActive, static_cast<ImVec4>(ImColor::HSV(hue, 0.8f, 0.8f)));
  const ImVec2 at = ImGui::GetCursorScreenPos();
  const bool pressed =
      ImGui::Button("##text", ImVec2(textSize.x + 2 * style.FramePadding.x, textSize.y + 2 * style.FramePadding.y));
  ImGui::GetWindowDrawList()->AddText(ImVec2(at.x + style.FramePadding.x, at.y + style.FramePadding.y),
                                      ImGui::GetColorU32(ImGuiCol_Text), shown.c_str());
  ImGui::PopStyleColor(3);
  ObserveLastItem(text.c_str());
  if (shown.size() != text.size() && ImGui::IsItemHovered()) TooltipText(whole.empty() ? text : whole);
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

float ButtonWidth(const char* label) {
  // Raised to a whole pixel, as the right-aligned buttons are placed.
  return std::floor(ImGui::CalcTextSize(label, nullptr, true).x + 0.99999f) + 2 * ImGui::GetStyle().FramePadding.x;
}

void SameLineIfFits(float nextWidth) {
  ImGui::SameLine();
  if (nextWidth > ImGui::GetContentRegionAvail().x) ImGui::NewLine();
}

bool RowEndButton(const char* label, float hue, const char* action) {
  ImGui::SameLine();
  ImGui::SetCursorPosX(ImGui::GetCursorPosX() + std::max(0.0f, ImGui::GetContentRegionAvail().x - ButtonWidth(label)));
  return TintedButton(label, hue, kNoKey, action);
}

const char* RowEndLabel(const char* label, const char* icon, float reserved) {
  const float room = ImGui::GetContentRegionAvail().x - reserved - ButtonWidth(label);
  return room >= 16 * ImGui::GetFontSize() ? label : icon;
}


void TextKeepingItsEnd(const std::string& head, const std::string& tail, const std::string& whole, float reserve) {
  const std::string shownHead = OneLine(head);
  const std::string shownTail = OneLine(tail);
  const float room = ImGui::GetContentRegionAvail().x - reserve;
  const float headWidth = ImGui::CalcTextSize(shownHead.c_str(), nullptr, false).x;
  const bool cut = headWidth + ImGui::CalcTextSize(shownTail.c_str(), nullptr, false).x > room;
  const std::string text = shownHead + (cut ? EndAfterCutMark(shownTail, room - headWidth) : shownTail);
  GlyphDemand::Note(text);
  ImGui::TextUnformatted(text.c_str());  // never formatted: a path may be 4,095 bytes
  // Found by what it says in full, cut or not.
  ObserveLastItem(cut ? (shownHead + shownTail).c_str() : text.c_str());
  // Made UTF-8 only when shown: rows hand in file-system paths as they are.
  if (cut && ImGui::IsItemHovered()) TooltipText(ToUtf8(whole));
}

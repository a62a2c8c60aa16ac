#include "kit/settings.h"

#include <imgui.h>

#include <cstdlib>

#include "kit/fonts.h"
#include "platform/settings_store.h"

std::string ReadSettingText(const std::string& name) {
  std::string text = platform::ReadStoredValue(name);
  return text.empty() ? "0" : text;
}

void WriteSettingDword(const std::string& name, uint32_t value) {
  platform::WriteStoredValue(name, std::to_string(value));  // a failed write is lost silently
}

// The stored number, as the 32-bit value a registry DWORD would hold.
static uint32_t StoredNumber(const std::string& text) {
  return static_cast<uint32_t>(std::atol(text.c_str()));
}

int FontSizeIndexFromText(const std::string& text) {
  const uint32_t v = StoredNumber(text);
  return v < 6 ? static_cast<int>(v) : 2;
}

float ScrollbarSizeFromText(const std::string& text) {
  const uint32_t v = StoredNumber(text);  // a negative number is huge, so 24
  if (v < 12) return 12.0f;
  if (v > 24) return 24.0f;
  return static_cast<float>(v);
}

bool SkipConfirmationsFromText(const std::string& text) { return StoredNumber(text) != 0; }

// Anything but a number (never stored, or garbled) keeps the files safe.
bool MoveToTrashFromText(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return true;
  const size_t digit = text[first] == '-' || text[first] == '+' ? first + 1 : first;
  if (digit >= text.size() || text[digit] < '0' || text[digit] > '9') return true;
  return StoredNumber(text) != 0;
}

float LoadScrollbarSize() { return ScrollbarSizeFromText(ReadSettingText("ScrollbarSize")); }

void SaveScrollbarSize(float size) {
  ImGui::GetStyle().ScrollbarSize = size;
  WriteSettingDword("ScrollbarSize", static_cast<uint32_t>(size));
}

void LoadSkipMessageBoxPopup() { SkipConfirmations = SkipConfirmationsFromText(ReadSettingText("SkipMessageBoxPopup")); }

void SaveSkipMessageBoxPopup() { WriteSettingDword("SkipMessageBoxPopup", SkipConfirmations ? 1 : 0); }

// Read without the "0" of a missing value: never stored means on.
void LoadMoveDeletedFilesToTrash() {
  MoveDeletedFilesToTrash = MoveToTrashFromText(platform::ReadStoredValue("MoveDeletedFilesToTrash"));
}

void SaveMoveDeletedFilesToTrash() {
  WriteSettingDword("MoveDeletedFilesToTrash", MoveDeletedFilesToTrash ? 1 : 0);
}

void SaveFontSize(int index) {
  FontSizeRequested = index;
  WriteSettingDword("FontSize", static_cast<uint32_t>(index));
}

#pragma once
// The three user settings: font size, scrollbar size, and whether to ask
// before destructive file actions. Read at start, written the moment they
// change.
#include <cstdint>
#include <string>

// True: delete and overwrite without asking (the Options checkbox).
inline bool SkipConfirmations = false;
// True: deleted files, and files an overwrite replaces, go to the desktop's
// trash; false: they are gone for good. On unless the user turned it off.
inline bool MoveDeletedFilesToTrash = true;

// The stored text of a value; "0" when it is missing or unreadable.
std::string ReadSettingText(const std::string& name);
void WriteSettingDword(const std::string& name, uint32_t value);

// The read rules, from the stored text.
int FontSizeIndexFromText(const std::string& text);    // 0..5, else 2
float ScrollbarSizeFromText(const std::string& text);  // clamped to 12..24
bool SkipConfirmationsFromText(const std::string& text);
bool MoveToTrashFromText(const std::string& text);  // true unless a number 0

float LoadScrollbarSize();
void SaveScrollbarSize(float size);  // applies to the live style at once
void LoadSkipMessageBoxPopup();
void SaveSkipMessageBoxPopup();
void LoadMoveDeletedFilesToTrash();
void SaveMoveDeletedFilesToTrash();
void SaveFontSize(int index);  // the frame loop rebuilds the fonts after the frame

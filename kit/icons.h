#pragma once
// Icon glyphs of the icon font (Private Use Area), written in UTF-8 at the
// start of a label: ICON_PLAY " Play". Only the code points listed in
// kIconCodePoints are put into the font atlas; a test checks that every icon
// written anywhere in the sources is listed here.
#include <array>

// Tabs
#define ICON_VIEWER_TAB "\uF1C5"
#define ICON_CLASSIFIER_TAB "\uE86E"
#define ICON_SIMILARITY_TAB "\uF8B4"
#define ICON_GROUPING_TAB "\uEA21"
#define ICON_SETTINGS_TAB "\uE8B8"
#define ICON_ABOUT_TAB "\uE8FD"
// Busy spinner (hourglass frames)
#define ICON_HOURGLASS_EMPTY "\uEBFF"
#define ICON_HOURGLASS_TOP "\uEA5B"
#define ICON_HOURGLASS_BOTTOM "\uEA5C"
#define ICON_HOURGLASS_FULL "\uE88C"
// Scan row and help
#define ICON_STOP_SCANNING "\uE047"
#define ICON_SCAN_ROOT "\uF74E"
#define ICON_HELP "\uE873"
// Settings and About
#define ICON_FONTS "\uE245"
#define ICON_SCROLLBAR "\uE233"
#define ICON_OPTIONS "\uE8A4"
#define ICON_WEBSITE "\uE051"
#define ICON_TWINSIFT_WEBSITE "\uE2C5"
// Viewer
#define ICON_FILE_COUNT "\uE896"
#define ICON_ROOT_PATH "\uE2C8"
#define ICON_NEXT_FILE "\uE044"
#define ICON_REVEAL "\uF4C9"
#define ICON_PLAY_RANDOM "\uE043"
#define ICON_CLEAR "\uE5CD"
#define ICON_FILTER "\uE8B3"
// Classifier and its history
#define ICON_FOLDER "\uE2C7"
#define ICON_DELETE "\uE92E"
#define ICON_RENAME "\uE9A2"
#define ICON_APPLY "\uE5CA"
#define ICON_CANCEL "\uE888"
#define ICON_RESCAN "\uF775"
#define ICON_CREATE_FOLDER "\uE2CC"
#define ICON_UNDO "\uE166"
#define ICON_MOVED "\uF1FF"
// Grouping
#define ICON_THRESHOLD "\uEB9F"
#define ICON_PLUS "\uE145"
#define ICON_MINUS "\uE15B"
// Player panel
#define ICON_PAUSE "\uE034"
#define ICON_PLAY "\uE037"
#define ICON_VOLUME_OFF "\uE04E"
#define ICON_VOLUME_ON "\uE050"
#define ICON_SOUND_ONLY "\uE405"

inline constexpr std::array<unsigned, 42> kIconCodePoints = {
    0xF1C5, 0xE86E, 0xF8B4, 0xEA21, 0xE8B8, 0xE8FD,  // tabs
    0xEBFF, 0xEA5B, 0xEA5C, 0xE88C,                  // spinner
    0xE047, 0xF74E, 0xE873,                          // scan row, help
    0xE245, 0xE233, 0xE8A4, 0xE051, 0xE2C5,          // settings, about, web links
    0xE034, 0xE037, 0xE04E, 0xE050, 0xE405,          // player panel
    0xE896, 0xE2C8, 0xE044, 0xF4C9, 0xE043, 0xE5CD, 0xE8B3,  // viewer
    0xE2C7, 0xE92E, 0xE9A2, 0xE5CA, 0xE888, 0xF775, 0xE2CC, 0xE166, 0xF1FF,  // classifier, history
    0xEB9F, 0xE145, 0xE15B,  // grouping
};

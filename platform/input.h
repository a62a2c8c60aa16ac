#pragma once
// Keyboard shortcuts are named by Windows virtual-key codes in the tabs;
// each back end maps them to the index it uses in ImGuiIO::KeysDown.

namespace platform {

// Index into ImGuiIO::KeysDown / KeysDownDuration for a virtual-key code
// ('0'..'9' = 0x30..0x39, F1..F12 = 0x70..0x7B); -1 when the key is unmapped.
int KeyIndexForVirtualKey(int virtualKey);

}  // namespace platform

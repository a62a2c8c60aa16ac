#pragma once
// The main window's handle, for the services that need an owner for what
// they show (dialogs, message boxes) or a target to post to; nullptr until
// the window exists (headless runs have none).
#include <windows.h>

namespace platform {

HWND MainWindowHandle();
void SetMainWindowHandle(HWND window);

}  // namespace platform

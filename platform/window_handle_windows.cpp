#include "platform/window_handle_windows.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<HWND> mainWindow{nullptr};
}

HWND MainWindowHandle() { return mainWindow.load(); }
void SetMainWindowHandle(HWND window) { mainWindow.store(window); }

}  // namespace platform

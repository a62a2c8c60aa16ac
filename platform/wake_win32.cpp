// A wake-up is a message posted to the GUI thread's queue: the frame
// loop's wait (MsgWaitForMultipleObjects) ends on it, and the drain
// takes it as any other.
#include <windows.h>

#include <atomic>

#include "platform/wake.h"
#include "platform/wake_message_windows.h"

namespace platform {
namespace {
std::atomic<DWORD> guiThread{0};  // 0 until the window's events run
}

void EnableWakeUps() { guiThread.store(GetCurrentThreadId()); }

void WakeMainLoop() {
  const DWORD thread = guiThread.load();
  if (thread != 0) PostThreadMessageW(thread, kWakeMessage, 0, 0);
}

}  // namespace platform

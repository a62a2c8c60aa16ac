#pragma once
// The message that wakes the frame loop; the window's drain drops it.
#include <windows.h>

namespace platform {

inline constexpr UINT kWakeMessage = WM_APP + 1;

}  // namespace platform

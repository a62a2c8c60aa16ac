#pragma once
// Frame time shared by every tab, and the flag that ends background walks.
#include <atomic>

// The GUI's delta time of the frame just drawn, in seconds.
inline float LastFrameDelta = 0.0f;
// Sum of every LastFrameDelta since start; drives hue cycling and spinners.
inline double ElapsedSeconds = 0.0;
// Set once the frame loop has ended; folder walks stop at their next entry.
inline std::atomic<bool> AppExiting{false};

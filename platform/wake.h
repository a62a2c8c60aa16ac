#pragma once
// Waking the frame loop from another thread: a worker that hands something
// to the GUI thread (a window title) wakes a loop that waits for events.
namespace platform {

// Once the window's events run (before that, waking does nothing).
void EnableWakeUps();
// Any thread.
void WakeMainLoop();

}  // namespace platform

#pragma once
// The one program window with its drawing context and the GUI library's
// platform and renderer back ends.
#include <cstdint>
#include <string>

namespace platform {

struct WindowIcon {
  const uint8_t* rgba = nullptr;  // 8-bit RGBA rows, width * 4 bytes apart
  int width = 0;
  int height = 0;
};

// Creates the window (hidden) and its drawing context. False when no
// context can be made; everything created so far is released again.
bool CreateMainWindow(const std::string& title, int x, int y, int width, int height, WindowIcon icon);
// Why the last CreateMainWindow failed, in the system's words.
std::string WhyNoMainWindow();
// What the window draws with ("OpenGL 3"), for that message.
const char* DrawingName();
void ShowMainWindowMaximised();
// Needs a current GUI context.
bool InitGuiBackends();
void ShutdownGuiBackends();
void DestroyMainWindow();

// Why the program is asked to end: the user closed the window, or it was
// told to end from outside (SIGINT, SIGTERM, the session ending).
enum class QuitRequest { None, WindowClosed, Ended };
// Drains every pending event into the GUI; says whether an end was asked for.
QuitRequest PumpEvents();
// Whether the last PumpEvents delivered anything (input, window changes,
// wake-ups).
bool LastPumpHadEvents();
// Key changes held back for the next drain (they need a frame each).
bool KeysHeldBack();
// Waits until an event is pending or the time is up; true for an event.
bool WaitForEvent(double seconds);
bool MainWindowMinimised();

void BeginGuiFrame();
// Makes the renderer's font texture again from the refilled font atlas.
void InvalidateRendererObjects();
// Draws the GUI's draw data over the clear colour and presents, paced by
// the vertical blank (or to about 60 a second where there is none).
void RenderAndPresent(const float clearColour[4]);

void SetMainWindowTitle(const std::string& title);

}  // namespace platform

#pragma once
// The program's window with its GUI: what the program, and the test and
// benchmark hosts that show one piece of it, open and close alike.
#include <string>

#include "app/frame.h"

// Frames drawn into the window and presented.
class WindowFrameBackend final : public FrameBackend {
 public:
  void InvalidateRenderer() override;
  void BeginFrame() override;
  void Present() override;
};

// Creates the window (with the embedded icon), the GUI context with the
// program's style and fonts, and the GUI back ends; false (nothing left
// open) when no drawing context can be made. The window shows maximised.
bool OpenGuiWindow(const std::string& title, float scrollbarSize);
// Back ends, GUI context and window, in that order.
void CloseGuiWindow();

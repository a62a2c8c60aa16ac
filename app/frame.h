#pragma once
// One pass of the frame loop, shared by the real window and the headless
// test driver: font rebuild protocol, GUI frame, main window, frame time.
#include "app/main_window.h"

class FrameBackend {
 public:
  virtual ~FrameBackend() = default;
  // Makes the renderer's font texture again from the refilled atlas.
  virtual void InvalidateRenderer() = 0;
  // Renderer then platform new frame; the renderer makes missing objects,
  // building the font atlas.
  virtual void BeginFrame() = 0;
  // Draws the finished GUI frame and presents it.
  virtual void Present() = 0;
};

// draw builds the GUI of the frame: the program's main window, or a test
// host's own.
void RunFrame(FrameBackend& backend, void (*draw)() = DrawMainWindow);

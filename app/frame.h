#pragma once
// One pass of the frame loop, shared by the real window and the headless
// test driver: font rebuild protocol, GUI frame, main window, frame time.

class FrameBackend {
 public:
  virtual ~FrameBackend() = default;
  // Drops the renderer's objects (the font texture among them).
  virtual void InvalidateRenderer() = 0;
  // Renderer then platform new frame; the renderer makes missing objects,
  // building the font atlas.
  virtual void BeginFrame() = 0;
  // Draws the finished GUI frame and presents it.
  virtual void Present() = 0;
};

void RunFrame(FrameBackend& backend);

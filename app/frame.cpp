#include "app/frame.h"

#include <imgui.h>

#include "kit/fonts.h"
#include "kit/frame_clock.h"
#include "kit/frame_demand.h"
#include "kit/gui_thread.h"
#include "app/main_window.h"

void RunFrame(FrameBackend& backend, void (*draw)()) {
  // The atlas was refilled after the last frame: have the renderer make the
  // font texture again before this frame needs it.
  if (FontRebuildPending) {
    FontRebuildPending = false;
    backend.InvalidateRenderer();
  }
  // What the workers handed over since the last frame.
  GuiThread::RunPosted();
  backend.BeginFrame();
  ImGui::NewFrame();
  draw();
  LastFrameDelta = ImGui::GetIO().DeltaTime;
  ElapsedSeconds += LastFrameDelta;
  ImGui::Render();
  backend.Present();
  // The atlas is locked during the frame, so a new size and the glyphs of
  // newly shown characters join it after the frame.
  if (RefreshFontsBetweenFrames(ElapsedSeconds)) {
    FontRebuildPending = true;
    FrameDemand::Next();  // the next frame shows them
  }
}

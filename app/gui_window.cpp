#include "app/gui_window.h"

#include <imgui.h>

#include <cstdio>

#include "kit/fonts.h"
#include "kit/program_icon.h"
#include "kit/style.h"
#include "platform/window.h"

namespace {
constexpr float kClearColour[4] = {0.1125f, 0.1375f, 0.15f, 1.0f};
}

void WindowFrameBackend::InvalidateRenderer() { platform::InvalidateRendererObjects(); }
void WindowFrameBackend::BeginFrame() { platform::BeginGuiFrame(); }
void WindowFrameBackend::Present() { platform::RenderAndPresent(kClearColour); }

bool OpenGuiWindow(const std::string& title, float scrollbarSize) {
  const ProgramIconPixels& icon = ProgramIcon();
  const bool created = platform::CreateMainWindow(title, 100, 100, 1280, 800,
                                                  {icon.rgba.empty() ? nullptr : icon.rgba.data(), icon.width, icon.height});
  if (!created) {
    std::fprintf(stderr, "%s: no window with %s drawing can be opened on this display (%s)\n", title.c_str(),
                 platform::DrawingName(), platform::WhyNoMainWindow().c_str());
    return false;
  }
  platform::ShowMainWindowMaximised();
  ImGui::CreateContext();
  ApplyStyle(scrollbarSize);
  if (!platform::InitGuiBackends()) {
    std::fprintf(stderr, "%s: the window's GUI could not be set up on this display\n", title.c_str());
    ImGui::DestroyContext();
    platform::DestroyMainWindow();
    return false;
  }
  LoadFonts();
  return true;
}

void CloseGuiWindow() {
  platform::ShutdownGuiBackends();
  ImGui::DestroyContext();
  platform::DestroyMainWindow();
}

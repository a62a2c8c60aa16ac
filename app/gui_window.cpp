#include "app/gui_window.h"

#include <imgui.h>
#include <stb/stb_image.h>

#include <cstdio>

#include "kit/embedded_data.h"
#include "kit/fonts.h"
#include "kit/style.h"
#include "platform/window.h"

namespace {
constexpr float kClearColour[4] = {0.1125f, 0.1375f, 0.15f, 1.0f};
}

void WindowFrameBackend::InvalidateRenderer() { platform::InvalidateRendererObjects(); }
void WindowFrameBackend::BeginFrame() { platform::BeginGuiFrame(); }
void WindowFrameBackend::Present() { platform::RenderAndPresent(kClearColour); }

bool OpenGuiWindow(const std::string& title, float scrollbarSize) {
  const EmbeddedBytes png = IconPngBytes();
  int width = 0, height = 0, channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(png.data, static_cast<int>(png.size), &width, &height, &channels, 4);
  const bool created = platform::CreateMainWindow(title, 100, 100, 1280, 800, {pixels, width, height});
  stbi_image_free(pixels);
  if (!created) {
    std::fprintf(stderr, "%s: no window with OpenGL 3 drawing can be opened on this display (%s)\n", title.c_str(),
                 platform::WhyNoMainWindow().c_str());
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

#include "app/app.h"

#include <imgui.h>
#include <stb/stb_image.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "app/about_tab.h"
#include "app/embedded_data.h"
#include "app/fonts.h"
#include "app/frame.h"
#include "app/frame_clock.h"
#include "app/settings.h"
#include "app/style.h"
#include "app/tab_base.h"
#include "platform/process.h"
#include "platform/window.h"
#include "player/media_player.h"

namespace {

constexpr float kClearColour[4] = {0.1125f, 0.1375f, 0.15f, 1.0f};
constexpr auto kMinimisedSleep = std::chrono::milliseconds(64);

class WindowFrameBackend final : public FrameBackend {
 public:
  void InvalidateRenderer() override { platform::InvalidateRendererObjects(); }
  void BeginFrame() override { platform::BeginGuiFrame(); }
  void Present() override { platform::RenderAndPresent(kClearColour); }
};

bool CreateWindowWithIcon() {
  const EmbeddedBytes png = IconPngBytes();
  int width = 0, height = 0, channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(png.data, static_cast<int>(png.size), &width, &height, &channels, 4);
  const bool created = platform::CreateMainWindow("Sortiq", 100, 100, 1280, 800, {pixels, width, height});
  stbi_image_free(pixels);
  return created;
}

void InitApp() {
  platform::ShowMainWindowMaximised();
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  ImGui::CreateContext();
  ApplyStyle(LoadScrollbarSize());
  platform::InitGuiBackends();
  LoadFonts();
  LoadSkipMessageBoxPopup();
}

void ShutdownApp() {
  ReleaseAboutIcon();
  Player.Unload();
  platform::ShutdownGuiBackends();
  ImGui::DestroyContext();
  platform::DestroyMainWindow();
  // Walks stop at their next entry now that AppExiting is set.
  for (Base* tab : TabRegistry()) tab->scanner.Join();
}

}  // namespace

int RunApp() {
  if (!CreateWindowWithIcon()) return 1;
  InitApp();
  WindowFrameBackend backend;
  for (;;) {
    const bool quit = platform::PumpEvents();
    platform::PollProcesses();
    if (quit) break;
    if (platform::MainWindowMinimised()) std::this_thread::sleep_for(kMinimisedSleep);
    RunFrame(backend);
  }
  AppExiting = true;
  ShutdownApp();
  return 0;
}

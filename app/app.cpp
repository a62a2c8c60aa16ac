#include "app/app.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "kit/frame_clock.h"
#include "app/gui_window.h"
#include "app/main_window.h"
#include "kit/settings.h"
#include "app/tabs.h"
#include "platform/process.h"
#include "platform/window.h"
#include "player/media_player.h"

namespace {

constexpr auto kMinimisedSleep = std::chrono::milliseconds(64);

void InitApp() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));  // the Viewer's random pick
  LoadSkipMessageBoxPopup();
  InitMainWindow();
}

void ShutdownApp() {
  for (const TabEntry& tab : Tabs()) tab.view.ReleaseGraphics();
  Player.Unload();
  CloseGuiWindow();
  // Walks stop at their next entry now that AppExiting is set.
  for (const TabEntry& tab : Tabs()) tab.view.Shutdown();
}

}  // namespace

int RunApp() {
  if (!OpenGuiWindow("Sortiq", LoadScrollbarSize())) return 1;
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

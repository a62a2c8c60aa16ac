#include "app/app.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "app/gui_window.h"
#include "app/main_window.h"
#include "app/tabs.h"
#include "kit/file_commands.h"
#include "kit/frame_clock.h"
#include "kit/settings.h"
#include "platform/process.h"
#include "platform/window.h"
#include "player/media_player.h"

namespace {

constexpr auto kMinimisedSleep = std::chrono::milliseconds(64);

void InitApp() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));  // the Viewer's random pick
  LoadSkipMessageBoxPopup();
  InitMainWindow();
  Commands::Async::Start();
}

// Moves and deletions first: a request in hand is finished, the rest
// dropped. Then the window, and last the walks (each stops at its next
// entry now that AppExiting is set, and waits for nothing but itself, so
// the order of the joins does not matter).
void ShutdownApp() {
  Commands::Async::Stop();
  for (const TabEntry& tab : Tabs()) tab.view.ReleaseGraphics();
  Player.Unload();
  CloseGuiWindow();
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
    // The delete worker names the file it deletes; window calls belong here.
    if (auto title = Commands::Async::TakeTitle()) platform::SetMainWindowTitle(*title);
  }
  AppExiting = true;
  ShutdownApp();
  return 0;
}

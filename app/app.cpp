#include "app/app.h"

#include <imgui.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "app/frame_scheduler.h"
#include "app/gui_window.h"
#include "app/main_window.h"
#include "app/tabs.h"
#include "kit/background_release.h"
#include "kit/file_commands.h"
#include "kit/fonts.h"
#include "kit/glyph_supply.h"
#include "kit/frame_clock.h"
#include "kit/frame_demand.h"
#include "kit/settings.h"
#include "kit/text.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "platform/window.h"
#include "player/media_player.h"

namespace {

constexpr auto kMinimisedSleep = std::chrono::milliseconds(64);

// The program's workers, stopped and joined in this order. The glyph
// worker is told first and joined after the file workers, by when it has
// put down the character in hand; moves and deletions: a request in hand
// is finished, the rest dropped; what waits to be freed is freed.
void StopWorkers() {
  GlyphSupply::RequestStop();
  Commands::Async::Stop();
  StopGlyphWork();
  BackgroundRelease::Stop();
}

void InitApp() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));  // the Viewer's random pick
  LoadSkipMessageBoxPopup();
  LoadMoveDeletedFilesToTrash();
  InitMainWindow();
  Commands::Async::Start();
  BackgroundRelease::Start();
  // A program ended by exit() (the display library's answer to a lost
  // connection) joins the workers on its way out, before the statics they
  // use are destroyed, instead of aborting on running threads.
  static const bool stopAtExit = std::atexit(StopWorkers) == 0;
  (void)stopAtExit;
}

// The workers first; then the window (after the workers, which wake it),
// and last the walks (each stops at its next entry now that AppExiting is
// set, and waits for nothing but itself, so the order of the joins does
// not matter).
void ShutdownApp() {
  StopWorkers();
  for (const TabEntry& tab : Tabs()) tab.view.ReleaseGraphics();
  Player.Unload();
  CloseGuiWindow();
  for (const TabEntry& tab : Tabs()) tab.view.Shutdown();
}

// The window was closed with moves or deletions not finished: finish them
// first (the window goes on and closes when they are done), or quit now
// (those not begun stay undone; the one in hand ends with its file where
// it was). Enter, Escape and closing the box finish them.
bool FinishBeforeQuitting(int32_t pending) {
  const std::string question = pending == 1 ? std::string("1 file operation is not finished yet.")
                                            : CountText(static_cast<uint64_t>(pending)) +
                                                  " file operations are not finished yet.";
  return platform::Shell().AskChoice(question, "Sortiq", {"Finish them", "Quit now"}, 0) == 0;
}

std::string FinishingTitle(int32_t pending) {
  return "Sortiq: finishing " + CountText(static_cast<uint64_t>(pending)) +
         (pending == 1 ? " file operation" : " file operations");
}

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// Waits until the next frame is due: for input, a wake-up, a frame asked
// for, or a helper program that ends (polled meanwhile; one still running
// draws no frame).
void WaitForNextFrame(const FrameScheduler& scheduler) {
  for (double wait = scheduler.WaitSeconds(Now()); wait > 0; wait = scheduler.WaitSeconds(Now())) {
    const bool helpers = platform::ProcessesRunning();
    if (platform::WaitForEvent(helpers ? std::min(wait, FrameScheduler::kHelperPoll) : wait)) return;
    if (helpers && platform::PollProcesses()) return;
  }
}

}  // namespace

int RunApp() {
  if (!OpenGuiWindow("Sortiq", LoadScrollbarSize())) return 1;
  InitApp();
  WindowFrameBackend backend;
  FrameScheduler scheduler;
  // Every frame drawn, as a reference for measuring what waiting saves.
  const bool fullRate = std::getenv("SORTIQ_FULL_RATE") != nullptr;
  bool finishing = false;  // closing once the file operations are done
  int32_t titleCount = -1;
  for (;;) {
    if (!fullRate) WaitForNextFrame(scheduler);
    const platform::QuitRequest quit = platform::PumpEvents();
    platform::PollProcesses();
    // Told to end from outside: at once, as Quit now would.
    if (quit == platform::QuitRequest::Ended) break;
    if (quit == platform::QuitRequest::WindowClosed) {
      const int32_t pending = Commands::Async::Pending();
      if (pending == 0 || !FinishBeforeQuitting(pending)) break;
      finishing = true;
    }
    if (finishing && Commands::Async::Pending() == 0) break;
    if (platform::LastPumpHadEvents()) scheduler.EventsSeen(Now());
    if (platform::MainWindowMinimised()) std::this_thread::sleep_for(kMinimisedSleep);
    RunFrame(backend);
    // The delete worker names the file it deletes (window calls belong
    // here); while finishing before closing, the title counts down.
    if (auto title = Commands::Async::TakeTitle(); title && !finishing) platform::SetMainWindowTitle(*title);
    if (finishing && Commands::Async::Pending() != titleCount) {
      titleCount = Commands::Async::Pending();
      platform::SetMainWindowTitle(FinishingTitle(titleCount));
    }
    // A text box's caret blinks; a key held down repeats.
    const ImGuiIO& io = ImGui::GetIO();
    if (io.WantTextInput) FrameDemand::Within(0.4);
    if (std::any_of(std::begin(io.KeysDown), std::end(io.KeysDown), [](bool down) { return down; }))
      FrameDemand::Next();
    scheduler.FrameDrawn(Now(), {FrameDemand::Take(), platform::KeysHeldBack()});
  }
  AppExiting = true;
  ShutdownApp();
  return 0;
}

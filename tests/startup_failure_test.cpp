// The program's own start and end over a window back end that does what
// a test tells it: a display that cannot give the program its window or
// its GUI (it ends with 1 and says why, and leaves nothing open), and a
// window closed while file operations are not finished.
#include <gtest/gtest.h>
#include <imgui.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "app/app.h"
#include "kit/file_commands.h"
#include "platform/window.h"
#include "scripted_shell.h"
#include "temp_tree.h"
#include "test_system.h"

namespace {
struct StubWindow {
  bool failWindow = false;
  bool failGui = false;
  bool windowOpen = false;
  int framesDrawn = 0;
  std::function<platform::QuitRequest()> pump = [] { return platform::QuitRequest::Ended; };
  std::vector<std::string> titles;
} stub;
}  // namespace

namespace platform {
bool CreateMainWindow(const std::string&, int, int, int, int, WindowIcon) {
  stub.windowOpen = !stub.failWindow;
  return stub.windowOpen;
}
std::string WhyNoMainWindow() { return "GLX is not supported"; }
void ShowMainWindowMaximised() {}
bool InitGuiBackends() { return !stub.failGui; }
void ShutdownGuiBackends() {}
void DestroyMainWindow() { stub.windowOpen = false; }
QuitRequest PumpEvents() { return stub.pump(); }
bool LastPumpHadEvents() { return false; }
bool KeysHeldBack() { return false; }
bool WaitForEvent(double) { return true; }
bool MainWindowMinimised() { return false; }
void BeginGuiFrame() {
  ++stub.framesDrawn;
  ImGuiIO& io = ImGui::GetIO();
  io.DisplaySize = ImVec2(1280, 800);
  io.DeltaTime = 1.0f / 60;
  unsigned char* pixels = nullptr;
  int width = 0, height = 0;
  if (!io.Fonts->IsBuilt()) io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
}
void InvalidateRendererObjects() {}
void RenderAndPresent(const float*) {}
const char* DrawingName() { return "OpenGL 3"; }
void SetMainWindowTitle(const std::string& title) { stub.titles.push_back(title); }
}  // namespace platform

TEST(StartUp, NoWindowOrNoGuiEndsWithOneAndAReason) {
  struct Case {
    bool failWindow, failGui;
    const char* said;
  };
  for (const Case& c : {Case{true, false, "no window with OpenGL 3 drawing can be opened on this display "
                                          "(GLX is not supported)"},
                        Case{false, true, "the window's GUI could not be set up on this display"}}) {
    stub = StubWindow{};
    stub.failWindow = c.failWindow;
    stub.failGui = c.failGui;
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunApp(), 1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    EXPECT_FALSE(stub.windowOpen);  // nothing left open
    EXPECT_EQ(ImGui::GetCurrentContext(), nullptr);
    EXPECT_EQ(stub.framesDrawn, 0);
  }
}

// Closing the window while a copy onto another disk runs asks first:
// "Finish them" keeps the window until it is done, the title counting
// down; "Quit now" ends at once with the file where it was.
TEST(Ending, ClosingWithFileOperationsPendingFinishesThemOrQuitsNow) {
  namespace fs = std::filesystem;
  ScriptedShell shell;
  for (const int choice : {0, 1}) {
    TempTree tree;
    const fs::path big = MakeFolderOnAnotherDisk("sortiq-end-") / "big.mp4";
    std::ofstream(big, std::ios::binary) << std::string(64 << 20, 'b');
    const fs::path moved = tree.Root() / "big.mp4";
    stub = StubWindow{};
    bool closed = false;
    stub.pump = [&] {
      if (closed) return platform::QuitRequest::None;
      closed = true;
      Commands::Async::Move(PathText(big), PathText(moved));
      return platform::QuitRequest::WindowClosed;
    };
    shell.questions.clear();
    shell.choices = {choice};
    EXPECT_EQ(RunApp(), 0);
    ASSERT_EQ(shell.questions.size(), 1u);
    EXPECT_EQ(shell.questions[0], "1 file operation is not finished yet.|Sortiq|Finish them|Quit now");
    if (choice == 0) {
      EXPECT_EQ(fs::file_size(moved), static_cast<uintmax_t>(64 << 20));
      EXPECT_FALSE(fs::exists(big));
      ASSERT_FALSE(stub.titles.empty());
      EXPECT_EQ(stub.titles.front(), "Sortiq: finishing 1 file operation");
      EXPECT_EQ(Commands::Async::Pending(), 0);
    } else {
      EXPECT_EQ(fs::file_size(big), static_cast<uintmax_t>(64 << 20));
      EXPECT_FALSE(fs::exists(moved));
    }
    fs::remove_all(big.parent_path());
  }
}

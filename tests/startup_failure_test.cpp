// Start-up on a display that cannot give the program its window or its
// GUI: the program ends with 1 and says why, and leaves nothing open. The
// window back end is replaced by one that fails where told to.
#include <gtest/gtest.h>
#include <imgui.h>

#include "app/app.h"
#include "platform/window.h"

namespace {
struct StubWindow {
  bool failWindow = false;
  bool failGui = false;
  bool windowOpen = false;
  int framesDrawn = 0;
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
bool PumpEvents() { return true; }
bool LastPumpHadEvents() { return false; }
bool KeysHeldBack() { return false; }
bool WaitForEvent(double) { return true; }
bool MainWindowMinimised() { return false; }
void BeginGuiFrame() { ++stub.framesDrawn; }
void InvalidateRendererObjects() {}
void RenderAndPresent(const float*) {}
void SetMainWindowTitle(const std::string&) {}
}  // namespace platform

TEST(StartUp, NoWindowOrNoGuiEndsWithOneAndAReason) {
  struct Case {
    bool failWindow, failGui;
    const char* said;
  };
  for (const Case& c : {Case{true, false, "no window with OpenGL 3 drawing can be opened on this display "
                                          "(GLX is not supported)"},
                        Case{false, true, "the window's GUI could not be set up on this display"}}) {
    stub = StubWindow{c.failWindow, c.failGui};
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunApp(), 1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    EXPECT_FALSE(stub.windowOpen);  // nothing left open
    EXPECT_EQ(ImGui::GetCurrentContext(), nullptr);
    EXPECT_EQ(stub.framesDrawn, 0);
  }
}

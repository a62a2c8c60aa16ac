// Key presses through the real window's event drain: events pushed into
// SDL's queue, drained by the program's own pump, drawn by its frame loop.
// Every press of a shortcut counts, however quickly keys follow each other.
// Run on a virtual display by key_drain.sh.
#include <SDL.h>
#include <gtest/gtest.h>
#include <imgui.h>

#include "app/gui_window.h"
#include "kit/widgets.h"
#include "platform/window.h"

namespace {

int presses = 0;

void DrawButtons() {
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
  ImGui::Begin("##Keys", nullptr, ImGuiWindowFlags_NoDecoration);
  if (ShortcutButton("Next", '2')) ++presses;
  ImGui::End();
}

void Push(Uint32 type, SDL_Scancode key) {
  SDL_Event event{};
  event.type = type;
  event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.scancode = key;
  event.key.keysym.sym = SDL_GetKeyFromScancode(key);
  ASSERT_EQ(SDL_PushEvent(&event), 1);
}

class KeyDrain : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(OpenGuiWindow("Sortiq keys", 12.0f)); }
  static void TearDownTestSuite() { CloseGuiWindow(); }
  void SetUp() override {
    ImGui::GetIO().IniFilename = nullptr;
    Frames(3);
    presses = 0;
  }
  // As the program's loop does: drain, then draw one frame.
  void Frames(int count) {
    for (int i = 0; i < count; ++i) {
      platform::PumpEvents();
      RunFrame(backend, DrawButtons);
    }
  }
  WindowFrameBackend backend;
};

}  // namespace

// A slow frame: two whole presses of 2 wait in one drain.
TEST_F(KeyDrain, TwoTapsInOneDrainCountTwice) {
  for (int i = 0; i < 2; ++i) {
    Push(SDL_KEYDOWN, SDL_SCANCODE_2);
    Push(SDL_KEYUP, SDL_SCANCODE_2);
  }
  Frames(8);
  EXPECT_EQ(presses, 2);
}

// Press and release in one drain, then the next press in the next drain,
// where the first release is still on its way.
TEST_F(KeyDrain, TapsInConsecutiveDrainsCountEach) {
  for (int i = 0; i < 3; ++i) {
    Push(SDL_KEYDOWN, SDL_SCANCODE_2);
    Push(SDL_KEYUP, SDL_SCANCODE_2);
    Frames(1);
  }
  Frames(8);
  EXPECT_EQ(presses, 3);
}

// Held down with repeats: one press; other keys in between change nothing.
TEST_F(KeyDrain, AutoRepeatIsOnePress) {
  Push(SDL_KEYDOWN, SDL_SCANCODE_2);
  Frames(1);
  for (int i = 0; i < 5; ++i) {
    SDL_Event repeat{};
    repeat.type = SDL_KEYDOWN;
    repeat.key.state = SDL_PRESSED;
    repeat.key.repeat = 1;
    repeat.key.keysym.scancode = SDL_SCANCODE_2;
    SDL_PushEvent(&repeat);
    Push(SDL_KEYDOWN, SDL_SCANCODE_3);
    Push(SDL_KEYUP, SDL_SCANCODE_3);
    Frames(1);
  }
  Push(SDL_KEYUP, SDL_SCANCODE_2);
  Frames(4);
  EXPECT_EQ(presses, 1);
}

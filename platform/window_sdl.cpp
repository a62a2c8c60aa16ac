#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <algorithm>
#include <bitset>
#include <cmath>
#include <chrono>
#include <thread>
#include <vector>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>

#include "platform/texture.h"
#include "platform/wake.h"
#include "platform/window.h"

namespace platform {
namespace {

struct WindowState {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  bool backendsReady = false;
  bool vsync = false;  // the driver accepted a swap interval of 1
  // Key presses and releases waiting for a frame of their own.
  std::vector<SDL_Event> heldKeys;
  std::chrono::steady_clock::time_point lastPresent{};
  std::string whyNoWindow;  // what the system said when no window could be made
  bool pumpHadEvents = false;
};

WindowState state;

using Clock = std::chrono::steady_clock;
constexpr auto kFramePeriod = std::chrono::microseconds(16667);
constexpr auto kShortestRefresh = std::chrono::microseconds(6000);

}  // namespace

bool CreateMainWindow(const std::string& title, int x, int y, int width, int height, WindowIcon icon) {
  // The drawing must never stop for want of a sound device.
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
    state.whyNoWindow = SDL_GetError();
    return false;
  }
  // Without a display SDL may fall back to drivers that show nothing; a
  // window nobody can see is no window.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0) {
    state.whyNoWindow = std::string("only the invisible video driver ") + (driver ? driver : "(none)") + " is available";
    SDL_Quit();
    return false;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 2);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  const Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
  state.window = SDL_CreateWindow(title.c_str(), x, y, width, height, flags);
  if (!state.window) {
    state.whyNoWindow = SDL_GetError();
    SDL_Quit();
    return false;
  }
  state.context = SDL_GL_CreateContext(state.window);
  if (!state.context) {
    state.whyNoWindow = SDL_GetError();
    SDL_DestroyWindow(state.window);
    state.window = nullptr;
    SDL_Quit();
    return false;
  }
  SDL_GL_MakeCurrent(state.window, state.context);
  state.vsync = SDL_GL_SetSwapInterval(1) == 0;
  if (icon.rgba && icon.width > 0 && icon.height > 0) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(icon.rgba), icon.width,
                                                              icon.height, 32, icon.width * 4, SDL_PIXELFORMAT_RGBA32);
    if (surface) {
      SDL_SetWindowIcon(state.window, surface);
      SDL_FreeSurface(surface);
    }
  }
  return true;
}

std::string WhyNoMainWindow() { return state.whyNoWindow; }

const char* DrawingName() { return "OpenGL 3"; }

void ShowMainWindowMaximised() {
  SDL_ShowWindow(state.window);
  SDL_MaximizeWindow(state.window);
}

bool InitGuiBackends() {
  if (!ImGui_ImplSDL2_InitForOpenGL(state.window, state.context)) return false;
  if (!ImGui_ImplOpenGL3_Init("#version 150")) {
    ImGui_ImplSDL2_Shutdown();
    return false;
  }
  state.backendsReady = true;
  EnableWakeUps();
  return true;
}

void ShutdownGuiBackends() {
  if (!state.backendsReady) return;
  ImGui_ImplOpenGL3_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  state.backendsReady = false;
}

void DestroyMainWindow() {
  if (state.context) {
    FreeReleasedTextures();
    SDL_GL_DeleteContext(state.context);
  }
  if (state.window) SDL_DestroyWindow(state.window);
  state.context = nullptr;
  state.window = nullptr;
  SDL_Quit();
}

QuitRequest PumpEvents() {
  // The GUI library keeps only whether a key is down, so two changes of one
  // key in one frame (a quick tap, or a release and the next press) would
  // lose one. Each key changes at most once a frame: later changes of that
  // key wait, in order, for the next drains.
  std::bitset<SDL_NUM_SCANCODES> changed, waiting;
  std::vector<SDL_Event> stillHeld;
  bool quit = false, closed = false;
  const auto deliver = [&](SDL_Event& event) {
    if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
      const auto key = static_cast<size_t>(event.key.keysym.scancode);
      const bool change = !(event.type == SDL_KEYDOWN && event.key.repeat);
      if (key < SDL_NUM_SCANCODES && (waiting.test(key) || (change && changed.test(key)))) {
        waiting.set(key);
        stillHeld.push_back(event);
        return;
      }
      if (key < SDL_NUM_SCANCODES && change) changed.set(key);
    }
    ImGui_ImplSDL2_ProcessEvent(&event);
    if (event.type == SDL_QUIT) quit = true;
    if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE &&
        event.window.windowID == SDL_GetWindowID(state.window))
      closed = true;  // SDL follows it with a quit of its own
  };
  std::vector<SDL_Event> held;
  held.swap(state.heldKeys);
  state.pumpHadEvents = !held.empty();
  for (SDL_Event& event : held) deliver(event);
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    state.pumpHadEvents = true;
    deliver(event);
  }
  state.heldKeys = std::move(stillHeld);
  if (closed) return QuitRequest::WindowClosed;
  return quit ? QuitRequest::Ended : QuitRequest::None;
}

bool LastPumpHadEvents() { return state.pumpHadEvents; }

bool KeysHeldBack() { return !state.heldKeys.empty(); }

bool WaitForEvent(double seconds) {
  const int milliseconds = static_cast<int>(std::ceil(std::max(0.0, seconds) * 1000.0));
  return SDL_WaitEventTimeout(nullptr, milliseconds) == 1;
}

bool MainWindowMinimised() { return (SDL_GetWindowFlags(state.window) & SDL_WINDOW_MINIMIZED) != 0; }

void BeginGuiFrame() {
  ImGui_ImplOpenGL3_NewFrame();
  ImGui_ImplSDL2_NewFrame();
}

// Only the font texture is made again: dropping the renderer's shader as
// well leaves it restoring a deleted program after every draw, and nothing
// shows from then on.
void InvalidateRendererObjects() {
  ImGui_ImplOpenGL3_DestroyFontsTexture();
  ImGui_ImplOpenGL3_CreateFontsTexture();
}

void RenderAndPresent(const float clearColour[4]) {
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(state.window, &width, &height);
  glViewport(0, 0, width, height);
  glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
  glClear(GL_COLOR_BUFFER_BIT);
  ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
  SDL_GL_SwapWindow(state.window);
  FreeReleasedTextures();
  const auto now = Clock::now();
  // Vertical-blank waits keep frames at least one refresh apart (6.9 ms even
  // at 144 Hz). Frames that come faster mean the display does not pace us (a
  // virtual display, or vsync refused): pace to about 60 a second instead of
  // spinning.
  const auto interval = now - state.lastPresent;
  if (!state.vsync || interval < kShortestRefresh) {
    if (interval < kFramePeriod) std::this_thread::sleep_for(kFramePeriod - interval);
  }
  state.lastPresent = Clock::now();
}

void SetMainWindowTitle(const std::string& title) {
  if (state.window) SDL_SetWindowTitle(state.window, title.c_str());
}

}  // namespace platform

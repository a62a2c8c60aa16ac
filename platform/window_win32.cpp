// The program window on Windows: a Win32 window of class "Sortiq" with a
// Direct3D 11 swap chain, and the GUI library's Win32 and Direct3D 11 back
// ends. Closing the window is a request the program answers (it may ask
// about pending work first); the window goes only at DestroyMainWindow.
#include <windows.h>
#include <d3d11.h>
#include <dxgi.h>
#include <backends/imgui_impl_dx11.h>
#include <backends/imgui_impl_win32.h>
#include <imgui.h>

#include <algorithm>
#include <bitset>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/d3d11_device_windows.h"
#include "platform/texture.h"
#include "platform/utf16_windows.h"
#include "platform/wake.h"
#include "platform/wake_message_windows.h"
#include "platform/window.h"
#include "platform/window_handle_windows.h"

extern IMGUI_IMPL_API LRESULT ImGui_ImplWin32_WndProcHandler(HWND, UINT, WPARAM, LPARAM);

namespace platform {
namespace {

// Timers, the system's own among them (a caret's blink; user32 does not
// name its message), change nothing on screen.
constexpr UINT kSystemTimer = 0x0118;
bool IsTimer(UINT message) { return message == WM_TIMER || message == kSystemTimer; }

constexpr wchar_t kWindowClass[] = L"Sortiq";
constexpr int kIconResource = 100;
constexpr UINT kEndMessage = WM_APP + 2;  // told to end from outside (the console's Ctrl+C or close)

using Clock = std::chrono::steady_clock;
constexpr auto kFramePeriod = std::chrono::microseconds(16667);
constexpr auto kShortestRefresh = std::chrono::microseconds(6000);

struct WindowState {
  HINSTANCE instance = nullptr;
  HWND window = nullptr;
  ID3D11Device* device = nullptr;
  ID3D11DeviceContext* context = nullptr;
  IDXGISwapChain* swapChain = nullptr;
  ID3D11RenderTargetView* backBuffer = nullptr;
  ID3D11SamplerState* sampler = nullptr;
  bool classRegistered = false;
  bool backendsReady = false;
  bool comReady = false;
  bool closeAsked = false;
  bool endAsked = false;
  bool pumpHadEvents = false;
  std::vector<MSG> heldKeys;  // key changes waiting for a frame of their own
  Clock::time_point lastPresent{};
  std::string whyNoWindow;
};
WindowState state;

template <typename T>
void ReleaseOnce(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

void CreateBackBufferView() {
  ID3D11Texture2D* buffer = nullptr;
  if (SUCCEEDED(state.swapChain->GetBuffer(0, IID_PPV_ARGS(&buffer))) && buffer) {
    state.device->CreateRenderTargetView(buffer, nullptr, &state.backBuffer);
    buffer->Release();
  }
}

void ReleaseGraphicsDevice() {
  FreeReleasedTextures();
  ReleaseOnce(state.sampler);
  ReleaseOnce(state.backBuffer);
  ReleaseOnce(state.swapChain);
  ReleaseOnce(state.context);
  ReleaseOnce(state.device);
}

LRESULT WINAPI MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (ImGui_ImplWin32_WndProcHandler(window, message, wParam, lParam)) return 1;
  switch (message) {
    case WM_SIZE:
      if (state.device && wParam != SIZE_MINIMIZED) {
        ReleaseOnce(state.backBuffer);
        state.swapChain->ResizeBuffers(0, LOWORD(lParam), HIWORD(lParam), DXGI_FORMAT_UNKNOWN, 0);
        CreateBackBufferView();
      }
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xfff0) == SC_KEYMENU) return 0;  // Alt never opens the window menu
      break;
    case WM_CLOSE:
      state.closeAsked = true;  // the program decides
      return 0;
    case WM_ENDSESSION:
      if (wParam) state.endAsked = true;
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Ctrl+C, Ctrl+Break or closing the console: end as the window's close would
// not (nothing is asked), but in order, on the GUI thread.
BOOL WINAPI ConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  if (HWND window = MainWindowHandle()) PostMessageW(window, kEndMessage, 0, 0);
  return TRUE;
}

std::string HresultText(const char* what, HRESULT result) {
  char text[96];
  std::snprintf(text, sizeof text, "%s failed (0x%08lx)", what, static_cast<unsigned long>(result));
  return text;
}

// Which key or mouse button a message changes, as an index below 264; -1
// for any other message. Keys are their virtual-key codes.
int ChangedInput(const MSG& message) {
  switch (message.message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: return message.wParam < 256 ? static_cast<int>(message.wParam) : -1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP: return 256;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP: return 257;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_MBUTTONUP: return 258;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONDBLCLK:
    case WM_XBUTTONUP: return GET_XBUTTON_WPARAM(message.wParam) == XBUTTON1 ? 259 : 260;
    default: return -1;
  }
}

bool IsRepeat(const MSG& message) {
  return (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) && (message.lParam & (1 << 30));
}

// Binds the sampler every picture is drawn with before the GUI's first draw.
void BindSampler(const ImDrawList*, const ImDrawCmd*) {
  if (state.sampler) state.context->PSSetSamplers(0, 1, &state.sampler);
}

}  // namespace

ID3D11Device* Direct3DDevice() { return state.device; }
ID3D11DeviceContext* Direct3DContext() { return state.context; }

bool CreateMainWindow(const std::string& title, int x, int y, int width, int height, WindowIcon) {
  if (HWND console = GetConsoleWindow()) ShowWindow(console, SW_HIDE);
  state.instance = GetModuleHandleW(nullptr);
  HICON icon = LoadIconW(state.instance, MAKEINTRESOURCEW(kIconResource));
  ImGui_ImplWin32_EnableDpiAwareness();
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_CLASSDC;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = state.instance;
  windowClass.hIcon = icon;
  windowClass.hIconSm = icon;
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&windowClass)) {
    state.whyNoWindow = HresultText("RegisterClassExW", HRESULT_FROM_WIN32(GetLastError()));
    return false;
  }
  state.classRegistered = true;
  state.window = CreateWindowExW(0, kWindowClass, Utf16(title).c_str(), WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr,
                                 nullptr, state.instance, nullptr);
  if (!state.window) {
    state.whyNoWindow = HresultText("CreateWindowExW", HRESULT_FROM_WIN32(GetLastError()));
    DestroyMainWindow();
    return false;
  }
  DXGI_SWAP_CHAIN_DESC chain{};
  chain.BufferDesc.RefreshRate = {60, 1};
  chain.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  chain.SampleDesc = {1, 0};
  chain.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  chain.BufferCount = 2;
  chain.OutputWindow = state.window;
  chain.Windowed = TRUE;
  chain.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
  chain.Flags = DXGI_SWAP_CHAIN_FLAG_ALLOW_MODE_SWITCH;
  const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_0};
  D3D_FEATURE_LEVEL level{};
  const HRESULT made = D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, levels, 2,
                                                     D3D11_SDK_VERSION, &chain, &state.swapChain, &state.device, &level,
                                                     &state.context);
  if (FAILED(made)) {
    state.whyNoWindow = HresultText("D3D11CreateDeviceAndSwapChain", made);
    DestroyMainWindow();
    return false;
  }
  CreateBackBufferView();
  SetMainWindowHandle(state.window);
  SetConsoleCtrlHandler(ConsoleControl, TRUE);
  return true;
}

std::string WhyNoMainWindow() { return state.whyNoWindow; }

const char* DrawingName() { return "Direct3D 11"; }

void ShowMainWindowMaximised() {
  ShowWindow(state.window, SW_SHOWMAXIMIZED);
  UpdateWindow(state.window);
}

bool InitGuiBackends() {
  if (!ImGui_ImplWin32_Init(state.window)) return false;
  if (!ImGui_ImplDX11_Init(state.device, state.context)) {
    ImGui_ImplWin32_Shutdown();
    return false;
  }
  // Border addressing with an opaque black border and linear filtering,
  // for the font atlas and every picture; pictures that keep smaller sizes
  // (still pictures) use them.
  D3D11_SAMPLER_DESC sampler{};
  sampler.Filter = D3D11_FILTER_MIN_MAG_MIP_LINEAR;
  sampler.AddressU = sampler.AddressV = sampler.AddressW = D3D11_TEXTURE_ADDRESS_BORDER;
  sampler.BorderColor[3] = 1.0f;
  sampler.ComparisonFunc = D3D11_COMPARISON_ALWAYS;
  sampler.MaxLOD = D3D11_FLOAT32_MAX;
  state.device->CreateSamplerState(&sampler, &state.sampler);
  // The folder dialog wants a single-threaded apartment on this thread.
  state.comReady = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  state.backendsReady = true;
  EnableWakeUps();
  return true;
}

void ShutdownGuiBackends() {
  if (!state.backendsReady) return;
  ImGui_ImplDX11_Shutdown();
  ImGui_ImplWin32_Shutdown();
  state.backendsReady = false;
}

void DestroyMainWindow() {
  SetConsoleCtrlHandler(ConsoleControl, FALSE);
  SetMainWindowHandle(nullptr);
  ReleaseGraphicsDevice();
  if (state.window) DestroyWindow(state.window);
  state.window = nullptr;
  if (state.classRegistered) UnregisterClassW(kWindowClass, state.instance);
  state.classRegistered = false;
  if (state.comReady) CoUninitialize();
  state.comReady = false;
  // The WM_QUIT that DestroyWindow left is of no use to anyone now.
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

QuitRequest PumpEvents() {
  // The GUI library keeps only whether a key or mouse button is down, so
  // two changes of one in one frame (a quick tap or click) would lose one.
  // Each changes at most once a frame: later changes of it wait, in order,
  // for the next drains. Characters of keys are made at once, so typing
  // loses nothing.
  std::bitset<264> changed, waiting;
  std::vector<MSG> stillHeld;
  bool quit = false;
  const auto deliver = [&](MSG& message, bool fresh) {
    if (const int input = ChangedInput(message); input >= 0) {
      const bool repeat = IsRepeat(message);
      if (fresh) TranslateMessage(&message);
      if (waiting.test(input) || (!repeat && changed.test(input))) {
        waiting.set(input);
        stillHeld.push_back(message);
        return;
      }
      if (!repeat) changed.set(input);
      DispatchMessageW(&message);
      return;
    }
    if (message.message == WM_QUIT) {
      quit = true;
      return;
    }
    if (message.hwnd == nullptr && message.message == kWakeMessage) return;  // only to end the wait
    if (message.message == kEndMessage) {
      state.endAsked = true;
      return;
    }
    if (fresh) TranslateMessage(&message);
    DispatchMessageW(&message);
  };
  std::vector<MSG> held;
  held.swap(state.heldKeys);
  state.pumpHadEvents = !held.empty();
  for (MSG& message : held) deliver(message, false);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!IsTimer(message.message)) state.pumpHadEvents = true;
    deliver(message, true);
  }
  state.heldKeys = std::move(stillHeld);
  if (state.closeAsked) {
    state.closeAsked = false;
    return QuitRequest::WindowClosed;
  }
  if (quit || state.endAsked) return QuitRequest::Ended;
  return QuitRequest::None;
}

bool LastPumpHadEvents() { return state.pumpHadEvents; }

bool KeysHeldBack() { return !state.heldKeys.empty(); }

bool WaitForEvent(double seconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(std::max(0.0, seconds)));
  for (;;) {
    const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
    const auto milliseconds = static_cast<DWORD>(std::ceil(std::max(0.0, left) * 1000.0));
    if (MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, 0) != WAIT_OBJECT_0)
      return false;
    // Only input new since the last look ends the wait: the pump has taken
    // every message, and input already seen would end each wait at once
    // (a busy loop between pictures). The wait also ends for the system's
    // own events, which the peek handles itself (Wine's display connection
    // wakes it after every picture shown), and for timers that change
    // nothing on screen, handled here: only another message counts.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!IsTimer(message.message)) return true;
      if (PeekMessageW(&message, nullptr, message.message, message.message, PM_REMOVE)) DispatchMessageW(&message);
    }
    if (Clock::now() >= deadline) return false;
  }
}

bool MainWindowMinimised() { return state.window && IsIconic(state.window); }

void BeginGuiFrame() {
  ImGui_ImplDX11_NewFrame();
  ImGui_ImplWin32_NewFrame();
}

void InvalidateRendererObjects() { ImGui_ImplDX11_InvalidateDeviceObjects(); }

void RenderAndPresent(const float clearColour[4]) {
  ImDrawData* drawData = ImGui::GetDrawData();
  if (drawData && drawData->CmdListsCount > 0) {
    // The sampler goes in before the first draw of the first list.
    ImVector<ImDrawCmd>& commands = drawData->CmdLists[0]->CmdBuffer;
    ImDrawCmd bind;
    bind.UserCallback = BindSampler;
    commands.insert(commands.begin(), bind);
  }
  // A resize the device refused leaves no back buffer: it is asked for
  // again, and until it comes the frame is skipped rather than drawn into
  // nothing.
  if (!state.backBuffer) CreateBackBufferView();
  if (state.backBuffer) {
    state.context->OMSetRenderTargets(1, &state.backBuffer, nullptr);
    state.context->ClearRenderTargetView(state.backBuffer, clearColour);
    ImGui_ImplDX11_RenderDrawData(drawData);
    state.swapChain->Present(1, 0);
  }
  FreeReleasedTextures();
  const auto now = Clock::now();
  // Where the display gives no vertical-blank pacing (a virtual display),
  // pace to about 60 a second instead of spinning.
  const auto interval = now - state.lastPresent;
  if (interval < kShortestRefresh && interval < kFramePeriod) std::this_thread::sleep_for(kFramePeriod - interval);
  state.lastPresent = Clock::now();
}

void SetMainWindowTitle(const std::string& title) {
  if (state.window) SetWindowTextW(state.window, Utf16(title).c_str());
}

}  // namespace platform

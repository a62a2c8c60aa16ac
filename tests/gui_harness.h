#pragma once
// Drives the real GUI code without a window: a GUI context with the real
// fonts, frames run one by one, keys pressed, buttons clicked by label.
#include <imgui.h>

#include <chrono>
#include <functional>
#include <thread>
#include <map>
#include <string>
#include <vector>

#include "app/frame.h"
#include "kit/widgets.h"

class GuiHarness final : public FrameBackend, public ItemObserver {
 public:
  GuiHarness();
  ~GuiHarness() override;

  // One frame of the program (DrawMainWindow), or of the given body.
  void Frame();
  void Frame(const std::function<void()>& body);
  void Frames(int count);

  // Key state for the next frame, by Windows virtual-key code.
  void KeyDown(int virtualKey);
  void KeyUp(int virtualKey);
  // A press and release that both fall within the next frame.
  void Tap(int virtualKey);
  void TypeText(const char* utf8);

  // Moves the mouse over the item with this label (as drawn last frame), at
  // xFraction of its width.
  bool Hover(const std::string& label, float xFraction = 0.5f);
  // Clicks the item with this label: press and release over two frames.
  bool Click(const std::string& label, const std::function<void()>& body = {});
  // Presses on the item at fromFraction of its width, moves to toFraction
  // over a few frames and releases.
  bool Drag(const std::string& label, float fromFraction, float toFraction, const std::function<void()>& body = {});
  bool Drawn(const std::string& label) const { return items.count(label) != 0; }
  // Every glyph drawn last frame into the named window (or child window)
  // and its child windows, spaces left out.
  std::string WindowText(const char* windowName) const;

  // What a user would see as broken in last frame's layout: a control cut
  // off by the edge of the pane it is in (across always, downwards where
  // the pane does not scroll), and a scrollbar on a pane that is no list.
  std::vector<std::string> LayoutFaults() const;

  int FontAtlasBuilds() const { return atlasBuilds; }
  // The tooltip text drawn last frame, empty when none.
  std::string Tooltip() const;

  // FrameBackend
  void InvalidateRenderer() override;
  void BeginFrame() override;
  void Present() override {}
  // ItemObserver
  void OnItem(const char* label, const ImVec2& min, const ImVec2& max) override;

 private:
  struct Rect {
    ImVec2 min, max;
    ImVec2 clipMin, clipMax;  // the visible part of the pane it is in
    bool paneScrolls = false;  // it has a scrollbar: what is below is reached by scrolling
  };
  std::map<std::string, Rect> items;      // drawn last frame
  std::map<std::string, Rect> drawing;    // being drawn this frame
  std::vector<int> tappedKeys;  // released after the next frame
  bool fontTextureMissing = true;
  int atlasBuilds = 0;
};

// Runs frames until the condition holds, for up to 30 s (walks, listings
// and file operations run on their own threads).
template <typename Condition>
bool FramesUntil(GuiHarness& gui, Condition condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    gui.Frame();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return condition();
}

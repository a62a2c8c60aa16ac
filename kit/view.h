#pragma once
// What the host knows of a tab: a view it draws while the tab is selected
// and tells when the program ends.
class View {
 public:
  View() = default;
  View(const View&) = delete;
  View& operator=(const View&) = delete;
  virtual ~View() = default;

  // Draws the tab's body; first says which tab is drawing (DrawnTabIndex).
  virtual void Draw() = 0;
  // At the end, while the window and its renderer still exist.
  virtual void ReleaseGraphics() {}
  // At the end, after the window has closed: a content tab waits for its walk.
  virtual void Shutdown() {}
};

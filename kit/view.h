#pragma once
// What the host knows of a tab: a view it draws while the tab is selected,
// tells what happened to files, and tells when the program ends.
#include <vector>

#include "kit/file_commands.h"

class View {
 public:
  View() = default;
  View(const View&) = delete;
  View& operator=(const View&) = delete;
  virtual ~View() = default;

  // Draws the tab's body.
  virtual void Draw() = 0;
  // Every frame some moves or deletions ended, whichever tab asked for
  // them, selected or not: each tab keeps its lists true to the disk.
  virtual void FilesChanged(const std::vector<Commands::Async::Outcome>&) {}
  // At the end, while the window and its renderer still exist.
  virtual void ReleaseGraphics() {}
  // At the end, after the window has closed: a content tab waits for its walk.
  virtual void Shutdown() {}
};

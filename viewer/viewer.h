#pragma once
// The Viewer tab: browses a whole folder tree. The list, filter and
// playback arrive with the Viewer; for now it walks and keeps what it finds.
#include <string>
#include <vector>

#include "app/tab_base.h"

class Viewer : public Base {
 public:
  Viewer() : Base(true, false) {}
  void Reset() override;
  void Draw();

  std::vector<std::string> files;  // in the order the walk reported them
  CollectTimer collectTimer;
};

#pragma once
// The Viewer tab: browses a whole folder tree, plays any file of it, steps
// through the filtered list or picks at random.
#include <functional>

#include "kit/tab_base.h"
#include "viewer/viewer_model.h"

class Viewer : public Base {
 public:
  Viewer() : Base(true, false) {}
  void Reset() override;
  void Draw() override;
  void FilesChanged(const std::vector<Commands::Async::Outcome>& outcomes) override;

  void CollectEntries();
  void NextFile();
  void PlayRandom();
  void DrawEntries();

  ViewerModel model;
  CollectTimer collectTimer;
  // Each call gives a value from 0 to 32767; the C library's generator,
  // seeded at start.
  std::function<int()> draw15;

 private:
  void Select(size_t index);
};

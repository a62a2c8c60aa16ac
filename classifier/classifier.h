#pragma once
// The Classifier tab: walks the top level of a folder and keeps its
// sub-folders and files (the lists the sorting panes are drawn from).
#include <string>
#include <vector>

#include "kit/tab_base.h"

class Classifier : public Base {
 public:
  Classifier() : Base(false, false) {}
  void Reset() override;
  void Draw() override;

  std::vector<std::string> folderList;
  std::vector<std::string> fileList;
  CollectTimer collectTimer;
};

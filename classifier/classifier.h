#pragma once
// The Classifier tab: sorts the top-level files of a folder into its
// sub-folders. The panes and file operations arrive with the Classifier;
// for now it walks and keeps what it finds.
#include <string>
#include <vector>

#include "app/tab_base.h"

class Classifier : public Base {
 public:
  Classifier() : Base(false, false) {}
  void Reset() override;
  void Draw() override;

  std::vector<std::string> folderList;
  std::vector<std::string> fileList;
  CollectTimer collectTimer;
};

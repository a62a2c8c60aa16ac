#pragma once
// The Grouping tab: walks a tree and keeps its files with their sizes (what
// the groups by the words of their names are made from).
#include <cstdint>
#include <string>
#include <vector>

#include "kit/tab_base.h"

class Group : public Base {
 public:
  Group() : Base(true, true) {}
  void Reset() override;
  void Draw() override;

  std::vector<std::string> files;
  std::vector<uint64_t> sizes;
  CollectTimer collectTimer;
};

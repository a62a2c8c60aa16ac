#pragma once
// The Grouping tab: files of a tree grouped under every word of their
// names. The groups arrive with tag grouping; for now it walks and keeps
// what it finds, with sizes.
#include <cstdint>
#include <string>
#include <vector>

#include "app/tab_base.h"

class Group : public Base {
 public:
  Group() : Base(true, true) {}
  void Reset() override;
  void Draw() override;

  std::vector<std::string> files;
  std::vector<uint64_t> sizes;
  CollectTimer collectTimer;
};

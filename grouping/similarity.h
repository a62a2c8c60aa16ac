#pragma once
// The Similarity tab: walks a tree and keeps its files with their sizes
// (what duplicates by the platform identifier in their names are found in).
#include <cstdint>
#include <string>
#include <vector>

#include "kit/tab_base.h"

inline constexpr char kTwinsiftAddress[] = "https://twinsift.example.org/";

class Similarity : public Base {
 public:
  Similarity() : Base(true, true) {}
  void Reset() override;
  // Collects what the walk found, then the scan row (and the help while no
  // root is picked).
  void Draw() override;

  std::vector<std::string> files;
  std::vector<uint64_t> sizes;
  CollectTimer collectTimer;
};

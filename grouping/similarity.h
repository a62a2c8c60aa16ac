#pragma once
// The Similarity tab: candidate duplicates keyed by the platform identifier
// in their names. Detection arrives with the duplicate finder; for now it
// walks and keeps what it finds, with sizes.
#include <cstdint>
#include <string>
#include <vector>

#include "app/tab_base.h"

inline constexpr char kTwinsiftAddress[] = "https://twinsift.example.org/";

class Similarity : public Base {
 public:
  Similarity() : Base(true, true) {}
  void Reset() override;
  void Draw() override;
  // The per-frame update, scan row and list.
  void DrawTopBar();

  std::vector<std::string> files;
  std::vector<uint64_t> sizes;
  CollectTimer collectTimer;
};

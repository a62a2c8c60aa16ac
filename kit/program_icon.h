#pragma once
// The program's icon, decoded from the PNG carried inside the program once
// and kept: the window and the About tab both show it.
#include <cstdint>
#include <vector>

struct ProgramIconPixels {
  std::vector<uint8_t> rgba;  // empty when the PNG cannot be decoded
  int width = 0, height = 0;
};

const ProgramIconPixels& ProgramIcon();

#pragma once
// Data carried inside the program: the two fonts and the program icon.
#include <cstddef>
#include <cstdint>

struct EmbeddedBytes {
  const uint8_t* data;
  size_t size;
};

EmbeddedBytes TextFontBytes();  // Noto Sans Mono Regular
EmbeddedBytes IconFontBytes();  // Material Symbols Rounded, 400 Regular
EmbeddedBytes IconPngBytes();   // the program icon, 256 x 256 PNG

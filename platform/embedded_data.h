#pragma once
// Data carried inside the program: the two fonts and the program icon,
// built into it by each system's own means (an assembler's include into
// read-only data, or resources).
#include <cstddef>
#include <cstdint>

namespace platform {

struct EmbeddedBytes {
  const uint8_t* data;
  size_t size;
};

EmbeddedBytes TextFontBytes();  // Noto Sans Mono Regular
EmbeddedBytes IconFontBytes();  // Material Symbols Rounded, 400 Regular
EmbeddedBytes IconPngBytes();   // the program icon, 256 x 256 PNG

}  // namespace platform

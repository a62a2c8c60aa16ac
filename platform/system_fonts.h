#pragma once
// The fonts installed on this machine, for the characters of names that the
// program's own text font has no glyph for.
#include <string>
#include <vector>

namespace platform {

struct FontFileFace {
  std::string path;
  int faceIndex = 0;  // the face within a font collection (.ttc)
};

// Outline fonts (TrueType or OpenType) that have a glyph for the code point,
// the one the system prefers for sans-serif text first; at most `limit`.
// Empty when no font has one or the system has no font configuration.
// Takes milliseconds: never call it on the GUI thread.
std::vector<FontFileFace> FontFacesCovering(char32_t codePoint, size_t limit);

// Lets go of the system's font configuration (it is read again on the next
// look-up). Called once nothing looks fonts up any more.
void ReleaseSystemFonts();

}  // namespace platform

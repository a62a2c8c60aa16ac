#pragma once
// Glyphs for characters the program's text font lacks, found in the fonts
// of the system and drawn on a thread of its own: looking a font up and
// reading it take far longer than a frame.
#include <vector>

#include "kit/font_face.h"

struct GlyphAnswers {
  float pixelSize = 0.0f;
  std::vector<char32_t> inTextFont;  // the text font has these after all
  std::vector<GlyphBitmap> drawn;    // from fonts of the system, at pixelSize
  std::vector<char32_t> noFont;      // no readable font has them: U+FFFD
  std::vector<char32_t> stale;       // not drawn: asked at a size no longer wanted
};

namespace GlyphSupply {

// GUI thread. Asks for the characters at the pixel size; the first request
// starts the worker. Answers arrive in order, and the worker wakes the frame
// loop when it has some. Characters still waiting at another size are
// answered as stale: only the size asked for last is drawn.
void Ask(const std::vector<char32_t>& codePoints, float pixelSize);
// GUI thread. The answers that arrived since the last call.
std::vector<GlyphAnswers> Take();
// Whether some asked-for characters have not been answered yet.
bool Busy();
// Tells the worker to end after the character in hand; does not wait.
void RequestStop();
// Ends and joins the worker and lets go of the system's fonts; a later Ask
// starts it again.
void Stop();

}  // namespace GlyphSupply

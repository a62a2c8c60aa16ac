#pragma once
// Which characters the GUI shows. Everything that draws text it did not
// write itself (names, paths, what the user typed) notes it here as it
// draws; the font atlas then gains glyphs for exactly those characters.
// GUI thread only.
#include <cstddef>
#include <string_view>
#include <vector>

namespace GlyphDemand {

// Most characters beyond the atlas's first ones asked for at a time. When
// it is full, characters not shown for kRestSeconds are let go to make
// room; while none can be, further new ones show as U+FFFD. So a tree of
// names in every script can neither stall the frame nor grow the atlas
// without end, and scrolling on through it still shows what is on screen.
inline constexpr size_t kBudget = 4096;
inline constexpr double kRestSeconds = 2.0;

// Notes the characters of shown text (UTF-8). Costs a scan of the bytes,
// nothing more, for text whose characters were seen before.
void Note(std::string_view utf8);
// The characters first noted since the last call, in the order noted.
std::vector<char32_t> TakeNew();
// After each frame, with the time of the next one (seconds, as the frame
// clock counts): lets go of resting characters when new ones found the
// budget full, or asks for a frame when some will have rested.
void EndFrame(double now);
// The characters let go of since the last call: their glyphs may leave the
// atlas, and they are asked for again when next shown.
std::vector<char32_t> TakeLetGo();
// How many characters are asked for now (at most kBudget).
size_t Asked();
// Forgets every character noted (a fresh start, for tests).
void Forget();

}  // namespace GlyphDemand

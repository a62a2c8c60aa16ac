#pragma once
// Which characters the GUI shows. Everything that draws text it did not
// write itself (names, paths, what the user typed) notes it here as it
// draws; the font atlas then gains glyphs for exactly those characters.
// GUI thread only.
#include <cstddef>
#include <string_view>
#include <vector>

namespace GlyphDemand {

// Most characters beyond the atlas's first ones that are ever asked for:
// further new ones show as U+FFFD, so a tree of names in every script can
// neither stall the frame nor grow the atlas without end.
inline constexpr size_t kBudget = 4096;

// Notes the characters of shown text (UTF-8). Costs a scan of the bytes,
// nothing more, for text whose characters were seen before.
void Note(std::string_view utf8);
// The characters first noted since the last call, in the order noted.
std::vector<char32_t> TakeNew();
// How many characters have been asked for in all (at most kBudget).
size_t Asked();
// Forgets every character noted (a fresh start, for tests).
void Forget();

}  // namespace GlyphDemand

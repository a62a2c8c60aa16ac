#include "kit/glyph_demand.h"

#include <bitset>

namespace GlyphDemand {
namespace {

// The GUI library holds characters in 16 bits: beyond U+FFFF every
// character is drawn as U+FFFD whatever the fonts have.
constexpr char32_t kLastDrawable = 0xFFFF;

struct State {
  std::bitset<kLastDrawable + 1> seen;
  std::vector<char32_t> fresh;
  size_t asked = 0;
};

// Characters the atlas always has or must never be asked for: Basic Latin
// and Latin-1 (always there), surrogates, the Private Use Area (the icons),
// non-characters and U+FFFD itself.
void MarkNeverAsked(std::bitset<kLastDrawable + 1>& seen) {
  for (char32_t c = 0; c <= 0xFF; ++c) seen.set(c);
  for (char32_t c = 0xD800; c <= 0xF8FF; ++c) seen.set(c);
  for (char32_t c = 0xFDD0; c <= 0xFDEF; ++c) seen.set(c);
  for (char32_t c = 0xFFF9; c <= 0xFFFF; ++c) seen.set(c);
}

State& Current() {
  static State state = [] {
    State fresh;
    MarkNeverAsked(fresh.seen);
    return fresh;
  }();
  return state;
}

// The code point at `i` and its length, as the GUI library decodes it: an
// ill-formed sequence is one byte of U+FFFD.
char32_t Decode(std::string_view text, size_t i, size_t& length) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  length = 1;
  int extra = 0;
  char32_t c = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    c = lead & 0x07;
  } else {
    return 0xFFFD;
  }
  if (i + static_cast<size_t>(extra) >= text.size()) return 0xFFFD;
  for (int k = 1; k <= extra; ++k) {
    const unsigned char next = byte(i + k);
    if ((next & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (next & 0x3F);
  }
  length = static_cast<size_t>(extra) + 1;
  return c;
}

}  // namespace

void Note(std::string_view utf8) {
  State& state = Current();
  for (size_t i = 0; i < utf8.size();) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      ++i;
      continue;
    }
    size_t length = 1;
    const char32_t c = Decode(utf8, i, length);
    i += length;
    if (c > kLastDrawable || state.seen.test(c)) continue;
    state.seen.set(c);
    if (state.asked == kBudget) continue;  // shows as U+FFFD from now on
    ++state.asked;
    state.fresh.push_back(c);
  }
}

std::vector<char32_t> TakeNew() {
  std::vector<char32_t> taken;
  taken.swap(Current().fresh);
  return taken;
}

size_t Asked() { return Current().asked; }

void Forget() {
  State& state = Current();
  state.seen.reset();
  MarkNeverAsked(state.seen);
  state.fresh.clear();
  state.asked = 0;
}

}  // namespace GlyphDemand

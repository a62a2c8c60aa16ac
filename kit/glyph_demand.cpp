#include "kit/glyph_demand.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
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

}  // namespace

void Note(std::string_view utf8) {
  State& state = Current();
  for (size_t i = 0; i < utf8.size();) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      ++i;
      continue;
    }
    // Decoded as the GUI library decodes it for drawing, so exactly the
    // characters it will look up are asked for.
    unsigned int c = 0;
    const int length = ImTextCharFromUtf8(&c, utf8.data() + i, utf8.data() + utf8.size());
    i += static_cast<size_t>(std::max(length, 1));
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

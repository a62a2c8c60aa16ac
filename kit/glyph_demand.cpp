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
  std::bitset<kLastDrawable + 1> seen;   // asked for, or never to be asked for
  std::vector<uint32_t> lastShown = std::vector<uint32_t>(kLastDrawable + 1, 0);  // frame of each
  std::vector<char32_t> admitted;        // asked for and not let go since
  std::vector<char32_t> fresh;
  std::vector<char32_t> letGo;
  uint32_t frame = 1;
  bool turnedAway = false;               // a character found the budget full this frame
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
    if (c > kLastDrawable) continue;
    state.lastShown[c] = state.frame;
    if (state.seen.test(c)) continue;
    if (state.admitted.size() == kBudget) {  // U+FFFD until room is made
      state.turnedAway = true;
      continue;
    }
    state.seen.set(c);
    state.admitted.push_back(c);
    state.fresh.push_back(c);
  }
}

void EndFrame() {
  State& state = Current();
  ++state.frame;
  if (!state.turnedAway) return;
  state.turnedAway = false;
  // Room for characters turned away: let go of those not shown for a
  // while, the longest unseen first, a batch at a time.
  std::vector<char32_t> resting;
  for (char32_t c : state.admitted)
    if (state.frame - state.lastShown[c] > kRestFrames) resting.push_back(c);
  std::sort(resting.begin(), resting.end(),
            [&](char32_t a, char32_t b) { return state.lastShown[a] < state.lastShown[b]; });
  resting.resize(std::min(resting.size(), kBudget / 8));
  if (resting.empty()) return;
  std::sort(resting.begin(), resting.end());
  std::erase_if(state.admitted, [&](char32_t c) { return std::binary_search(resting.begin(), resting.end(), c); });
  for (char32_t c : resting) state.seen.reset(c);
  state.letGo.insert(state.letGo.end(), resting.begin(), resting.end());
}

std::vector<char32_t> TakeLetGo() {
  std::vector<char32_t> taken;
  taken.swap(Current().letGo);
  return taken;
}

std::vector<char32_t> TakeNew() {
  std::vector<char32_t> taken;
  taken.swap(Current().fresh);
  return taken;
}

size_t Asked() { return Current().admitted.size(); }

void Forget() {
  State& state = Current();
  state.seen.reset();
  MarkNeverAsked(state.seen);
  std::fill(state.lastShown.begin(), state.lastShown.end(), 0);
  state.admitted.clear();
  state.fresh.clear();
  state.letGo.clear();
  state.turnedAway = false;
}

}  // namespace GlyphDemand

#include "kit/glyph_demand.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <bitset>

#include "kit/frame_demand.h"

namespace GlyphDemand {
namespace {

// The GUI library holds characters in 16 bits: beyond U+FFFF every
// character is drawn as U+FFFD whatever the fonts have.
constexpr char32_t kLastDrawable = 0xFFFF;

struct State {
  std::bitset<kLastDrawable + 1> seen;   // asked for, or never to be asked for
  std::vector<float> lastShown = std::vector<float>(kLastDrawable + 1, -1e9f);  // when each was shown
  std::vector<char32_t> admitted;        // asked for and not let go since
  std::vector<char32_t> fresh;
  std::vector<char32_t> letGo;
  float now = 0.0f;                      // the frame being drawn, in seconds
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
    state.lastShown[c] = state.now;
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

void EndFrame(double now) {
  State& state = Current();
  const float drawnAt = state.now;
  state.now = static_cast<float>(now);
  if (!state.turnedAway) return;
  state.turnedAway = false;
  // Room for characters turned away: let go of those not shown for
  // kRestSeconds, the longest unseen first, a batch at a time. While none
  // has rested that long, a frame is asked for when the first will have:
  // a resting window would otherwise leave the new ones as U+FFFD.
  std::vector<char32_t> resting;
  float oldestHidden = drawnAt;
  for (char32_t c : state.admitted) {
    const float shown = state.lastShown[c];
    if (shown < drawnAt) oldestHidden = std::min(oldestHidden, shown);
    if (state.now - shown > kRestSeconds) resting.push_back(c);
  }
  if (resting.empty()) {
    if (oldestHidden < drawnAt) FrameDemand::Within(kRestSeconds - (state.now - oldestHidden) + 0.01);
    return;  // everything asked for is on screen: the rest stays U+FFFD
  }
  const size_t batch = std::min(resting.size(), kBudget / 8);
  std::partial_sort(resting.begin(), resting.begin() + static_cast<std::ptrdiff_t>(batch), resting.end(),
                    [&](char32_t a, char32_t b) { return state.lastShown[a] < state.lastShown[b]; });
  resting.resize(batch);
  std::sort(resting.begin(), resting.end());
  std::erase_if(state.admitted, [&](char32_t c) { return std::binary_search(resting.begin(), resting.end(), c); });
  for (char32_t c : resting) state.seen.reset(c);
  state.letGo.insert(state.letGo.end(), resting.begin(), resting.end());
  FrameDemand::Next();  // the characters waiting are admitted on the next frame
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
  std::fill(state.lastShown.begin(), state.lastShown.end(), -1e9f);
  state.admitted.clear();
  state.fresh.clear();
  state.letGo.clear();
  state.now = 0.0f;
  state.turnedAway = false;
}

}  // namespace GlyphDemand

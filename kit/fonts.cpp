#include "kit/fonts.h"

#include <imgui.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "platform/embedded_data.h"
#include "kit/frame_demand.h"
#include "kit/glyph_demand.h"
#include "kit/glyph_supply.h"
#include "kit/icons.h"
#include "kit/settings.h"

namespace {

// Glyph ranges of exactly the icons in use: rasterising the whole Private Use
// Area costs tens of milliseconds and megabytes of texture at every size,
// and nothing outside this list is ever drawn.
const ImWchar* IconGlyphRanges() {
  static const std::vector<ImWchar> ranges = [] {
    std::vector<ImWchar> r;
    for (unsigned codePoint : kIconCodePoints) {
      r.push_back(static_cast<ImWchar>(codePoint));
      r.push_back(static_cast<ImWchar>(codePoint));
    }
    r.push_back(0);
    return r;
  }();
  return ranges.data();
}

// The glyphs beyond Basic Latin and Latin-1 that shown names called for.
struct ShownGlyphs {
  std::set<ImWchar> inTextFont;               // rasterised with the text font
  std::set<char32_t> fromSystem;              // drawn from the system's fonts...
  std::map<char32_t, GlyphBitmap> drawn;      // ...at drawnSize
  float drawnSize = 0.0f;
  size_t drawnArea = 0;                       // their pixels
  std::map<char32_t, float> asked;            // asked of the worker at this size, not yet answered
  std::vector<ImWchar> textRanges;            // the text font's ranges, alive until the next fill
  bool arrived = false;                       // something new since the last fill
  double lastFill = -1e9;
};

ShownGlyphs shown;

// The room glyphs from the system's fonts may take in the atlas: as many as
// the character budget allows at a generous size each. Beyond it (a font
// with outsized glyphs) further glyphs show as U+FFFD.
size_t DrawnAreaBudget(float textSize) {
  const auto side = static_cast<size_t>(textSize * 1.25f) + 2;
  return GlyphDemand::kBudget * side * side;
}

void AskFor(const std::vector<char32_t>& codePoints, float textSize) {
  if (codePoints.empty()) return;
  GlyphSupply::Ask(codePoints, textSize);
  for (char32_t c : codePoints) shown.asked[c] = textSize;
}

// A texture wide enough that the glyphs fit in a height any GL 3 device
// takes (8,192 rows); the GUI library would size it by its own glyphs only.
int AtlasWidth(size_t drawnArea) {
  int width = 512;
  while (width < 4096 && drawnArea / static_cast<size_t>(width) > 6144) width *= 2;
  return width;
}

// Basic Latin and Latin-1, U+FFFD, and the other characters of the text
// font that names use. With U+FFFD in the atlas the GUI library draws every
// character the fonts lack as the replacement character, and names that
// are not valid UTF-8 show where their bad bytes were.
const ImWchar* TextGlyphRanges() {
  std::vector<ImWchar>& r = shown.textRanges;
  r.assign({0x0020, 0x00FF});
  for (ImWchar c : shown.inTextFont) {
    if (c == r.back() + 1)
      r.back() = c;
    else
      r.insert(r.end(), {c, c});
  }
  r.insert(r.end(), {0xFFFD, 0xFFFD, 0});
  return r.data();
}

void FillAtlas(float textSize) {
  ImFontAtlas* atlas = ImGui::GetIO().Fonts;
  atlas->Clear();
  atlas->Flags |= ImFontAtlasFlags_NoPowerOfTwoHeight;  // no texture rows left empty

  ImFontConfig text;
  text.FontDataOwnedByAtlas = false;  // the data lives in the program image
  text.OversampleH = 3;
  text.OversampleV = 1;
  text.PixelSnapH = false;
  text.RasterizerMultiply = 1.0f;
  const platform::EmbeddedBytes textFont = platform::TextFontBytes();
  atlas->AddFontFromMemoryTTF(const_cast<uint8_t*>(textFont.data), static_cast<int>(textFont.size), textSize, &text,
                              TextGlyphRanges());

  const float iconSize = textSize * 4.0f / 3.0f;
  ImFontConfig icons;
  icons.FontDataOwnedByAtlas = false;
  icons.MergeMode = true;
  icons.PixelSnapH = true;
  icons.OversampleH = 3;
  icons.OversampleV = 1;
  icons.GlyphOffset = ImVec2(0.0f, textSize * 0.25f);
  icons.GlyphMinAdvanceX = iconSize * 0.5f;
  const platform::EmbeddedBytes iconFont = platform::IconFontBytes();
  TextFont = atlas->AddFontFromMemoryTTF(const_cast<uint8_t*>(iconFont.data), static_cast<int>(iconFont.size),
                                         iconSize, &icons, IconGlyphRanges());

  // Glyphs from the system's fonts were drawn by the glyph worker at one
  // size; at another they are asked for again (with those still on their
  // way) and show once they arrive.
  if (shown.drawnSize != textSize) {
    shown.drawn.clear();
    shown.drawnArea = 0;
    shown.drawnSize = textSize;
    std::set<char32_t> again = shown.fromSystem;
    for (const auto& [c, size] : shown.asked)
      if (size != textSize) again.insert(c);
    AskFor(std::vector<char32_t>(again.begin(), again.end()), textSize);
  }
  atlas->TexDesiredWidth = AtlasWidth(shown.drawnArea);
  if (shown.drawn.empty()) return;  // the renderer builds the atlas when it makes the texture

  std::vector<std::pair<int, const GlyphBitmap*>> placed;
  placed.reserve(shown.drawn.size());
  for (const auto& [codePoint, bitmap] : shown.drawn)
    placed.emplace_back(atlas->AddCustomRectFontGlyph(TextFont, static_cast<ImWchar>(codePoint), bitmap.width,
                                                      bitmap.height, bitmap.advanceX,
                                                      ImVec2(static_cast<float>(bitmap.offsetX),
                                                             static_cast<float>(bitmap.offsetY))),
                        &bitmap);
  // Built here so the drawn glyphs can be copied into their places; the
  // renderer then only converts and uploads.
  if (!atlas->Build()) return;
  for (const auto& [id, bitmap] : placed) {
    const ImFontAtlasCustomRect* rect = atlas->GetCustomRectByIndex(id);
    if (!rect->IsPacked()) continue;
    if (bitmap->empty) {
      if (auto* glyph = const_cast<ImFontGlyph*>(TextFont->FindGlyphNoFallback(static_cast<ImWchar>(bitmap->codePoint))))
        glyph->Visible = false;
      continue;
    }
    for (int row = 0; row < bitmap->height; ++row)
      std::copy_n(bitmap->alpha.data() + static_cast<size_t>(row) * bitmap->width, bitmap->width,
                  atlas->TexPixelsAlpha8 + static_cast<size_t>(rect->Y + row) * atlas->TexWidth + rect->X);
  }
}

// Whether the answer is one still waited for (asked at this size, not let
// go of since); it is not waited for any more.
bool Awaited(char32_t c, float size) {
  auto it = shown.asked.find(c);
  if (it == shown.asked.end() || it->second != size) return false;
  shown.asked.erase(it);
  return true;
}

void TakeAnswers() {
  for (GlyphAnswers& answers : GlyphSupply::Take()) {
    const float size = answers.pixelSize;
    for (char32_t c : answers.inTextFont) {
      if (!Awaited(c, size)) continue;
      shown.inTextFont.insert(static_cast<ImWchar>(c));
      shown.arrived = true;
    }
    for (char32_t c : answers.noFont) Awaited(c, size);
    for (char32_t c : answers.stale) Awaited(c, size);  // asked again at the size in use
    for (GlyphBitmap& bitmap : answers.drawn) {
      const char32_t c = bitmap.codePoint;
      // Not waited for: drawn for a size no longer in use (asked again), or let go of.
      if (!Awaited(c, size) || size != shown.drawnSize) continue;
      const size_t area = static_cast<size_t>(bitmap.width) * static_cast<size_t>(bitmap.height);
      if (shown.drawnArea + area > DrawnAreaBudget(size)) continue;  // no room left: U+FFFD
      if (auto old = shown.drawn.find(c); old != shown.drawn.end())
        shown.drawnArea -= static_cast<size_t>(old->second.width) * static_cast<size_t>(old->second.height);
      shown.fromSystem.insert(c);
      shown.drawnArea += area;
      shown.drawn[c] = std::move(bitmap);
      shown.arrived = true;
    }
  }
}

}  // namespace

void LoadFonts() {
  const int index = FontSizeIndexFromText(ReadSettingText("FontSize"));
  FontSizeRequested = index;
  FontSizeApplied = index;
  FillAtlas(FontPixelSizes[static_cast<size_t>(index)]);
}

// Characters no longer shown, let go of to make room for new ones: their
// glyphs leave the atlas at its next refill.
void LetGo(const std::vector<char32_t>& characters) {
  for (char32_t c : characters) {
    shown.inTextFont.erase(static_cast<ImWchar>(c));
    shown.fromSystem.erase(c);
    shown.asked.erase(c);
    if (auto it = shown.drawn.find(c); it != shown.drawn.end()) {
      shown.drawnArea -= static_cast<size_t>(it->second.width) * static_cast<size_t>(it->second.height);
      shown.drawn.erase(it);
    }
  }
}

bool RefreshFontsBetweenFrames(double now) {
  AskFor(GlyphDemand::TakeNew(), FontPixelSizes[static_cast<size_t>(FontSizeRequested)]);
  GlyphDemand::EndFrame(now);
  LetGo(GlyphDemand::TakeLetGo());
  TakeAnswers();
  if (FontSizeRequested != FontSizeApplied) {
    FontSizeApplied = FontSizeRequested;
    LoadFonts();
  } else if (shown.arrived && now - shown.lastFill >= kGlyphRefillInterval) {
    FillAtlas(FontPixelSizes[static_cast<size_t>(FontSizeApplied)]);
  } else {
    if (shown.arrived) FrameDemand::Within(kGlyphRefillInterval - (now - shown.lastFill));
    return false;
  }
  shown.arrived = false;
  shown.lastFill = now;
  return true;
}

void StopGlyphWork() { GlyphSupply::Stop(); }

void ForgetShownCharacters() {
  GlyphSupply::Stop();
  GlyphDemand::Forget();
  std::vector<ImWchar> ranges;  // the atlas may still read them
  ranges.swap(shown.textRanges);
  shown = ShownGlyphs{};
  shown.textRanges.swap(ranges);
}

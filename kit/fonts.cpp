#include "kit/fonts.h"

#include <imgui.h>

#include <vector>

#include "kit/embedded_data.h"
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

// Basic Latin and Latin-1, plus U+FFFD: with it in the atlas the GUI library
// draws every character the font lacks as the replacement character, and
// names that are not valid UTF-8 show where their bad bytes were.
const ImWchar kTextGlyphRanges[] = {0x0020, 0x00FF, 0xFFFD, 0xFFFD, 0};

}  // namespace

void LoadFonts() {
  const int index = FontSizeIndexFromText(ReadSettingText("FontSize"));
  FontSizeRequested = index;
  FontSizeApplied = index;

  ImFontAtlas* atlas = ImGui::GetIO().Fonts;
  atlas->Clear();
  const float textSize = FontPixelSizes[static_cast<size_t>(index)];

  ImFontConfig text;
  text.FontDataOwnedByAtlas = false;  // the data lives in the program image
  text.OversampleH = 3;
  text.OversampleV = 1;
  text.PixelSnapH = false;
  text.RasterizerMultiply = 1.0f;
  const EmbeddedBytes textFont = TextFontBytes();
  atlas->AddFontFromMemoryTTF(const_cast<uint8_t*>(textFont.data), static_cast<int>(textFont.size), textSize, &text,
                              kTextGlyphRanges);

  const float iconSize = textSize * 4.0f / 3.0f;
  ImFontConfig icons;
  icons.FontDataOwnedByAtlas = false;
  icons.MergeMode = true;
  icons.PixelSnapH = true;
  icons.OversampleH = 3;
  icons.OversampleV = 1;
  icons.GlyphOffset = ImVec2(0.0f, textSize * 0.25f);
  icons.GlyphMinAdvanceX = iconSize * 0.5f;
  const EmbeddedBytes iconFont = IconFontBytes();
  TextFont = atlas->AddFontFromMemoryTTF(const_cast<uint8_t*>(iconFont.data), static_cast<int>(iconFont.size),
                                         iconSize, &icons, IconGlyphRanges());
}

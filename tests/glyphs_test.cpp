// Names in every script: the glyphs drawn for them come from the system's
// fonts, only for characters shown, a few refills a second at most, and
// never beyond the budget.
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>

#include "gui_harness.h"
#include "kit/fonts.h"
#include "kit/glyph_demand.h"
#include "kit/glyph_supply.h"
#include "kit/settings.h"
#include "kit/widgets.h"

namespace {

std::u32string Decoded(const std::string& utf8) {
  std::u32string out;
  for (const char* p = utf8.c_str(); *p;) {
    unsigned int c = 0;
    p += ImTextCharFromUtf8(&c, p, nullptr);
    out.push_back(c);
  }
  return out;
}

std::string WithoutSpaces(std::string text) {
  std::erase(text, ' ');
  return text;
}

class GlyphsTest : public ::testing::Test {
 protected:
  void SetUp() override { SaveFontSize(0); }
  void TearDown() override { SaveFontSize(0); }

  // Draws the lines each frame until every glyph asked for has arrived and
  // the atlas has stayed the same for half a second of frames.
  void DrawUntilSettled(const std::vector<std::string>& lines) {
    body = [lines] {
      for (const std::string& line : lines) TextWithTooltipWhenCut(line);
    };
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int quietFrames = 0, builds = gui.FontAtlasBuilds();
    while (std::chrono::steady_clock::now() < end && quietFrames < 40) {
      gui.Frame(body);
      const bool quiet = !GlyphSupply::Busy() && gui.FontAtlasBuilds() == builds;
      quietFrames = quiet ? quietFrames + 1 : 0;
      builds = gui.FontAtlasBuilds();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GE(quietFrames, 40) << "glyphs still arriving after 30 s";
  }
  const ImFontGlyph* Glyph(char32_t c) const { return TextFont->FindGlyphNoFallback(static_cast<ImWchar>(c)); }

  GuiHarness gui;
  std::function<void()> body;
};

TEST_F(GlyphsTest, NamesInManyScriptsDrawEveryCharacterFromAFont) {
  const std::string name = "日本語のテスト 한국어 ภาษาไทย עברית Ελληνικά Кириллица ★☂";
  DrawUntilSettled({name});
  const std::string drawn = gui.WindowText("##TestWindow");
  EXPECT_EQ(drawn, WithoutSpaces(name));  // no U+FFFD anywhere
  for (char32_t c : Decoded(WithoutSpaces(name))) {
    const ImFontGlyph* glyph = Glyph(c);
    ASSERT_NE(glyph, nullptr) << std::hex << "U+" << static_cast<unsigned>(c);
    EXPECT_GT(glyph->AdvanceX, 0.0f) << std::hex << static_cast<unsigned>(c);
  }
  // Characters from other fonts sit on the text's line: a kanji's box
  // covers most of the height of a capital and reaches below its baseline
  // by less than half the line.
  const ImFontGlyph* capital = Glyph('H');
  const ImFontGlyph* kanji = Glyph(U'語');
  ASSERT_TRUE(capital && kanji);
  EXPECT_TRUE(kanji->Visible);
  EXPECT_LT(kanji->Y0, capital->Y0 + 2.0f);
  EXPECT_GT(kanji->Y1, capital->Y1 - 1.0f);
  EXPECT_LT(kanji->Y1, capital->Y1 + TextFont->FontSize * 0.5f);
  EXPECT_GE(kanji->AdvanceX, TextFont->FontSize * 0.6f);  // full width, not squeezed
}

TEST_F(GlyphsTest, CharactersNoFontHasAndBadBytesShowTheReplacementCharacter) {
  // U+0378 and U+2FE0 are unassigned; "\xFF" is not UTF-8 (the tabs turn
  // it into U+FFFD before drawing, as here).
  const std::string name = "a\u0378b\u2FE0c\uFFFDd";
  DrawUntilSettled({name});
  EXPECT_EQ(gui.WindowText("##TestWindow"), "a\uFFFDb\uFFFDc\uFFFDd");
  EXPECT_EQ(Glyph(0x0378), nullptr);
  EXPECT_EQ(Glyph(0x2FE0), nullptr);
}

TEST_F(GlyphsTest, AtlasGrowsOnlyByTheCharactersShown) {
  DrawUntilSettled({"plain ascii name.mp4"});
  const int before = TextFont->Glyphs.Size;
  const int buildsBefore = gui.FontAtlasBuilds();

  DrawUntilSettled({"Ωμέγα.mp4", "Ωμέγα again.mkv"});  // five new characters, twice
  EXPECT_EQ(TextFont->Glyphs.Size, before + 5);
  DrawUntilSettled({"漢字 Ωμέγα.mp4"});
  EXPECT_EQ(TextFont->Glyphs.Size, before + 7);

  // Characters already there cost no refill, however often they are shown.
  const int builds = gui.FontAtlasBuilds();
  EXPECT_GT(builds, buildsBefore);
  DrawUntilSettled({"字漢 γαμέΩ", "Ωμέγα"});
  EXPECT_EQ(gui.FontAtlasBuilds(), builds);
}

// A list scrolled through names in ever new characters: the atlas is
// refilled between frames at most every kGlyphRefillInterval of frame time,
// and in the end holds every character shown.
TEST_F(GlyphsTest, RefillsComeAFewTimesASecondWhileNewCharactersKeepComing) {
  const float frameSeconds = ImGui::GetIO().DeltaTime;
  std::vector<std::string> lines;
  const int frames = 240;  // four seconds of frames, a new character in each
  const int buildsBefore = gui.FontAtlasBuilds();
  for (int frame = 0; frame < frames; ++frame) {
    char name[32];
    ImTextCharToUtf8(name, static_cast<unsigned>(0x4E00 + frame * 7));
    lines.emplace_back(name);
    gui.Frame([&] { TextWithTooltipWhenCut(lines.back()); });
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const int refills = gui.FontAtlasBuilds() - buildsBefore;
  EXPECT_LE(refills, static_cast<int>(frames * frameSeconds / kGlyphRefillInterval) + 1);
  EXPECT_GE(refills, 2);  // and they did come while the characters kept coming
  DrawUntilSettled(lines);
  for (int frame = 0; frame < frames; ++frame) EXPECT_NE(Glyph(0x4E00 + frame * 7), nullptr) << frame;
}

// A tree of names in many scripts: past the budget new characters show as
// U+FFFD, and the atlas stays the size the budget allows.
TEST_F(GlyphsTest, BeyondTheBudgetNewCharactersShowTheReplacementCharacter) {
  DrawUntilSettled({"start"});
  const int before = TextFont->Glyphs.Size;
  const size_t total = GlyphDemand::kBudget + 500;
  std::vector<std::string> lines;
  for (size_t first = 0; first < total; first += 100) {
    std::string line;
    for (size_t i = first; i < std::min(total, first + 100); ++i) {
      char utf8[5] = {};
      ImTextCharToUtf8(utf8, static_cast<unsigned>(0x4E00 + i));
      line += utf8;
    }
    lines.push_back(line);
  }
  DrawUntilSettled(lines);
  EXPECT_EQ(GlyphDemand::Asked(), GlyphDemand::kBudget);
  EXPECT_LE(TextFont->Glyphs.Size, before + static_cast<int>(GlyphDemand::kBudget));
  EXPECT_NE(Glyph(0x4E00), nullptr);
  EXPECT_NE(Glyph(0x4E00 + GlyphDemand::kBudget - 1), nullptr);
  EXPECT_EQ(Glyph(0x4E00 + GlyphDemand::kBudget), nullptr);
  // Characters past the budget draw as replacement characters, those
  // within it as themselves.
  const std::string firstLine = lines.front().substr(0, 3 * 20), lastLine = lines.back().substr(0, 3 * 20);
  DrawUntilSettled({firstLine, lastLine});
  std::string replaced;
  for (int i = 0; i < 20; ++i) replaced += "\uFFFD";
  EXPECT_EQ(gui.WindowText("##TestWindow"), firstLine + replaced);
}

TEST_F(GlyphsTest, ASizeChangeDrawsTheSystemFontsGlyphsAgainAtTheNewSize) {
  DrawUntilSettled({"東京 Ελλάδα"});
  ASSERT_NE(Glyph(U'東'), nullptr);
  const float smallHeight = Glyph(U'東')->Y1 - Glyph(U'東')->Y0;
  SaveFontSize(5);  // 16 px to 36 px
  DrawUntilSettled({"東京 Ελλάδα"});
  EXPECT_EQ(TextFont->FontSize, 36.0f);
  ASSERT_NE(Glyph(U'東'), nullptr);
  ASSERT_NE(Glyph(U'Ε'), nullptr);
  const float largeHeight = Glyph(U'東')->Y1 - Glyph(U'東')->Y0;
  EXPECT_NEAR(largeHeight / smallHeight, 36.0f / 16.0f, 0.25f);
  EXPECT_EQ(gui.WindowText("##TestWindow"), "東京Ελλάδα");
}

}  // namespace

// Names in every script: the glyphs drawn for them come from the system's
// fonts, only for characters shown, a few refills a second at most, and
// never beyond the budget.
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <chrono>
#include <cmath>
#include <set>
#include <string>
#include <thread>

#include "gui_harness.h"
#include "kit/fonts.h"
#include "kit/frame_demand.h"
#include "kit/glyph_demand.h"
#include "kit/glyph_supply.h"
#include "kit/gui_thread.h"
#include "kit/settings.h"
#include "kit/widgets.h"

namespace {

// A line drawn whole, every character noted though the window cuts it off.
void ShowLine(const std::string& line) {
  GlyphDemand::Note(line);
  ImGui::TextUnformatted(line.c_str());
}

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
      for (const std::string& line : lines) ShowLine(line);
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

// Marks drawn over the letter before them (Thai vowels and tones, the
// Devanagari virama and vowel signs below or above): no advance of their own.
bool CombiningMark(char32_t c) {
  return (c >= 0x0E31 && c <= 0x0E3A && c != 0x0E32 && c != 0x0E33) || (c >= 0x0E47 && c <= 0x0E4E) ||
         (c >= 0x0900 && c <= 0x0902) || (c >= 0x0941 && c <= 0x094D);
}

TEST_F(GlyphsTest, NamesInManyScriptsDrawEveryCharacterFromAFont) {
  // A zero-width joiner (U+200D) takes no room and draws nothing.
  const std::string name = "日本語のテスト 한국어 ภาษาไทย עברית عربي हिन्दी Ελληνικά Кириллица ★☂ a‍b";
  DrawUntilSettled({name});
  const std::string drawn = gui.WindowText("##TestWindow");
  std::string expected = WithoutSpaces(name);
  expected.erase(expected.find("‍"), 3);
  EXPECT_EQ(drawn, expected);  // no U+FFFD anywhere
  for (char32_t c : Decoded(WithoutSpaces(name))) {
    const ImFontGlyph* glyph = Glyph(c);
    ASSERT_NE(glyph, nullptr) << std::hex << "U+" << static_cast<unsigned>(c);
    if (c == 0x200D) {
      EXPECT_TRUE(glyph->AdvanceX == 0.0f && !glyph->Visible);
    } else if (!CombiningMark(c)) {
      EXPECT_GT(glyph->AdvanceX, 0.0f) << std::hex << static_cast<unsigned>(c);
    }
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

  // Its pixels reached the texture: ink inside, and a blank pixel all
  // round, so the glyphs beside it in the atlas never bleed into it.
  unsigned char* alpha = nullptr;
  int width = 0, height = 0;
  ImGui::GetIO().Fonts->GetTexDataAsAlpha8(&alpha, &width, &height);
  const int x0 = static_cast<int>(std::lround(kanji->U0 * width)), x1 = static_cast<int>(std::lround(kanji->U1 * width));
  const int y0 = static_cast<int>(std::lround(kanji->V0 * height)), y1 = static_cast<int>(std::lround(kanji->V1 * height));
  ASSERT_GT(x1 - x0, 4);
  ASSERT_GT(y1 - y0, 4);
  long ink = 0, border = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const bool edge = x == x0 || x == x1 - 1 || y == y0 || y == y1 - 1;
      (edge ? border : ink) += alpha[static_cast<size_t>(y) * width + x];
    }
  EXPECT_EQ(border, 0);
  EXPECT_GT(ink, 255L * (x1 - x0 - 2) * (y1 - y0 - 2) / 10);  // a dense character: over a tenth inked
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
  DrawUntilSettled({"\u4E01"});  // the system font is open before the clock runs
  const int buildsBefore = gui.FontAtlasBuilds();
  for (int frame = 0; frame < frames; ++frame) {
    char name[32];
    ImTextCharToUtf8(name, static_cast<unsigned>(0x4E00 + frame * 7));
    lines.emplace_back(name);
    gui.Frame([&] { ShowLine(lines.back()); });
    // The worker gets the wall time it needs (much more under the thread
    // checker), so the count depends on frame time alone.
    const auto patience = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    do {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      GuiThread::RunPosted();  // what the next frame would start with
    } while (GlyphSupply::Busy() && std::chrono::steady_clock::now() < patience);
  }
  const int refills = gui.FontAtlasBuilds() - buildsBefore;
  EXPECT_LE(refills, static_cast<int>(frames * frameSeconds / kGlyphRefillInterval) + 1);
  EXPECT_GE(refills, static_cast<int>(frames * frameSeconds / kGlyphRefillInterval) / 2);  // and they kept coming
  DrawUntilSettled(lines);
  for (int frame = 0; frame < frames; ++frame) EXPECT_NE(Glyph(0x4E00 + frame * 7), nullptr) << frame;
}

// A tree of names in many scripts: past the budget new characters show as
// U+FFFD while everything asked for is still on screen; once the user
// scrolls on, characters no longer shown make room, and the atlas never
// holds more than the budget allows.
TEST_F(GlyphsTest, PastTheBudgetCharactersWaitForRoomThatScrollingMakes) {
  DrawUntilSettled({"start"});
  const int before = TextFont->Glyphs.Size;
  // 23 lines of 200 characters (each cut at the window's edge, but noted).
  std::vector<std::string> lines;
  for (unsigned line = 0; line < 23; ++line) {
    std::string text;
    for (unsigned i = 0; i < 200; ++i) {
      char utf8[5] = {};
      ImTextCharToUtf8(utf8, 0x4E00 + line * 200 + i);
      text += utf8;
    }
    lines.push_back(text);
  }
  DrawUntilSettled(lines);
  EXPECT_EQ(GlyphDemand::Asked(), GlyphDemand::kBudget);
  EXPECT_LE(TextFont->Glyphs.Size, before + static_cast<int>(GlyphDemand::kBudget));
  EXPECT_NE(Glyph(0x4E00 + GlyphDemand::kBudget - 1), nullptr);
  EXPECT_EQ(Glyph(0x4E00 + GlyphDemand::kBudget), nullptr);
  std::string replaced;
  for (int i = 0; i < 20; ++i) replaced += "\uFFFD";
  const std::string drawn = gui.WindowText("##TestWindow");
  EXPECT_NE(drawn.find(lines[0].substr(0, 3 * 20)), std::string::npos);  // within the budget: themselves
  EXPECT_NE(drawn.find(replaced), std::string::npos);                   // past it: U+FFFD

  // Scrolled on: only the last lines are shown now.
  const std::vector<std::string> later(lines.end() - 2, lines.end());
  body = [&] {
    for (const std::string& line : later) ShowLine(line);
  };
  const int restFrames = static_cast<int>(GlyphDemand::kRestSeconds / ImGui::GetIO().DeltaTime) + 2;
  for (int frame = 0; frame <= restFrames; ++frame) gui.Frame(body);
  DrawUntilSettled(later);
  const std::string now = gui.WindowText("##TestWindow");
  EXPECT_EQ(now.find("\uFFFD"), std::string::npos);
  EXPECT_NE(now.find(later[1].substr(0, 3 * 20)), std::string::npos);
  EXPECT_LE(TextFont->Glyphs.Size, before + static_cast<int>(GlyphDemand::kBudget));
  EXPECT_LE(GlyphDemand::Asked(), GlyphDemand::kBudget);
}

TEST_F(GlyphsTest, ASizeChangeDrawsTheSystemFontsGlyphsAgainAtTheNewSize) {
  DrawUntilSettled({"東京 Ελλάδα"});
  ASSERT_NE(Glyph(U'東'), nullptr);
  const auto inkHeight = [&](char32_t c) { return Glyph(c)->Y1 - Glyph(c)->Y0 - 2; };  // less the blank border
  const float smallHeight = inkHeight(U'東');
  SaveFontSize(5);  // 16 px to 36 px
  DrawUntilSettled({"東京 Ελλάδα"});
  EXPECT_EQ(TextFont->FontSize, 36.0f);
  ASSERT_NE(Glyph(U'東'), nullptr);
  ASSERT_NE(Glyph(U'Ε'), nullptr);
  EXPECT_NEAR(inkHeight(U'東') / smallHeight, 36.0f / 16.0f, 0.25f);
  EXPECT_EQ(gui.WindowText("##TestWindow"), "東京Ελλάδα");
}

// A size picked while glyphs are still on their way at the old one: every
// glyph ends up drawn at the new size, none at the old or missing.
TEST_F(GlyphsTest, ASizeChangeWhileGlyphsAreOnTheirWayEndsWithAllAtTheNewSize) {
  std::string line;
  for (unsigned i = 0; i < 600; ++i) {
    char utf8[5] = {};
    ImTextCharToUtf8(utf8, 0x5000 + i);
    line += utf8;
  }
  const std::function<void()> show = [&] { ShowLine(line); };
  gui.Frame(show);
  gui.Frame(show);
  EXPECT_TRUE(GlyphSupply::Busy());  // still drawing at 16 px
  SaveFontSize(5);
  DrawUntilSettled({line});
  ASSERT_EQ(TextFont->FontSize, 36.0f);
  for (unsigned i = 0; i < 600; ++i) {
    const ImFontGlyph* glyph = Glyph(0x5000 + i);
    ASSERT_NE(glyph, nullptr) << i;
    EXPECT_GE(glyph->AdvanceX, 20.0f) << i;  // a full-width character at 36 px (at 16 px: 11)
  }
}

}  // namespace

namespace {

std::string CjkRun(unsigned first, unsigned count) {
  std::string text;
  for (unsigned i = 0; i < count; ++i) {
    char utf8[5] = {};
    ImTextCharToUtf8(utf8, first + i);
    text += utf8;
  }
  return text;
}

}  // namespace

// With the budget full, a character turned away gets in once others have
// rested: a window that rests meanwhile is asked to draw a frame when they
// will have, and the next frame after they are let go admits it.
TEST(GlyphDemandTest, TurnedAwayCharactersGetInOnceOthersHaveRestedEvenIfTheWindowRests) {
  GlyphDemand::Forget();
  FrameDemand::Take();
  const std::string shownBefore = CjkRun(0x4E00, GlyphDemand::kBudget), late = CjkRun(0x9000, 1);
  GlyphDemand::EndFrame(0.0);
  GlyphDemand::Note(shownBefore);
  GlyphDemand::EndFrame(0.1);
  EXPECT_EQ(GlyphDemand::TakeNew().size(), GlyphDemand::kBudget);
  FrameDemand::Take();

  GlyphDemand::Note(late);  // the list scrolled on: only the late one shows
  GlyphDemand::EndFrame(0.2);
  EXPECT_TRUE(GlyphDemand::TakeNew().empty());
  EXPECT_TRUE(GlyphDemand::TakeLetGo().empty());
  const double wait = FrameDemand::Take();
  EXPECT_NEAR(wait, GlyphDemand::kRestSeconds - 0.2, 0.05);  // asked for, though nothing else moves

  GlyphDemand::Note(late);  // that frame comes
  GlyphDemand::EndFrame(0.2 + wait);
  EXPECT_EQ(GlyphDemand::TakeLetGo().size(), GlyphDemand::kBudget / 8);
  EXPECT_EQ(FrameDemand::Take(), 0.0);
  GlyphDemand::Note(late);
  GlyphDemand::EndFrame(0.3 + wait);
  EXPECT_EQ(GlyphDemand::TakeNew(), std::vector<char32_t>{0x9000});
  EXPECT_LE(GlyphDemand::Asked(), GlyphDemand::kBudget);

  // Everything asked for on screen at once: no frame is asked for, the
  // surplus stays U+FFFD.
  GlyphDemand::Forget();
  FrameDemand::Take();
  for (double now = 0; now < 5; now += 0.5) {
    GlyphDemand::Note(shownBefore + late);
    GlyphDemand::EndFrame(now);
  }
  EXPECT_LT(FrameDemand::Take(), 0.0);
  EXPECT_TRUE(GlyphDemand::TakeLetGo().empty());
  GlyphDemand::Forget();
}

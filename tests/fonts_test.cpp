#include <gtest/gtest.h>
#include <imgui.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "platform/embedded_data.h"
#include "kit/fonts.h"
#include "kit/icons.h"
#include "kit/settings.h"
#include "test_paths.h"

namespace {

class FontsTest : public ::testing::Test {
 protected:
  void SetUp() override { ImGui::CreateContext(); }
  void TearDown() override {
    ImGui::DestroyContext();
    SaveFontSize(0);
  }
};

}  // namespace

TEST_F(FontsTest, AtlasHasTextAndEveryIconAtEverySize) {
  for (int index = 0; index < 6; ++index) {
    SaveFontSize(index);
    LoadFonts();
    ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    ASSERT_TRUE(atlas->Build());
    atlas->GetTexDataAsRGBA32(&pixels, &width, &height);
    ASSERT_NE(TextFont, nullptr);
    const float textSize = FontPixelSizes[index];
    EXPECT_EQ(FontSizeApplied, index);
    EXPECT_EQ(TextFont->FontSize, textSize);
    for (ImWchar c = 0x20; c < 0x7F; ++c) EXPECT_NE(TextFont->FindGlyphNoFallback(c), nullptr) << c;
    EXPECT_NE(TextFont->FindGlyphNoFallback(0xE9), nullptr);       // Latin-1
    EXPECT_EQ(TextFont->FindGlyphNoFallback(0x0416), nullptr);     // Cyrillic falls back...
    ASSERT_NE(TextFont->FindGlyphNoFallback(0xFFFD), nullptr);     // ...to the replacement character
    EXPECT_EQ(TextFont->FindGlyph(0x0416), TextFont->FindGlyphNoFallback(0xFFFD));
    const ImFontGlyph* letter = TextFont->FindGlyphNoFallback('H');
    for (unsigned codePoint : kIconCodePoints) {
      const ImFontGlyph* icon = TextFont->FindGlyphNoFallback(static_cast<ImWchar>(codePoint));
      ASSERT_NE(icon, nullptr) << std::hex << codePoint << " at size " << index;
      EXPECT_TRUE(icon->Visible) << std::hex << codePoint;
      // At least half an icon wide, so icon-only buttons keep one width.
      EXPECT_GE(icon->AdvanceX, textSize * 4 / 3 * 0.5f - 0.01f);
    }
    // Icons sit a quarter of the text size lower than they would unshifted.
    EXPECT_GT(TextFont->FindGlyphNoFallback(0xE8B8)->Y1, letter->Y1);
  }
}

// Every icon the tabs' labels call for, including those of tabs still to
// come, is in the embedded icon font.
TEST_F(FontsTest, EmbeddedIconFontHasEveryIconTheLabelsCallFor) {
  static const ImWchar wanted[] = {
      0xE003, 0xE034, 0xE037, 0xE043, 0xE044, 0xE047, 0xE04E, 0xE050, 0xE051, 0xE145, 0xE15B, 0xE166, 0xE233,
      0xE245, 0xE2C5, 0xE2C7, 0xE2C8, 0xE2CC, 0xE5CA, 0xE5CD, 0xE86E, 0xE873, 0xE888, 0xE88C, 0xE896, 0xE8A4,
      0xE8B3, 0xE8B8, 0xE8FD, 0xE92E, 0xE9A2, 0xEA21, 0xEA5B, 0xEA5C, 0xEB9F, 0xEBFF, 0xF1C5, 0xF1FF, 0xF4C9,
      0xF74E, 0xF775, 0xF8B4};
  std::vector<ImWchar> ranges;
  for (ImWchar c : wanted) ranges.insert(ranges.end(), {c, c});
  ranges.push_back(0);
  ImFontAtlas* atlas = ImGui::GetIO().Fonts;
  ImFontConfig config;
  config.FontDataOwnedByAtlas = false;
  const platform::EmbeddedBytes icons = platform::IconFontBytes();
  ImFont* font = atlas->AddFontFromMemoryTTF(const_cast<uint8_t*>(icons.data), static_cast<int>(icons.size), 16.0f,
                                             &config, ranges.data());
  ASSERT_TRUE(atlas->Build());
  for (ImWchar c : wanted) EXPECT_NE(font->FindGlyphNoFallback(c), nullptr) << std::hex << "U+" << c;
}

TEST_F(FontsTest, RebuildRestoresStoredSizeAndNeverTouchesEmbeddedData) {
  const platform::EmbeddedBytes text = platform::TextFontBytes(), icons = platform::IconFontBytes();
  ASSERT_GT(text.size, 100000u);
  ASSERT_GT(icons.size, 100000u);
  const std::vector<uint8_t> before(icons.data, icons.data + 4096);
  SaveFontSize(5);
  LoadFonts();
  ImGui::GetIO().Fonts->Build();
  ImGui::GetIO().Fonts->Clear();
  EXPECT_EQ(std::vector<uint8_t>(icons.data, icons.data + 4096), before);
  EXPECT_EQ(FontSizeApplied, 5);
}

// Every icon the labels use must be in the list the atlas is built from, or
// it would draw as a fallback box; and nothing unused is rasterised.
TEST(Icons, ListMatchesTheIconsTheLabelsUse) {
  const std::set<unsigned> listed(kIconCodePoints.begin(), kIconCodePoints.end());
  EXPECT_EQ(listed.size(), kIconCodePoints.size()) << "duplicate entries";
  const std::filesystem::path root(SORTIQ_SOURCE_DIR);
  const auto read = [](const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  };

  const std::string header = read(root / "kit" / "icons.h");
  const std::regex definition(R"re(#define (ICON_\w+) "\\u([0-9A-Fa-f]{4})")re");
  std::map<std::string, unsigned> macros;
  for (auto it = std::sregex_iterator(header.begin(), header.end(), definition); it != std::sregex_iterator(); ++it)
    macros[(*it)[1].str()] = std::stoul((*it)[2].str(), nullptr, 16);
  std::set<unsigned> defined;
  for (const auto& [name, codePoint] : macros) defined.insert(codePoint);
  EXPECT_EQ(defined, listed);

  const std::regex privateUseEscape(R"(\\u[EeFf][0-9A-Fa-f]{3})");
  std::set<std::string> usedMacros;
  for (const char* folder : {"app", "kit", "player", "viewer", "classifier", "grouping", "views"}) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder)) {
      const auto extension = entry.path().extension();
      if ((extension != ".cpp" && extension != ".h") || entry.path().filename() == "icons.h") continue;
      const std::string source = read(entry.path());
      EXPECT_FALSE(std::regex_search(source, privateUseEscape)) << entry.path() << ": use the ICON_ names";
      for (size_t i = 0; i + 1 < source.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(source[i]), b1 = static_cast<unsigned char>(source[i + 1]);
        EXPECT_FALSE(b0 == 0xEE || (b0 == 0xEF && b1 >= 0x80 && b1 <= 0xA3)) << entry.path() << ": raw icon bytes";
      }
      for (const auto& [name, codePoint] : macros)
        if (source.find(name) != std::string::npos) usedMacros.insert(name);
    }
  }
  for (const auto& [name, codePoint] : macros) EXPECT_TRUE(usedMacros.count(name)) << name << " is never used";
}

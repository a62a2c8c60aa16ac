// Font files the rasteriser must never be handed: cut short, pointing
// outside themselves, or asked for a face they do not have.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "kit/font_face.h"

namespace {

std::vector<unsigned char> Read(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), {});
}

uint32_t At32(const std::vector<unsigned char>& b, size_t i) {
  return (uint32_t{b[i]} << 24) | (uint32_t{b[i + 1]} << 16) | (uint32_t{b[i + 2]} << 8) | b[i + 3];
}

// Where the directory or the last table of a single-face font ends.
uint64_t TablesEnd(const std::vector<unsigned char>& font) {
  const size_t tables = (font[4] << 8) | font[5];
  uint64_t end = 12 + 16 * tables;
  if (end > font.size()) return end;
  for (size_t i = 0; i < tables; ++i)
    end = std::max<uint64_t>(end, uint64_t{At32(font, 12 + 16 * i + 8)} + At32(font, 12 + 16 * i + 12));
  return end;
}

}  // namespace

TEST(FontFace, AFaceCutShortIsRefusedAndAWholeOneDraws) {
  const std::vector<unsigned char> font = Read("/usr/share/fonts/truetype/noto/NotoSansHebrew-Regular.ttf");
  ASSERT_GT(font.size(), 1000u);
  const size_t end = TablesEnd(font);
  for (size_t cut = 0; cut <= font.size(); cut += std::max<size_t>(1, font.size() / 40)) {
    const auto face = FontFace::FromBytes(font.data(), cut, 0);
    EXPECT_EQ(face != nullptr, cut >= end) << "cut at " << cut << " of " << font.size();
  }
  const auto whole = FontFace::FromBytes(font.data(), font.size(), 0);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(FontFace::FromBytes(font.data(), font.size(), 1), nullptr);  // one face only
  GlyphBitmap alef;
  ASSERT_TRUE(whole->Rasterise(U'א', 24.0f, whole->AscentAt(24.0f), alef));
  EXPECT_EQ(alef.alpha.size(), static_cast<size_t>(alef.width * alef.height));
  EXPECT_GT(*std::max_element(alef.alpha.begin(), alef.alpha.end()), 200);  // ink, not an empty box
  EXPECT_FALSE(whole->Rasterise(U'語', 24.0f, 20.0f, alef));                // not in this font
}

TEST(FontFace, DamagedDirectoriesAndTableHeadersAreRefusedOrReadOnlyInside) {
  const std::vector<unsigned char> original = Read("/usr/share/fonts/truetype/noto/NotoSansHebrew-Regular.ttf");
  const size_t tables = (original[4] << 8) | original[5];
  // Where the rasteriser starts reading: the directory and the first bytes
  // of every table.
  std::vector<std::pair<size_t, size_t>> regions = {{0, 12 + 16 * tables}};
  for (size_t i = 0; i < tables; ++i)
    regions.emplace_back(At32(original, 12 + 16 * i + 8), std::min<size_t>(64, At32(original, 12 + 16 * i + 12)));
  std::mt19937 random(7);
  int refused = 0, drawn = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    std::vector<unsigned char> font = original;
    for (int flips = 0; flips < 3; ++flips) {
      const auto& [start, length] = regions[random() % regions.size()];
      font[start + random() % length] ^= static_cast<unsigned char>(1u << (random() % 8));
    }
    size_t offset = 0;
    const uint32_t version = At32(font, 0);
    const bool versionKnown = version == 0x00010000u || version == 0x4F54544Fu || version == 0x74727565u;
    EXPECT_EQ(FontTablesInside(font.data(), font.size(), 0, offset), versionKnown && TablesEnd(font) <= font.size())
        << "trial " << trial;
    // A face accepted is read only inside its bytes (the sanitizer build
    // sees every read), and a broken one ends nothing but its own drawing.
    const auto face = FontFace::FromBytes(font.data(), font.size(), 0);
    if (!face) {
      ++refused;
      continue;
    }
    for (char32_t c : {U'א', U'ש', U'ת', U'a'}) {
      GlyphBitmap glyph;
      drawn += face->Rasterise(c, 20.0f, face->AscentAt(20.0f), glyph);
    }
  }
  EXPECT_GT(refused, 100);
  EXPECT_GT(drawn, 1000);
  // A collection: every face it lists is found, one past them is not.
  const std::vector<unsigned char> collection = Read("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc");
  ASSERT_GT(collection.size(), 16u);
  const int faces = static_cast<int>(At32(collection, 8));
  size_t offset = 0;
  for (int face = 0; face < faces; ++face) EXPECT_TRUE(FontTablesInside(collection.data(), collection.size(), face, offset));
  EXPECT_FALSE(FontTablesInside(collection.data(), collection.size(), faces, offset));
  EXPECT_FALSE(FontTablesInside(collection.data(), 12 + 4 * faces - 1, 0, offset));
}

// The CJK collection keeps its outlines in a CFF table: damage where its
// reading starts (header, name, dictionary and string indexes, the first
// subroutines) is refused or drawn from inside the file, never read past.
TEST(FontFace, DamagedCompactOutlinesAreRefusedOrReadOnlyInside) {
  std::vector<unsigned char> font = Read("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc");
  ASSERT_GT(font.size(), 1000000u);
  size_t face = 0;
  ASSERT_TRUE(FontTablesInside(font.data(), font.size(), 0, face));
  size_t cff = 0, cffLength = 0;
  for (size_t i = 0, tables = (font[face + 4] << 8) | font[face + 5]; i < tables; ++i) {
    const size_t record = face + 12 + 16 * i;
    if (std::equal(font.begin() + record, font.begin() + record + 4, "CFF ")) {
      cff = At32(font, record + 8);
      cffLength = At32(font, record + 12);
    }
  }
  ASSERT_GT(cffLength, 4096u);
  std::mt19937 random(11);
  int drawn = 0;
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<std::pair<size_t, unsigned char>> flipped;
    for (int flips = 0; flips < 3; ++flips) {
      const size_t at = cff + random() % 4096;
      flipped.emplace_back(at, font[at]);
      font[at] ^= static_cast<unsigned char>(1u << (random() % 8));
    }
    if (const auto damaged = FontFace::FromBytes(font.data(), font.size(), 0)) {
      for (char32_t c : {U'語', U'日', U'あ', U'한'}) {
        GlyphBitmap glyph;
        drawn += damaged->Rasterise(c, 20.0f, damaged->AscentAt(20.0f), glyph);
      }
    }
    for (auto it = flipped.rbegin(); it != flipped.rend(); ++it) font[it->first] = it->second;
  }
  EXPECT_GT(drawn, 100);
}

namespace {

// Offset and length of a table of the face starting at `face`.
std::pair<size_t, size_t> TableOf(const std::vector<unsigned char>& font, size_t face, const char* tag) {
  for (size_t i = 0, tables = (font[face + 4] << 8) | font[face + 5]; i < tables; ++i) {
    const size_t record = face + 12 + 16 * i;
    if (std::equal(tag, tag + 4, font.begin() + record)) return {At32(font, record + 8), At32(font, record + 12)};
  }
  return {0, 0};
}

void Put16(std::vector<unsigned char>& font, size_t at, unsigned value) {
  font[at] = static_cast<unsigned char>(value >> 8);
  font[at + 1] = static_cast<unsigned char>(value);
}

}  // namespace

// Damage the rasteriser would read past the end of the file for, each
// refused when the face is opened.
TEST(FontFace, DamageThatLeadsReadsOutsideIsRefusedOnOpening) {
  const std::vector<unsigned char> hebrew = Read("/usr/share/fonts/truetype/noto/NotoSansHebrew-Regular.ttf");
  ASSERT_NE(FontFace::FromBytes(hebrew.data(), hebrew.size(), 0), nullptr);

  std::vector<unsigned char> font = hebrew;  // no long metrics: the last one is read before the table
  Put16(font, TableOf(font, 0, "hhea").first + 34, 0);
  EXPECT_EQ(FontFace::FromBytes(font.data(), font.size(), 0), nullptr);

  font = hebrew;  // every Unicode map a byte map as long as it claims
  const size_t cmap = TableOf(font, 0, "cmap").first;
  ASSERT_LT(hebrew.size(), 0xFFFFu * 2);
  for (size_t i = 0, maps = (font[cmap + 2] << 8) | font[cmap + 3]; i < maps; ++i) {
    const size_t map = cmap + At32(font, cmap + 4 + 8 * i + 4);
    Put16(font, map, 0);
    Put16(font, map + 2, 0xFFFF);
  }
  EXPECT_EQ(FontFace::FromBytes(font.data(), font.size(), 0), nullptr);

  // Compact outlines whose table is said to end before its glyphs: the
  // file goes on, but the outlines would be read from outside their table.
  std::vector<unsigned char> cjk = Read("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc");
  ASSERT_NE(FontFace::FromBytes(cjk.data(), cjk.size(), 0), nullptr);
  const size_t face = At32(cjk, 12);
  for (size_t i = 0, tables = (cjk[face + 4] << 8) | cjk[face + 5]; i < tables; ++i) {
    const size_t record = face + 12 + 16 * i;
    if (std::equal(record + cjk.begin(), record + cjk.begin() + 4, "CFF ")) {
      cjk[record + 12] = cjk[record + 13] = 0;  // length: 64 KB at most
    }
  }
  EXPECT_EQ(FontFace::FromBytes(cjk.data(), cjk.size(), 0), nullptr);
}

#include "kit/font_face.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/whole_file.h"

// The rasteriser is compiled here, privately, so that what it would assert
// on (a font it cannot read) ends the drawing of one glyph instead of the
// program, and what it allocated on the way is given back.
namespace {

struct FontFault {};

thread_local std::vector<void*> liveAllocations;

void* FontAllocate(size_t bytes) {
  void* block = std::malloc(bytes);
  if (!block) throw FontFault{};
  liveAllocations.push_back(block);
  return block;
}

void FontRelease(void* block) {
  if (!block) return;
  auto it = std::find(liveAllocations.rbegin(), liveAllocations.rend(), block);
  if (it != liveAllocations.rend()) liveAllocations.erase(std::next(it).base());
  std::free(block);
}

void ReleaseAfterFault() {
  for (void* block : liveAllocations) std::free(block);
  liveAllocations.clear();
}

}  // namespace

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_assert(x) ((x) ? (void)0 : throw FontFault{})
#define STBTT_malloc(bytes, context) ((void)(context), FontAllocate(bytes))
#define STBTT_free(block, context) ((void)(context), FontRelease(block))
// A system header: its own warnings are not this program's.
#include <stb/stb_truetype.h>

struct FontFace::Rasteriser {
  stbtt_fontinfo info{};
};

namespace {

// Runs a call into the rasteriser; false when it found the font broken.
template <typename Call>
bool Guarded(Call call) {
  try {
    call();
    return true;
  } catch (const FontFault&) {
    ReleaseAfterFault();
    return false;
  }
}

uint32_t BigEndian32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}
uint16_t BigEndian16(const unsigned char* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

struct TableSpan {
  bool found = false;
  uint64_t offset = 0, length = 0;
};

// A table of the face by its tag.
TableSpan FindTable(const unsigned char* data, size_t faceOffset, const char* tag) {
  const size_t tables = BigEndian16(data + faceOffset + 4);
  for (size_t i = 0; i < tables; ++i) {
    const unsigned char* record = data + faceOffset + 12 + 16 * i;
    if (std::equal(tag, tag + 4, record)) return {true, BigEndian32(record + 8), BigEndian32(record + 12)};
  }
  return {};
}

// The fixed parts the rasteriser reads of the tables it needs are inside
// those tables: a header, the list of character maps, the horizontal
// metrics and the glyph locations. (Table bounds are checked already.)
bool TableHeadersWhole(const unsigned char* data, size_t faceOffset) {
  const TableSpan head = FindTable(data, faceOffset, "head"), maxp = FindTable(data, faceOffset, "maxp"),
                  hhea = FindTable(data, faceOffset, "hhea"), hmtx = FindTable(data, faceOffset, "hmtx"),
                  cmap = FindTable(data, faceOffset, "cmap"), loca = FindTable(data, faceOffset, "loca"),
                  glyf = FindTable(data, faceOffset, "glyf");
  if (head.length < 54 || maxp.length < 6 || hhea.length < 36 || cmap.length < 4) return false;
  if (4 + 8 * uint64_t{BigEndian16(data + cmap.offset + 2)} > cmap.length) return false;
  const uint64_t glyphs = BigEndian16(data + maxp.offset + 4);
  const uint64_t longMetrics = BigEndian16(data + hhea.offset + 34);
  if (longMetrics == 0) return false;  // the last long metric is read for every glyph after them
  if (4 * longMetrics + 2 * (glyphs > longMetrics ? glyphs - longMetrics : 0) > hmtx.length) return false;
  if (!glyf.found) return true;  // outlines in a CFF table, checked on their own
  const uint64_t entry = BigEndian16(data + head.offset + 50) ? 4 : 2;
  return loca.found && (glyphs + 1) * entry <= loca.length;
}

// An INDEX of the CFF table at `at` (a count, the size of its offsets, the
// offsets, the data), walked as the rasteriser walks it: false when any
// part of it leaves the table. Leaves `at` after it.
bool CompactIndexInside(const unsigned char* table, uint64_t length, uint64_t& at) {
  if (at + 2 > length) return false;
  const uint64_t count = BigEndian16(table + at);
  at += 2;
  if (count == 0) return true;
  if (at + 1 > length) return false;
  const uint64_t offsetSize = table[at++];
  if (offsetSize < 1 || offsetSize > 4) return false;
  const uint64_t lastAt = at + offsetSize * count;
  if (lastAt + offsetSize > length) return false;
  uint64_t last = 0;
  for (uint64_t i = 0; i < offsetSize; ++i) last = (last << 8) | table[lastAt + i];
  at = lastAt + offsetSize;
  if (last == 0 || at + last - 1 > length) return false;
  at += last - 1;
  return true;
}

// The rasteriser opens compact (CFF) outlines as if their table ran on for
// 512 MB. Every INDEX and dictionary it reads on opening must lie inside
// the table; the offsets of the glyph-to-dictionary map is returned, so the
// buffers can be cut to the table afterwards.
bool CompactOutlinesInside(const unsigned char* data, const TableSpan& cff, uint64_t& fdSelectAt) {
  const unsigned char* table = data + cff.offset;
  const uint64_t length = cff.length;
  if (length < 4 || length > 0x7FFFFFFF) return false;
  uint64_t at = table[2];  // the header's size
  uint64_t topIndexAt = 0;
  if (!CompactIndexInside(table, length, at)) return false;  // names
  topIndexAt = at;
  if (!CompactIndexInside(table, length, at)) return false;  // top dictionaries
  if (!CompactIndexInside(table, length, at)) return false;  // strings
  if (!CompactIndexInside(table, length, at)) return false;  // global subroutines
  stbtt__buf bounded = stbtt__new_buf(table, static_cast<size_t>(length));
  stbtt__buf_seek(&bounded, static_cast<int>(topIndexAt));
  stbtt__buf topDict = stbtt__cff_index_get(stbtt__cff_get_index(&bounded), 0);
  stbtt_uint32 charStrings = 0, fdArray = 0, fdSelect = 0, privateAt[2] = {0, 0};
  stbtt__dict_get_ints(&topDict, 17, 1, &charStrings);
  stbtt__dict_get_ints(&topDict, 0x100 | 36, 1, &fdArray);
  stbtt__dict_get_ints(&topDict, 0x100 | 37, 1, &fdSelect);
  stbtt__dict_get_ints(&topDict, 18, 2, privateAt);
  if (privateAt[0] && privateAt[1]) {
    if (uint64_t{privateAt[1]} + privateAt[0] > length) return false;
    stbtt__buf privateDict = stbtt__buf_range(&bounded, static_cast<int>(privateAt[1]), static_cast<int>(privateAt[0]));
    stbtt_uint32 subroutines = 0;
    stbtt__dict_get_ints(&privateDict, 19, 1, &subroutines);
    at = uint64_t{privateAt[1]} + subroutines;
    if (subroutines && !CompactIndexInside(table, length, at)) return false;
  }
  if (fdArray) {
    at = fdArray;
    if (!CompactIndexInside(table, length, at) || fdSelect >= length) return false;
  }
  fdSelectAt = fdSelect;
  at = charStrings;
  return charStrings != 0 && CompactIndexInside(table, length, at);
}

// The character map the rasteriser chose is one it can read, and its
// tables of ranges lie inside the file.
bool CharacterMapInside(const unsigned char* data, size_t size, int mapAt) {
  if (mapAt <= 0) return false;
  const uint64_t map = static_cast<uint64_t>(mapAt);
  if (map + 16 > size) return false;
  switch (BigEndian16(data + map)) {
    case 0:  // a byte per character, as many as its length says
      return map + std::max<uint64_t>(262, BigEndian16(data + map + 2)) <= size;
    case 4: {
      // Segments: end codes, a pad, start codes, deltas, then offsets into
      // the glyph array, each counted from where the offset itself is.
      const size_t segments = BigEndian16(data + map + 6) / 2;
      if (segments == 0 || map + 16 + segments * 8 > size) return false;
      // The binary search steps by these; they stay inside the end codes.
      if (BigEndian16(data + map + 8) / 2 + BigEndian16(data + map + 12) / 2 > segments) return false;
      for (size_t i = 0; i < segments; ++i) {
        const size_t end = BigEndian16(data + map + 14 + 2 * i);
        const size_t start = BigEndian16(data + map + 16 + segments * 2 + 2 * i);
        const size_t rangeAt = map + 16 + segments * 6 + 2 * i;
        const size_t rangeOffset = BigEndian16(data + rangeAt);
        if (rangeOffset != 0 && end >= start && rangeAt + rangeOffset + (end - start) * 2 + 2 > size) return false;
      }
      return true;
    }
    case 6:
      return map + 10 + 2 * size_t{BigEndian16(data + map + 8)} <= size;
    case 12:
    case 13:
      return map + 16 + 12 * uint64_t{BigEndian32(data + map + 12)} <= size;
    default:
      return false;
  }
}


}  // namespace

bool FontTablesInside(const unsigned char* data, size_t size, int faceIndex, size_t& faceOffset) {
  if (!data || size < 12 || faceIndex < 0) return false;
  uint64_t offset = 0;
  if (BigEndian32(data) == 0x74746366u) {  // "ttcf": a collection of faces
    const uint64_t faces = BigEndian32(data + 8);
    if (static_cast<uint64_t>(faceIndex) >= faces || 12 + 4 * faces > size) return false;
    offset = BigEndian32(data + 12 + 4 * static_cast<size_t>(faceIndex));
  } else if (faceIndex != 0) {
    return false;
  }
  if (offset + 12 > size) return false;
  const uint32_t version = BigEndian32(data + offset);
  if (version != 0x00010000u && version != 0x4F54544Fu /* OTTO */ && version != 0x74727565u /* true */) return false;
  const uint64_t tables = BigEndian16(data + offset + 4);
  if (offset + 12 + 16 * tables > size) return false;
  for (uint64_t i = 0; i < tables; ++i) {
    const unsigned char* record = data + offset + 12 + 16 * i;
    if (uint64_t{BigEndian32(record + 8)} + BigEndian32(record + 12) > size) return false;
  }
  faceOffset = static_cast<size_t>(offset);
  return true;
}

std::unique_ptr<FontFace> FontFace::FromFile(const std::string& path, int faceIndex) {
  std::unique_ptr<FontFace> face(new FontFace);
  if (!platform::ReadWholeFile(path, FontFace::kLargestFile, face->owned)) return nullptr;
  if (!face->Open(face->owned.data(), face->owned.size(), faceIndex)) return nullptr;
  return face;
}

std::unique_ptr<FontFace> FontFace::FromBytes(const unsigned char* data, size_t size, int faceIndex) {
  std::unique_ptr<FontFace> face(new FontFace);
  if (!face->Open(data, size, faceIndex)) return nullptr;
  return face;
}

FontFace::~FontFace() = default;

bool FontFace::Open(const unsigned char* bytes, size_t length, int faceIndex) {
  size_t offset = 0;
  if (!FontTablesInside(bytes, length, faceIndex, offset) || !TableHeadersWhole(bytes, offset)) return false;
  const TableSpan cff = FindTable(bytes, offset, "CFF ");
  const bool compact = !FindTable(bytes, offset, "glyf").found;
  uint64_t fdSelectAt = 0;
  if (compact && (!cff.found || !Guarded([&] {
        if (!CompactOutlinesInside(bytes, cff, fdSelectAt)) throw FontFault{};
      })))
    return false;
  data = bytes;
  size = length;
  rasteriser = std::make_unique<Rasteriser>();
  stbtt_fontinfo& info = rasteriser->info;
  bool opened = false;
  if (!Guarded([&] { opened = stbtt_InitFont(&info, const_cast<unsigned char*>(bytes), static_cast<int>(offset)) != 0; }))
    return false;
  if (!opened || !CharacterMapInside(bytes, length, info.index_map)) return false;
  if (compact) {
    // Every later read of the outlines goes through these two: cut to the table.
    info.cff.size = static_cast<int>(cff.length);
    if (info.fdselect.size) info.fdselect.size = static_cast<int>(cff.length - fdSelectAt);
  }
  glyphs.assign(static_cast<size_t>(std::max(info.numGlyphs, 0)), GlyphCheck{});
  return true;
}

bool FontFace::HasGlyph(char32_t codePoint) const {
  int glyph = 0;
  if (broken || !Guarded([&] { glyph = stbtt_FindGlyphIndex(&rasteriser->info, static_cast<int>(codePoint)); }))
    return broken = true, false;
  return glyph != 0 && GlyphInside(glyph);
}

float FontFace::AscentAt(float pixelSize) const {
  int ascent = 0, descent = 0, lineGap = 0;
  stbtt_GetFontVMetrics(&rasteriser->info, &ascent, &descent, &lineGap);
  const float scale = stbtt_ScaleForPixelHeight(&rasteriser->info, pixelSize);
  return std::floor(ascent * scale + (ascent > 0 ? 1.0f : -1.0f));
}

bool FontFace::GlyphInside(int glyph) const {
  if (glyph < 0 || static_cast<size_t>(glyph) >= glyphs.size()) return false;
  if (rasteriser->info.cff.size) return glyphs[static_cast<size_t>(glyph)].state != GlyphCheck::kBad;
  uint32_t parts = 0;
  return OutlineInside(glyph, parts);
}

// An outline of the glyf table lies inside the glyph's own bytes: the
// contour ends, instructions, flags and coordinates of a simple glyph, and
// the components of a composite one. The rasteriser expands composites
// without sharing, so a glyph whose expansion has more than kMostParts
// parts, or that contains itself, is refused. Each glyph is checked once.
bool FontFace::OutlineInside(int glyph, uint32_t& parts) const {
  constexpr uint32_t kMostParts = 64;
  if (glyph < 0 || static_cast<size_t>(glyph) >= glyphs.size()) return false;
  GlyphCheck& check = glyphs[static_cast<size_t>(glyph)];
  if (check.state == GlyphCheck::kGood) return (parts += check.parts) <= kMostParts;
  if (check.state != GlyphCheck::kUnknown) return false;  // bad, or being checked: it contains itself
  check.state = GlyphCheck::kChecking;
  uint32_t own = 0;
  const bool inside = OutlineBytesInside(glyph, own);
  check.state = inside ? GlyphCheck::kGood : GlyphCheck::kBad;
  check.parts = own;
  return inside && (parts += own) <= kMostParts;
}

bool FontFace::OutlineBytesInside(int glyph, uint32_t& parts) const {
  const stbtt_fontinfo& info = rasteriser->info;
  const size_t glyf = static_cast<size_t>(info.glyf), loca = static_cast<size_t>(info.loca);
  const size_t index = static_cast<size_t>(glyph);
  size_t start = 0, end = 0;
  if (info.indexToLocFormat == 0) {
    start = glyf + size_t{BigEndian16(data + loca + 2 * index)} * 2;
    end = glyf + size_t{BigEndian16(data + loca + 2 * index + 2)} * 2;
  } else {
    start = glyf + BigEndian32(data + loca + 4 * index);
    end = glyf + BigEndian32(data + loca + 4 * index + 4);
  }
  if (start == end) return true;  // no outline: a space
  if (end < start || end > size || start + 10 > end) return false;
  const auto contours = static_cast<int16_t>(BigEndian16(data + start));
  size_t at = start + 10;
  if (contours > 0) {
    const size_t n = static_cast<size_t>(contours);
    if (at + 2 * n + 2 > end) return false;
    const size_t points = size_t{BigEndian16(data + at + 2 * (n - 1))} + 1;
    at += 2 * n;
    at += 2 + BigEndian16(data + at);  // the instructions
    size_t coordinateBytes = 0;
    for (size_t point = 0; point < points;) {
      if (at >= end) return false;
      const unsigned char flags = data[at++];
      size_t repeat = 1;
      if (flags & 8) {
        if (at >= end) return false;
        repeat += data[at++];
      }
      const size_t count = std::min(repeat, points - point);
      coordinateBytes += count * ((flags & 2) ? 1 : (flags & 16) ? 0 : 2);
      coordinateBytes += count * ((flags & 4) ? 1 : (flags & 32) ? 0 : 2);
      point += count;
    }
    return at + coordinateBytes <= end;
  }
  if (contours < 0) {
    for (;;) {
      if (at + 4 > end) return false;
      const uint16_t flags = BigEndian16(data + at);
      const int component = BigEndian16(data + at + 2);
      at += 4 + ((flags & 1) ? 4 : 2);
      at += (flags & 8) ? 2 : (flags & 0x40) ? 4 : (flags & 0x80) ? 8 : 0;
      ++parts;
      if (at > end || !OutlineInside(component, parts)) return false;
      if (!(flags & 0x20)) return true;
    }
  }
  return true;
}

bool FontFace::Rasterise(char32_t codePoint, float pixelSize, float lineAscent, GlyphBitmap& out) const {
  if (broken) return false;
  int glyph = 0;
  if (!Guarded([&] { glyph = stbtt_FindGlyphIndex(&rasteriser->info, static_cast<int>(codePoint)); })) {
    broken = true;  // its character map cannot be read: nothing of it can
    return false;
  }
  if (glyph == 0 || !GlyphInside(glyph)) return false;
  if (!Guarded([&] { DrawGlyph(glyph, pixelSize, lineAscent, out); })) {
    glyphs[static_cast<size_t>(glyph)].state = GlyphCheck::kBad;  // only this glyph is lost
    return false;
  }
  out.codePoint = codePoint;
  return out.width > 0;
}

void FontFace::DrawGlyph(int glyph, float pixelSize, float lineAscent, GlyphBitmap& out) const {
  const stbtt_fontinfo& info = rasteriser->info;
  out = GlyphBitmap{};
  const float scale = stbtt_ScaleForPixelHeight(&info, pixelSize);
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  stbtt_GetGlyphBitmapBox(&info, glyph, scale, scale, &x0, &y0, &x1, &y1);
  int advance = 0, bearing = 0;
  stbtt_GetGlyphHMetrics(&info, glyph, &advance, &bearing);
  // A glyph far larger than its line is a broken font, not a character,
  // and would take the atlas room of many.
  const int largest = static_cast<int>(pixelSize * 2);
  if (x1 - x0 > largest || y1 - y0 > largest || x0 < -largest || y0 < -largest || x1 > 2 * largest ||
      y1 > largest)
    return;
  out.advanceX = std::round(advance * scale);
  const int top = static_cast<int>(std::round(lineAscent));
  // One transparent pixel all round: the texture is sampled between
  // pixels, and the neighbours in the atlas must not bleed in.
  const bool empty = x1 <= x0 || y1 <= y0;
  const int width = empty ? 1 : x1 - x0, height = empty ? 1 : y1 - y0;
  out.empty = empty;
  out.width = width + 2;
  out.height = height + 2;
  out.offsetX = (empty ? 0 : x0) - 1;
  out.offsetY = top + (empty ? 0 : y0) - 1;
  out.alpha.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 0);
  if (!empty)
    stbtt_MakeGlyphBitmap(&info, out.alpha.data() + out.width + 1, width, height, out.width, scale, scale, glyph);
}

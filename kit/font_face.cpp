#include "kit/font_face.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>

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
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include <stb/stb_truetype.h>
#pragma GCC diagnostic pop

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
  uint64_t offset = 0, length = 0;
};

// A table of the face by its tag; length 0 when the face has none.
TableSpan FindTable(const unsigned char* data, size_t faceOffset, const char* tag) {
  const size_t tables = BigEndian16(data + faceOffset + 4);
  for (size_t i = 0; i < tables; ++i) {
    const unsigned char* record = data + faceOffset + 12 + 16 * i;
    if (std::equal(tag, tag + 4, record)) return {BigEndian32(record + 8), BigEndian32(record + 12)};
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
  if (4 * longMetrics + 2 * (glyphs > longMetrics ? glyphs - longMetrics : 0) > hmtx.length) return false;
  if (glyf.length == 0) return true;  // outlines in a CFF table
  const uint64_t entry = BigEndian16(data + head.offset + 50) ? 4 : 2;
  return (glyphs + 1) * entry <= loca.length;
}

// The character map the rasteriser chose is one it can read, and its
// tables of ranges lie inside the file.
bool CharacterMapInside(const unsigned char* data, size_t size, size_t map) {
  if (map == 0 || map + 16 > size) return false;
  switch (BigEndian16(data + map)) {
    case 0:
      return map + 6 + 256 <= size;
    case 4: {
      // Segments: end codes, a pad, start codes, deltas, then offsets into
      // the glyph array, each counted from where the offset itself is.
      const size_t segments = BigEndian16(data + map + 6) / 2;
      if (map + 16 + segments * 8 > size) return false;
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

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return false;
  const std::streamoff size = file.tellg();
  if (size <= 0 || static_cast<uint64_t>(size) > FontFace::kLargestFile) return false;
  bytes.resize(static_cast<size_t>(size));
  file.seekg(0);
  return static_cast<bool>(file.read(reinterpret_cast<char*>(bytes.data()), size));
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
  if (!ReadWholeFile(path, face->owned)) return nullptr;
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
  data = bytes;
  size = length;
  rasteriser = std::make_unique<Rasteriser>();
  stbtt_fontinfo& info = rasteriser->info;
  bool opened = false;
  if (!Guarded([&] { opened = stbtt_InitFont(&info, const_cast<unsigned char*>(bytes), static_cast<int>(offset)) != 0; }))
    return false;
  return opened && CharacterMapInside(bytes, length, static_cast<size_t>(info.index_map));
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
  if (glyph >= rasteriser->info.numGlyphs) return false;
  if (rasteriser->info.cff.size) return true;  // outlines read through a bounds-checked buffer
  return OutlineInside(glyph, 0);
}

// An outline of the glyf table lies inside the glyph's own bytes: the
// contour ends, instructions, flags and coordinates of a simple glyph, and
// the components of a composite one (each checked the same way, a few
// levels deep at most, so a glyph made of itself is refused).
bool FontFace::OutlineInside(int glyph, int depth) const {
  const stbtt_fontinfo& info = rasteriser->info;
  if (depth > 8 || glyph < 0 || glyph >= info.numGlyphs) return false;
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
      if (at > end || !OutlineInside(component, depth + 1)) return false;
      if (!(flags & 0x20)) return true;
    }
  }
  return true;
}

bool FontFace::Rasterise(char32_t codePoint, float pixelSize, float lineAscent, GlyphBitmap& out) const {
  if (broken) return false;
  if (!Guarded([&] { DrawGlyph(codePoint, pixelSize, lineAscent, out); })) {
    broken = true;
    return false;
  }
  return out.codePoint == codePoint;
}

void FontFace::DrawGlyph(char32_t codePoint, float pixelSize, float lineAscent, GlyphBitmap& out) const {
  const stbtt_fontinfo& info = rasteriser->info;
  out = GlyphBitmap{};
  const int glyph = stbtt_FindGlyphIndex(&info, static_cast<int>(codePoint));
  if (glyph == 0 || !GlyphInside(glyph)) return;
  const float scale = stbtt_ScaleForPixelHeight(&info, pixelSize);
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  stbtt_GetGlyphBitmapBox(&info, glyph, scale, scale, &x0, &y0, &x1, &y1);
  int advance = 0, bearing = 0;
  stbtt_GetGlyphHMetrics(&info, glyph, &advance, &bearing);
  // A glyph far larger than its line is a broken font, not a character.
  const int largest = static_cast<int>(pixelSize * 4);
  if (x1 - x0 > largest || y1 - y0 > largest || x0 < -largest || y0 < -largest) return;
  out.advanceX = std::round(advance * scale);
  const float top = std::round(lineAscent);
  if (x1 <= x0 || y1 <= y0) {
    out.width = out.height = 1;
    out.offsetX = 0;
    out.offsetY = static_cast<int>(top);
    out.alpha.assign(1, 0);
    out.codePoint = codePoint;
    return;
  }
  out.width = x1 - x0;
  out.height = y1 - y0;
  out.offsetX = x0;
  out.offsetY = static_cast<int>(top) + y0;
  out.alpha.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 0);
  stbtt_MakeGlyphBitmap(&info, out.alpha.data(), out.width, out.height, out.width, scale, scale, glyph);
  out.codePoint = codePoint;
}

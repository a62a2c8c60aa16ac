#include "kit/font_face.h"

#include <cmath>
#include <fstream>

namespace {

uint32_t BigEndian32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}
uint16_t BigEndian16(const unsigned char* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

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

bool FontFace::Open(const unsigned char* data, size_t size, int faceIndex) {
  size_t offset = 0;
  if (!FontTablesInside(data, size, faceIndex, offset)) return false;
  return stbtt_InitFont(&info, data, static_cast<int>(offset)) != 0;
}

bool FontFace::HasGlyph(char32_t codePoint) const {
  return stbtt_FindGlyphIndex(&info, static_cast<int>(codePoint)) != 0;
}

float FontFace::AscentAt(float pixelSize) const {
  int ascent = 0, descent = 0, lineGap = 0;
  stbtt_GetFontVMetrics(&info, &ascent, &descent, &lineGap);
  const float scale = stbtt_ScaleForPixelHeight(&info, pixelSize);
  return std::floor(ascent * scale + (ascent > 0 ? 1.0f : -1.0f));
}

bool FontFace::Rasterise(char32_t codePoint, float pixelSize, float lineAscent, GlyphBitmap& out) const {
  const int glyph = stbtt_FindGlyphIndex(&info, static_cast<int>(codePoint));
  if (glyph == 0) return false;
  const float scale = stbtt_ScaleForPixelHeight(&info, pixelSize);
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  stbtt_GetGlyphBitmapBox(&info, glyph, scale, scale, &x0, &y0, &x1, &y1);
  int advance = 0, bearing = 0;
  stbtt_GetGlyphHMetrics(&info, glyph, &advance, &bearing);
  // A glyph far larger than its line is a broken font, not a character.
  const int largest = static_cast<int>(pixelSize * 4);
  if (x1 - x0 > largest || y1 - y0 > largest || x0 < -largest || y0 < -largest) return false;
  out.codePoint = codePoint;
  out.advanceX = std::round(advance * scale);
  const float top = std::round(lineAscent);
  if (x1 <= x0 || y1 <= y0) {
    out.width = out.height = 1;
    out.offsetX = 0;
    out.offsetY = static_cast<int>(top);
    out.alpha.assign(1, 0);
    return true;
  }
  out.width = x1 - x0;
  out.height = y1 - y0;
  out.offsetX = x0;
  out.offsetY = static_cast<int>(top) + y0;
  out.alpha.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 0);
  stbtt_MakeGlyphBitmap(&info, out.alpha.data(), out.width, out.height, out.width, scale, scale, glyph);
  return true;
}

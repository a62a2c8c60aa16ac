#pragma once
// One face of a font file, checked before anything is drawn from it: the
// rasteriser trusts the offsets a font holds, so a face whose tables or
// character map point outside its file, or that the rasteriser finds
// broken while drawing, is refused rather than read past its end or
// allowed to end the program.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A glyph drawn at one pixel size, placed as the text font's own glyphs are:
// offsets from the pen position at the top of the line, whole pixels.
struct GlyphBitmap {
  char32_t codePoint = 0;
  int width = 0;
  int height = 0;
  int offsetX = 0;
  int offsetY = 0;
  float advanceX = 0.0f;
  bool empty = false;                // nothing to draw (a space); the bitmap is blank
  std::vector<unsigned char> alpha;  // width × height coverage, rows top down, a blank pixel all round
};

class FontFace {
 public:
  // Largest font file read: collections of every CJK face are about 20 MB.
  static constexpr size_t kLargestFile = 64u << 20;

  ~FontFace();

  // Reads the file. Null when it cannot be read, is larger than
  // kLargestFile, has no such face, or fails the check above.
  static std::unique_ptr<FontFace> FromFile(const std::string& path, int faceIndex);
  // Bytes that outlive the face (the program's own font); null as above.
  static std::unique_ptr<FontFace> FromBytes(const unsigned char* data, size_t size, int faceIndex);

  // False too once the face has been found broken.
  bool HasGlyph(char32_t codePoint) const;
  // The line's top-to-baseline distance the GUI library gives this face
  // when it is the first font of the atlas at this size.
  float AscentAt(float pixelSize) const;
  // The glyph at the pixel size, placed for a line whose ascent is given.
  // False when the face has no glyph, the glyph is implausibly large, or
  // it cannot be drawn (then only that glyph is given up).
  bool Rasterise(char32_t codePoint, float pixelSize, float lineAscent, GlyphBitmap& out) const;

 private:
  FontFace() = default;
  bool Open(const unsigned char* bytes, size_t length, int faceIndex);
  bool GlyphInside(int glyph) const;
  bool OutlineInside(int glyph, uint32_t& parts) const;
  bool OutlineBytesInside(int glyph, uint32_t& parts) const;
  void DrawGlyph(int glyph, float pixelSize, float lineAscent, GlyphBitmap& out) const;

  struct GlyphCheck {
    enum State : uint8_t { kUnknown, kChecking, kGood, kBad } state = kUnknown;
    uint32_t parts = 0;  // components in its full expansion
  };

  struct Rasteriser;
  std::vector<unsigned char> owned;
  const unsigned char* data = nullptr;
  size_t size = 0;
  std::unique_ptr<Rasteriser> rasteriser;
  mutable std::vector<GlyphCheck> glyphs;
  mutable bool broken = false;
};

// Whether the face's table directory lies inside the bytes and every table
// it lists ends inside them; the offset of the face when it does.
bool FontTablesInside(const unsigned char* data, size_t size, int faceIndex, size_t& faceOffset);

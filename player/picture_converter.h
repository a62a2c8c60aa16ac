#pragma once
// Turns decoded pictures into BGRA, with the colour range and matrix the
// source names. Playback and still pictures share it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "player/media_types.h"

struct AVFrame;
struct SwsContext;

// Largest picture the player takes on (each side, and in all); larger ones
// are refused before any frame buffer is made for them.
inline constexpr int kMaxPictureSide = 16384;
inline constexpr int64_t kMaxPicturePixels = 8192LL * 8192LL;
inline bool PictureTooLarge(int64_t width, int64_t height) {
  return width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels;
}

class PictureConverter {
 public:
  PictureConverter() = default;
  ~PictureConverter();
  PictureConverter(const PictureConverter&) = delete;
  PictureConverter& operator=(const PictureConverter&) = delete;

  // Converts the frame at its own size into out (pixels and size; the time
  // is the caller's), into out's pixel buffer when it has the right size.
  // False drops the picture.
  bool Convert(const AVFrame& frame, VideoFrame& out);
  void Reset();

 private:
  SwsContext* scaler = nullptr;  // rebuilt by the library only when a parameter changes
};

// The scaler's coefficient set (SWS_CS_*) for a frame's colour space (an
// AVColorSpace value).
int ColourMatrixFor(int colourSpace);

// The scaler writes up to 32 bytes beyond a buffer of exactly the image
// size when rows are already 64-byte multiples: every buffer has this more.
inline constexpr size_t kScalerOverrunPadding = 64;

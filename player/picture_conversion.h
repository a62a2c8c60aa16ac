#pragma once
// The rules for turning a decoded picture into BGRA, shared by playback and
// the still-picture path.
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

struct ScalerSource {
  AVPixelFormat format;
  bool fullRange;  // the JPEG-style formats carry full-range samples
};

// The format the scaler is given for a decoded format.
ScalerSource ScalerSourceFor(AVPixelFormat format);
// The scaler's coefficient set (SWS_CS_*) for a frame's colour space.
int ColourMatrixFor(AVColorSpace colourSpace);

// A zero-filled BGRA buffer of width x height laid out with 64-byte row
// alignment, with the planes and line sizes the scaler writes through. The
// buffer holds kScalerOverrunPadding bytes more than the picture: the scaler
// writes up to 32 bytes beyond a buffer of exactly the image size when rows
// are already 64-byte multiples.
bool AllocateBgraPicture(int width, int height, std::vector<uint8_t>& pixels, uint8_t* planes[4], int lineSizes[4]);
inline constexpr size_t kScalerOverrunPadding = 64;

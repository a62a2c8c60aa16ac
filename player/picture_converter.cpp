#include "player/picture_converter.h"

#include "platform/large_pages.h"
#include "player/ffmpeg.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace {

struct ScalerSource {
  AVPixelFormat format;
  bool fullRange;  // the JPEG-style formats carry full-range samples
};

ScalerSource ScalerSourceFor(AVPixelFormat format) {
  switch (format) {
    case AV_PIX_FMT_YUVJ420P: return {AV_PIX_FMT_YUV420P, true};
    case AV_PIX_FMT_YUVJ422P: return {AV_PIX_FMT_YUV422P, true};
    case AV_PIX_FMT_YUVJ444P: return {AV_PIX_FMT_YUV444P, true};
    case AV_PIX_FMT_YUVJ440P: return {AV_PIX_FMT_YUV440P, true};
    default: return {format, false};
  }
}

// Transparent pictures are shown over black: laid over it here, so that
// the colour hidden under fully transparent pixels never bleeds into the
// visible ones when the picture is scaled.
void OverBlack(VideoFrame& picture) {
  for (int y = 0; y < picture.height; ++y) {
    uint8_t* pixel = picture.pixels.data() + static_cast<size_t>(y) * picture.stride;
    for (int x = 0; x < picture.width; ++x, pixel += 4) {
      const unsigned alpha = pixel[3];
      for (int c = 0; c < 3; ++c) pixel[c] = static_cast<uint8_t>((pixel[c] * alpha + 127) / 255);
      pixel[3] = 255;
    }
  }
}

}  // namespace

int ColourMatrixFor(int colourSpace) {
  switch (colourSpace) {
    case AVCOL_SPC_BT709: return SWS_CS_ITU709;
    case AVCOL_SPC_FCC: return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M: return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL: return SWS_CS_BT2020;
    default: return SWS_CS_DEFAULT;
  }
}

PictureConverter::~PictureConverter() { Reset(); }

void PictureConverter::Reset() {
  sws_freeContext(scaler);
  scaler = nullptr;
}

bool PictureConverter::Convert(const AVFrame& frame, VideoFrame& out) {
  if (frame.width <= 0 || frame.height <= 0 || frame.format == AV_PIX_FMT_NONE) return false;
  if (PictureTooLarge(frame.width, frame.height)) return false;
  const ScalerSource source = ScalerSourceFor(static_cast<AVPixelFormat>(frame.format));
  if (!sws_isSupportedInput(source.format)) return false;
  scaler = sws_getCachedContext(scaler, frame.width, frame.height, source.format, frame.width, frame.height,
                                AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!scaler) return false;
  const bool fullRange = source.fullRange || frame.color_range == AVCOL_RANGE_JPEG;
  const int* table = sws_getCoefficients(ColourMatrixFor(frame.colorspace));
  if (!table) table = sws_getCoefficients(SWS_CS_DEFAULT);
  if (sws_setColorspaceDetails(scaler, table, fullRange ? 1 : 0, table, 1, 0, 1 << 16, 1 << 16) < 0) return false;

  const int size = av_image_get_buffer_size(AV_PIX_FMT_BGRA, frame.width, frame.height, 64);
  if (size <= 0) return false;
  // A buffer of the right size (reused from an earlier picture) is
  // overwritten as it is; clearing 33 MB for a 4K picture costs a third of
  // its conversion.
  const size_t bytes = static_cast<size_t>(size) + kScalerOverrunPadding;
  if (out.pixels.capacity() < bytes) {
    std::vector<uint8_t> fresh;
    fresh.reserve(bytes);
    platform::PreferLargePages(fresh.data(), bytes);  // before the first touch below
    out.pixels = std::move(fresh);
  }
  if (out.pixels.size() != bytes) out.pixels.assign(bytes, 0);
  uint8_t* planes[4] = {};
  int lineSizes[4] = {};
  if (av_image_fill_arrays(planes, lineSizes, out.pixels.data(), AV_PIX_FMT_BGRA, frame.width, frame.height, 64) < 0)
    return false;
  if (!planes[0] || lineSizes[0] < frame.width * 4) return false;
  out.width = frame.width;
  out.height = frame.height;
  out.stride = lineSizes[0];
  if (sws_scale(scaler, frame.data, frame.linesize, 0, frame.height, planes, lineSizes) != frame.height) return false;
  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(source.format);
  if (descriptor && (descriptor->flags & AV_PIX_FMT_FLAG_ALPHA)) OverBlack(out);
  return true;
}

#include "player/picture_conversion.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

ScalerSource ScalerSourceFor(AVPixelFormat format) {
  switch (format) {
    case AV_PIX_FMT_YUVJ420P: return {AV_PIX_FMT_YUV420P, true};
    case AV_PIX_FMT_YUVJ422P: return {AV_PIX_FMT_YUV422P, true};
    case AV_PIX_FMT_YUVJ444P: return {AV_PIX_FMT_YUV444P, true};
    case AV_PIX_FMT_YUVJ440P: return {AV_PIX_FMT_YUV440P, true};
    default: return {format, false};
  }
}

int ColourMatrixFor(AVColorSpace colourSpace) {
  switch (colourSpace) {
    case AVCOL_SPC_BT709: return SWS_CS_ITU709;
    case AVCOL_SPC_FCC: return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M: return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL: return SWS_CS_BT2020;
    default: return SWS_CS_DEFAULT;
  }
}

bool AllocateBgraPicture(int width, int height, std::vector<uint8_t>& pixels, uint8_t* planes[4], int lineSizes[4]) {
  const int size = av_image_get_buffer_size(AV_PIX_FMT_BGRA, width, height, 64);
  if (size <= 0) return false;
  pixels.assign(static_cast<size_t>(size) + kScalerOverrunPadding, 0);
  return av_image_fill_arrays(planes, lineSizes, pixels.data(), AV_PIX_FMT_BGRA, width, height, 64) >= 0;
}

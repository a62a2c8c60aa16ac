#include "player/rotation.h"

#include <cmath>

#include "player/ffmpeg.h"

extern "C" {
#include <libavutil/display.h>
}

namespace {

// The matrix turns counter-clockwise.
int QuarterTurnsOf(const uint8_t* matrix) {
  const double angle = -av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
  if (std::isnan(angle)) return 0;
  return (static_cast<int>(std::lround(angle / 90.0)) % 4 + 4) % 4 * 90;
}

}  // namespace

int RotationOf(const AVStream* stream) {
  const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
  return matrix ? QuarterTurnsOf(matrix) : 0;
}

int RotationOf(const AVFrame* frame, int fallback) {
  const AVFrameSideData* side = av_frame_get_side_data(frame, AV_FRAME_DATA_DISPLAYMATRIX);
  return side && side->size >= 9 * 4 ? QuarterTurnsOf(side->data) : fallback;
}

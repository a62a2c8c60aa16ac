#include "player/decoder.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "player/ffmpeg.h"

extern "C" {
#include <libavutil/display.h>
}

AVCodecContext* OpenDecoder(const AVStream* stream, const char* preferredName, DecoderThreads threads) {
  if (!stream || !stream->codecpar) return nullptr;
  const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
  if (preferredName) {
    if (const AVCodec* named = avcodec_find_decoder_by_name(preferredName)) decoder = named;
  }
  if (!decoder) return nullptr;
  AVCodecContext* context = avcodec_alloc_context3(decoder);
  if (!context) return nullptr;
  bool ok = avcodec_parameters_to_context(context, stream->codecpar) >= 0;
  if (ok) {
    context->pkt_timebase = stream->time_base;
    if (threads == DecoderThreads::One) {
      context->thread_count = 1;
      context->thread_type = 0;
    } else if (threads == DecoderThreads::EveryCore) {
      // One frame thread a core: the library's own choice, a core and one
      // more, decodes no faster, and its extra picture in flight costs
      // memory (12 MB at 4K) and a picture's delay before the first.
      context->thread_count = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 2u, 16u));
      context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    }
    ok = avcodec_open2(context, decoder, nullptr) >= 0;
  }
  if (!ok) avcodec_free_context(&context);
  return context;
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

#include "player/decoder.h"

#include <algorithm>
#include <thread>

#include "player/ffmpeg.h"

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

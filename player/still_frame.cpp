// The first picture of a file the player cannot play, shown still.
#include "player/ffmpeg.h"
#include "player/media_player.h"
#include "player/picture_conversion.h"

namespace {

// Everything one decode needs, freed on every path.
struct StillDecode {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* converter = nullptr;
  ~StillDecode() {
    sws_freeContext(converter);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
  }
};

// Reads packets until the decoder gives its first picture; drains it at
// the end, since a one-packet stream may give its picture only then.
bool DecodeFirstPicture(StillDecode& d, int streamIndex) {
  while (av_read_frame(d.format, d.packet) >= 0) {
    if (d.packet->stream_index != streamIndex) {
      av_packet_unref(d.packet);
      continue;
    }
    const int sent = avcodec_send_packet(d.codec, d.packet);
    av_packet_unref(d.packet);
    if (sent < 0) break;
    const int received = avcodec_receive_frame(d.codec, d.frame);
    if (received >= 0) return true;
    if (received != AVERROR(EAGAIN) && received != AVERROR_EOF) return false;
  }
  if (avcodec_send_packet(d.codec, nullptr) < 0) return false;
  return avcodec_receive_frame(d.codec, d.frame) >= 0;
}

}  // namespace

bool MediaPlayer::LoadStillFrame(const std::string& path) {
  stillTexture.Release();
  if (path.empty()) return false;
  StillDecode d;
  if (avformat_open_input(&d.format, path.c_str(), nullptr, nullptr) < 0) return false;
  if (avformat_find_stream_info(d.format, nullptr) < 0) return false;
  const int index = av_find_best_stream(d.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0 || !d.format->streams[index]->codecpar) return false;
  const AVStream* stream = d.format->streams[index];
  const AVCodecParameters* parameters = stream->codecpar;
  if (PictureTooLarge(parameters->width, parameters->height)) return false;
  const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
  if (!decoder || !(d.codec = avcodec_alloc_context3(decoder))) return false;
  if (avcodec_parameters_to_context(d.codec, parameters) < 0) return false;
  d.codec->pkt_timebase = stream->time_base;
  d.codec->thread_count = 1;
  d.codec->thread_type = 0;
  if (avcodec_open2(d.codec, decoder, nullptr) < 0) return false;
  if (!(d.frame = av_frame_alloc()) || !(d.packet = av_packet_alloc())) return false;
  if (!DecodeFirstPicture(d, index)) return false;

  const int width = d.frame->width, height = d.frame->height;
  if (width <= 0 || height <= 0 || PictureTooLarge(width, height)) return false;
  d.converter = sws_getContext(width, height, static_cast<AVPixelFormat>(d.frame->format), width, height,
                               AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!d.converter) return false;
  std::vector<uint8_t> pixels;
  uint8_t* planes[4] = {};
  int lineSizes[4] = {};
  if (!AllocateBgraPicture(width, height, pixels, planes, lineSizes)) return false;
  if (!planes[0] || lineSizes[0] < width * 4) return false;
  sws_scale(d.converter, d.frame->data, d.frame->linesize, 0, height, planes, lineSizes);
  av_frame_unref(d.frame);
  return stillTexture.Create(width, height, platform::PixelFormat::BGRA, pixels.data(), lineSizes[0]);
}

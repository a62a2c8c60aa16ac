// The first picture of a file the player cannot play, or of a picture file,
// shown still.
#include <algorithm>
#include <cmath>

#include "player/decoder.h"
#include "player/rotation.h"
#include "player/ffmpeg.h"
#include "player/media_player.h"

namespace {

// Everything one decode needs, freed on every path.
struct StillDecode {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  ~StillDecode() {
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
  stillRotation = 0;
  stillPixelAspect = 1.0;
  if (path.empty()) return false;
  StillDecode d;
  if (avformat_open_input(&d.format, path.c_str(), nullptr, nullptr) < 0) return false;
  if (avformat_find_stream_info(d.format, nullptr) < 0) return false;
  const int index = av_find_best_stream(d.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0 || !d.format->streams[index]->codecpar) return false;
  AVStream* stream = d.format->streams[index];
  if (PictureTooLarge(stream->codecpar->width, stream->codecpar->height)) return false;
  if (!(d.codec = OpenDecoder(stream, nullptr, DecoderThreads::One))) return false;
  if (!(d.frame = av_frame_alloc()) || !(d.packet = av_packet_alloc())) return false;
  if (!DecodeFirstPicture(d, index)) return false;

  VideoFrame picture;
  PictureConverter stillConverter;  // the same colour rules as playback
  if (!stillConverter.Convert(*d.frame, picture)) return false;
  const AVRational sar = av_guess_sample_aspect_ratio(d.format, stream, d.frame);
  if (!stillTexture.Create(picture.width, picture.height, platform::PixelFormat::BGRA, picture.pixels.data(),
                           picture.stride))
    return false;
  stillTexture.SetSmoothShrink(true);
  stillRotation = RotationOf(d.frame, RotationOf(stream));
  stillPixelAspect = sar.num > 0 && sar.den > 0 ? std::clamp(av_q2d(sar), 0.1, 10.0) : 1.0;
  return true;
}

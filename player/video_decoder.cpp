// Pictures: decoding, conversion to BGRA and stamping (demux thread), and
// showing the newest due picture (GUI thread).
#include "player/ffmpeg.h"
#include "player/media_player.h"
#include "player/picture_conversion.h"

void MediaPlayer::DecodeVideo(const AVPacket* source) {
  if (!videoCodec || !videoFrame) return;
  AVPacket* clone = nullptr;
  if (source) {
    if (source->size <= 0 || !source->data || (source->flags & AV_PKT_FLAG_CORRUPT)) return;
    clone = av_packet_clone(source);
    if (!clone) return;
    if (!clone->buf && av_packet_make_refcounted(clone) < 0) {
      av_packet_free(&clone);
      return;
    }
  }
  const int sent = avcodec_send_packet(videoCodec, clone);
  av_packet_free(&clone);
  if (sent < 0) return;
  while (avcodec_receive_frame(videoCodec, videoFrame) >= 0) {
    VideoFrame picture;
    if (ConvertPicture(videoFrame, picture)) PushVideoFrame(std::move(picture));
    av_frame_unref(videoFrame);
  }
}

bool MediaPlayer::ConvertPicture(AVFrame* frame, VideoFrame& out) {
  if (frame->width <= 0 || frame->height <= 0 || frame->format == AV_PIX_FMT_NONE) return false;
  if (frame->width != videoWidth || frame->height != videoHeight) return false;  // size changed mid-stream
  const ScalerSource source = ScalerSourceFor(static_cast<AVPixelFormat>(frame->format));
  if (!sws_isSupportedInput(source.format)) return false;
  scaler = sws_getCachedContext(scaler, frame->width, frame->height, source.format, frame->width, frame->height,
                                AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!scaler) return false;
  const bool fullRange = source.fullRange || frame->color_range == AVCOL_RANGE_JPEG;
  const int* table = sws_getCoefficients(ColourMatrixFor(frame->colorspace));
  if (!table) table = sws_getCoefficients(SWS_CS_DEFAULT);
  if (sws_setColorspaceDetails(scaler, table, fullRange ? 1 : 0, table, 1, 0, 1 << 16, 1 << 16) < 0) return false;

  if (frameDuration <= 0) frameDuration = 1.0 / 30.0;
  // Pictures are stamped one frame apart from the last open or seek; from
  // here on a failure loses the picture but not its time slot.
  out.pts = seekOrigin + frameOffset;
  frameOffset += frameDuration;
  out.width = frame->width;
  out.height = frame->height;
  uint8_t* planes[4] = {};
  int lineSizes[4] = {};
  if (!AllocateBgraPicture(out.width, out.height, out.pixels, planes, lineSizes)) return false;
  out.stride = lineSizes[0];
  return sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, lineSizes) == frame->height;
}

void MediaPlayer::UpdateFrame() {
  UpdateAudio();
  UpdateVideo();
}

void MediaPlayer::UpdateVideo() {
  if (state != PlaybackState::Playing || !videoCodec) return;
  const double clock = GetPosition();
  VideoFrame due;
  bool taken = false;
  {
    // The newest due picture wins; older due ones are dropped unseen, and
    // nothing is shown before its time.
    std::lock_guard<std::mutex> lock(videoQueueMutex);
    while (!videoQueue.empty() && videoQueue.front().pts <= clock) {
      due = std::move(videoQueue.front());
      videoQueue.pop_front();
      taken = true;
    }
  }
  if (!taken) return;
  videoQueueCondition.notify_all();
  currentFrame = std::move(due);
  UploadFrame(currentFrame);
}

void MediaPlayer::UploadFrame(const VideoFrame& frame) {
  if (!videoTexture.Valid() || frame.pixels.empty() || frame.width <= 0 || frame.height <= 0) return;
  if (frame.width != videoTexture.Width() || frame.height != videoTexture.Height()) return;
  const int64_t pitch = frame.stride > 0 ? frame.stride : int64_t{frame.width} * 4;
  if (pitch < int64_t{frame.width} * 4 || pitch * frame.height > static_cast<int64_t>(frame.pixels.size())) return;
  videoTexture.Update(frame.pixels.data(), static_cast<int>(pitch));  // a failed upload keeps the last picture
}

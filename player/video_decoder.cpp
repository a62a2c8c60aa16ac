// Decoding pictures and stamping them with their time (demux thread); the
// conveyor converts them to BGRA.
#include <utility>

#include "kit/frame_demand.h"
#include "player/ffmpeg.h"
#include "player/media_player.h"

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
    const int64_t timestamp = videoFrame->best_effort_timestamp;
    std::optional<double> seconds;
    if (timestamp != AV_NOPTS_VALUE)
      seconds = timestamp * av_q2d(videoCodec->pkt_timebase) - startTimeMicroseconds / 1e6;
    const double pts = stamper.Stamp(seconds);
    // Pictures before a seek's target are decoded (later ones need them)
    // but not shown; a picture of another size than at open is dropped.
    if (stamper.Shown(pts) && videoFrame->width == videoWidth && videoFrame->height == videoHeight)
      conveyor.Hand(videoFrame, pts, timelineSerial);
    av_frame_unref(videoFrame);
  }
}

// Pictures: decoding, stamping and conversion to BGRA (demux thread), and
// showing the newest due picture (GUI thread).
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
    VideoFrame picture;
    if (stamper.Shown(pts) && videoFrame->width == videoWidth && videoFrame->height == videoHeight &&
        converter.Convert(*videoFrame, picture)) {
      picture.pts = pts;
      PushVideoFrame(std::move(picture));
    }
    av_frame_unref(videoFrame);
  }
}

void MediaPlayer::UpdateFrame() {
  FinishSeek();
  UpdateAudio();
  UpdateVideo();
  CheckEnd();
  // A seek's picture that never comes (a seek to the very end) is not waited for.
  if (pictureWantedAfterSeek && endOfStream && videoQueue.Size() == 0) pictureWantedAfterSeek = false;
  // Playing, or a seek's picture on its way: the panel changes every frame.
  // A video at its end waits for the watchdog of its shown panel to start
  // it again; out of sight it changes nothing.
  const bool shown = std::exchange(panelShown, false);
  const bool playing = state == PlaybackState::Playing && (!ended || shown);
  if (playing || seekAwaited || pictureWantedAfterSeek) FrameDemand::Next();
}

void MediaPlayer::UpdateVideo() {
  if (!videoCodec || SeekInFlight()) return;
  VideoFrame due;
  if (state == PlaybackState::Playing) {
    const double now = GetPosition();
    // The newest due picture wins; older due ones are dropped unseen, and
    // nothing is shown before its time.
    if (!videoQueue.PopNewestDue(due, [now](const VideoFrame& frame) { return frame.pts <= now; })) return;
  } else if (pictureWantedAfterSeek) {
    // Seeking while paused: the first picture at the target shows at once.
    bool first = true;
    if (!videoQueue.PopNewestDue(due, [&first](const VideoFrame&) { return std::exchange(first, false); })) return;
    pictureWantedAfterSeek = false;
  } else {
    return;
  }
  currentFrame = std::move(due);
  currentFramePath = openPath;
  const VideoFrame& frame = currentFrame;
  if (!videoTexture.Valid() || frame.pixels.empty() || frame.width <= 0 || frame.height <= 0) return;
  if (frame.width != videoTexture.Width() || frame.height != videoTexture.Height()) return;
  const int64_t pitch = frame.stride > 0 ? frame.stride : int64_t{frame.width} * 4;
  if (pitch < int64_t{frame.width} * 4 || pitch * frame.height > static_cast<int64_t>(frame.pixels.size())) return;
  videoTexture.Update(frame.pixels.data(), static_cast<int>(pitch));  // a failed upload keeps the last picture
}

// At the end of the file, once every picture has been shown and all sound
// heard, the clock stops: a video stands still (the panel's watchdog starts
// it again), sound pauses at its end.
void MediaPlayer::CheckEnd() {
  if (state != PlaybackState::Playing || ended || !endOfStream || SeekInFlight()) return;
  if (videoQueue.Size() > 0 || audioQueue.Size() > 0) return;
  if (sourceVoice && sourceVoice->State().framesQueued > 0) return;
  const double position = GetPosition();
  endPosition = duration > 0 ? std::min(position, duration) : position;
  ended = true;
  if (!videoCodec) {  // sound, with or without a cover
    clock.Hold(endPosition);
    if (sourceVoice) sourceVoice->Stop();
    state = PlaybackState::Paused;
  }
}

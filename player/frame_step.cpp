// The player's step at the start of every GUI frame: a seek's answer, the
// sound kept fed, the newest due picture shown, the clock started once the
// first picture is up, and the end noticed.
#include <algorithm>
#include <optional>
#include <utility>

#include "kit/frame_demand.h"
#include "player/media_player.h"

void MediaPlayer::UpdateFrame() {
  FinishSeek();
  UpdateAudio();
  StartWhenReady(UpdateVideo());
  CheckEnd();
  const bool shown = std::exchange(panelShown, false);
  // A video played to its end starts over while its panel is on show; out
  // of sight it waits.
  if (transport.phase == Phase::Ended && videoCodec && shown) StartOverWithoutWaiting();
  // A seek's picture that never comes (a seek to the very end) is not waited for.
  if (transport.phase == Phase::Cueing && endOfStream && videoQueue.Size() == 0) transport.phase = Phase::Stopped;
  const Phase phase = transport.phase;
  if (phase == Phase::Playing && !transport.seek)
    FrameDemand::Within(SecondsUntilNextPicture());
  else if (phase == Phase::Playing || phase == Phase::Starting || phase == Phase::Cueing || transport.seek)
    FrameDemand::Next();
}

// The screen changes when the next picture is due, and the time and the
// bar move on at a steady rate between: drawing the same picture again
// costs as much as a new one (a 30-frame clip on a 60 Hz screen would be
// drawn twice over).
double MediaPlayer::SecondsUntilNextPicture() {
  constexpr double kLongestBetweenFrames = 1.0 / 30;
  if (!videoCodec) return kLongestBetweenFrames;
  const uint64_t serial = timelineSerial;
  std::optional<double> due;  // a picture's time may be below 0
  videoQueue.PeekFront([&](const VideoFrame& front) {
    if (front.serial == serial) due = front.pts;
  });
  if (!due) return 0.0;  // none in yet: look again at the next frame
  return std::clamp(*due - GetPosition(), 0.0, kLongestBetweenFrames);
}

bool MediaPlayer::UpdateVideo() {
  if (!videoCodec || transport.seek) return false;
  VideoFrame due;
  // Pictures of the timeline before the last seek are not shown.
  const uint64_t serial = timelineSerial;
  if (videoQueue.PopNewestDue(due, [serial](const VideoFrame& frame) { return frame.serial != serial; }))
    conveyor.Recycle(std::move(due.pixels));
  if (transport.phase == Phase::Playing) {
    const double now = GetPosition();
    // The newest due picture wins; older due ones are dropped unseen, and
    // nothing is shown before its time.
    if (!videoQueue.PopNewestDue(due, [now](const VideoFrame& frame) { return frame.pts <= now; })) return false;
  } else if ((transport.phase == Phase::Starting && !transport.firstPictureUp) || transport.phase == Phase::Cueing) {
    // The first picture after an open or a seek goes up at once; the rest
    // wait for the clock.
    bool first = true;
    if (!videoQueue.PopNewestDue(due, [&first](const VideoFrame&) { return std::exchange(first, false); }))
      return false;
    if (transport.phase == Phase::Cueing) transport.phase = Phase::Stopped;
  } else {
    return false;
  }
  conveyor.Recycle(std::move(currentFrame.pixels));
  currentFrame = std::move(due);
  currentFramePath = openPath;
  const VideoFrame& frame = currentFrame;
  if (!videoTexture.Valid() || frame.pixels.empty() || frame.width <= 0 || frame.height <= 0) return true;
  if (frame.width != videoTexture.Width() || frame.height != videoTexture.Height()) return true;
  const int64_t pitch = frame.stride > 0 ? frame.stride : int64_t{frame.width} * 4;
  if (pitch < int64_t{frame.width} * 4 || pitch * frame.height > static_cast<int64_t>(frame.pixels.size())) return true;
  videoTexture.Update(frame.pixels.data(), static_cast<int>(pitch));  // a failed upload keeps the last picture
  return true;
}

// At the end of the file, once every picture has been shown and all sound
// heard, the clock stops: a video stands at its last picture (and starts
// over while on show), sound stands at its end.
void MediaPlayer::CheckEnd() {
  if (transport.phase != Phase::Playing || !endOfStream || transport.seek) return;
  if (videoQueue.Size() > 0 || audioQueue.Size() > 0) return;
  if (sourceVoice && sourceVoice->State().framesQueued > 0) return;
  const double position = GetPosition();
  transport.endPosition = duration > 0 ? std::min(position, duration) : position;
  transport.phase = Phase::Ended;
  clock.Hold(transport.endPosition);
  if (sourceVoice) sourceVoice->Stop();
}

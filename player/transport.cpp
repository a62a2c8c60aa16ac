// Play, pause and seek (GUI thread): the phase of transport_state.h and the
// clock, the voice and the worker's seek request that go with it.
#include <algorithm>
#include <cmath>

#include "kit/frame_demand.h"
#include "player/ffmpeg.h"
#include "player/media_player.h"

namespace {

// The longest the GUI waits on the worker: for a seek to be answered and
// the first sound after it; and for the first pictures of a large video,
// which may take longer to come (the frame step then waits on without
// holding the GUI).
constexpr auto kFirstBufferWait = std::chrono::milliseconds(500);
constexpr auto kFirstPicturesWait = std::chrono::milliseconds(100);

}  // namespace

void MediaPlayer::WakeWorker() {
  { std::lock_guard<std::mutex> lock(eofMutex); }
  eofCondition.notify_all();
  audioQueue.Wake();
  videoQueue.Wake();
  conveyor.Wake();
}

PlaybackState MediaPlayer::State() const {
  if (transport.seek && transport.seek->playAfter) return PlaybackState::Playing;
  switch (transport.phase) {
    case Phase::Starting:
    case Phase::Playing: return PlaybackState::Playing;
    case Phase::Paused: return PlaybackState::Paused;
    // A video at its end starts over (the pause button stays); sound
    // stands at its end with the play button.
    case Phase::Ended: return videoCodec ? PlaybackState::Playing : PlaybackState::Paused;
    case Phase::Stopped:
    case Phase::Cueing: break;
  }
  return PlaybackState::Stopped;
}

bool MediaPlayer::Seek(double seconds) {
  // Input that cannot seek (a pipe) is not asked to: the request alone
  // would call off the pictures in hand.
  if (!formatContext || !inputSeekable) return false;
  FrameDemand::Next();
  if (duration > 0) seconds = std::clamp(seconds, 0.0, duration);
  const int index = videoStreamIndex >= 0 ? videoStreamIndex : audioStreamIndex;
  if (index < 0 || index >= static_cast<int>(formatContext->nb_streams)) return false;
  const AVRational timeBase = formatContext->streams[index]->time_base;
  if (timeBase.num <= 0 || timeBase.den <= 0 || !std::isfinite(seconds)) return false;
  const double before = transport.seek ? transport.seek->positionBefore : GetPosition();
  // The voice keeps its sound until the seek is known to have worked.
  if (sourceVoice) sourceVoice->Stop();
  const int64_t micros = static_cast<int64_t>(seconds * 1000000.0) + startTimeMicroseconds;
  seekTarget = av_rescale_q(micros, AVRational{1, 1000000}, timeBase);
  seekSeconds = seconds;
  const uint64_t serial = seekSerial.fetch_add(1) + 1;
  seekRequested = true;  // after the target: the worker reads it once it sees the request
  transport.phase = Phase::Stopped;
  transport.seek = PendingSeek{serial, seconds, before, false};
  clock.Hold(seconds);
  WakeWorker();  // a worker blocked on a full queue or at the end wakes and seeks
  return true;
}

void MediaPlayer::FinishSeek() {
  if (!transport.seek || seekAnswered != transport.seek->serial) return;
  const PendingSeek seek = *transport.seek;
  transport.seek.reset();
  if (seekRefused) {
    // The file refused: playback stays where it was, and goes on from there
    // when it is to play.
    clock.Hold(seek.positionBefore);
    if (seek.playAfter) StartClock();
    return;
  }
  clock.Reset(seek.target);
  {
    std::lock_guard<std::mutex> submit(submitMutex);
    if (sourceVoice) sourceVoice->Flush();  // the sound from before the seek
  }
  if (seek.playAfter) {
    BeginStarting();
  } else {
    transport.phase = videoCodec ? Phase::Cueing : Phase::Stopped;
  }
}

void MediaPlayer::BeginStarting() {
  transport.phase = Phase::Starting;
  transport.firstPictureUp = false;
}

void MediaPlayer::StartClock() {
  transport.phase = Phase::Playing;
  if (audioCodec && sourceVoice) {
    clock.Start(sourceVoice->State().samplesPlayed);
    if (sourceVoice->State().buffersQueued > 0) {
      FeedVoice();
    } else {
      // Sound queued while paused on the wall clock may lie before where
      // the clock stands (it came late), or after it (paused in a long
      // gap): the clock goes on without it until it is due.
      SkipSoundBefore(clock.Held());
      if (FeedVoice(clock.Held()) == 0 && audioQueue.Size() > 0) clock.StartOnWallClock();
    }
    sourceVoice->Start();
  } else {
    clock.StartWithoutVoice();
  }
}

// A large video's clock waits until a few pictures are queued beyond the
// first (or no more fit), so that decoding, slowest in its first moments,
// is ahead of the clock when it starts; meanwhile the first picture goes
// up. Smaller ones are decoded far faster than they play: they start at
// once, as sound does.
bool MediaPlayer::LargeVideo() const {
  return videoCodec && int64_t{videoWidth} * videoHeight > kLargePicturePixels;
}

size_t MediaPlayer::PicturesWantedAtStart() const {
  if (!LargeVideo()) return 0;
  return kPicturesAheadAtStart + (transport.firstPictureUp ? 0 : 1);
}

void MediaPlayer::StartWhenReady(bool pictureShown) {
  if (transport.phase != Phase::Starting) return;
  if (pictureShown) transport.firstPictureUp = true;
  // The first sound and pictures are waited for as long as the worker can
  // bring them: after a seek far from a key frame it decodes for seconds
  // before either comes, and a clock started meanwhile would leave the
  // seek's target behind. It cannot once it waits for room in the other
  // queue (sound far behind the pictures in the file, or none that
  // decodes), or when it has read to the end.
  const bool picturesFull = videoCodec && videoQueue.HasLeadOf(SIZE_MAX);
  const bool soundFull = audioCodec && audioQueue.Size() >= audioQueue.Capacity();
  if (audioCodec && sourceVoice && audioQueue.Size() == 0 && !endOfStream && !picturesFull) return;
  const size_t wanted = PicturesWantedAtStart();
  if (!videoCodec || wanted == 0 || endOfStream || soundFull || videoQueue.HasLeadOf(wanted)) StartClock();
}

void MediaPlayer::Resume() {
  FrameDemand::Next();
  // Nothing open (a file that cannot play): the play button stays a play button.
  if (!formatContext) return;
  const auto deadline = Clock::now() + kFirstBufferWait;
  if (transport.phase == Phase::Ended && !transport.seek) Seek(0.0);  // played to the end: again from the start
  // A large video's first sound and pictures after an open or a seek take
  // a while (half a second at 4K on two cores): the window is not held
  // meanwhile; the frame step starts the clock once they are in.
  const bool large = LargeVideo();
  if (transport.seek) {
    transport.seek->playAfter = true;
    if (large) return;
    const uint64_t serial = transport.seek->serial;
    audioQueue.WaitUntil(kFirstBufferWait, [&](size_t) { return seekAnswered == serial || stopRequested; });
    FinishSeek();
    if (transport.seek) return;  // still seeking: the frame step goes on from its answer
  }
  switch (transport.phase) {
    case Phase::Playing:
    case Phase::Ended: return;
    case Phase::Paused:
      StartClock();
      return;
    case Phase::Stopped:
    case Phase::Cueing:
      BeginStarting();
      break;
    case Phase::Starting: break;
  }
  if (large) return;
  const auto left = [&] {
    return std::max(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()),
                    std::chrono::milliseconds(0));
  };
  // Wait briefly for the first sound and a large video's first pictures;
  // what is not there by then, the frame step waits for without holding
  // the GUI.
  if (audioCodec && sourceVoice)
    audioQueue.WaitUntil(left(), [this](size_t queued) { return queued > 0 || stopRequested || endOfStream; });
  if (videoCodec && PicturesWantedAtStart() > 0)
    videoQueue.WaitForLead(std::min(left(), kFirstPicturesWait), PicturesWantedAtStart(),
                           [this] { return stopRequested || endOfStream; });
  StartWhenReady(false);
}

// A video at its end, again from the start, from within the frame step:
// unlike Play, nothing is waited for here (a 4K clip would stall the window
// at every loop); the frame step starts the clock once the seek is answered
// and the first sound and pictures are in.
void MediaPlayer::StartOverWithoutWaiting() {
  if (!Seek(0.0)) return;  // a pipe played to its end stays there
  if (transport.seek) {
    transport.seek->playAfter = true;
  } else if (transport.phase != Phase::Playing) {
    BeginStarting();
  }
}

void MediaPlayer::Pause() {
  if (transport.seek) {
    transport.seek->playAfter = false;
  } else if (transport.phase == Phase::Playing) {
    clock.Hold(GetPosition());
    if (audioCodec && sourceVoice) sourceVoice->Stop();
    transport.phase = Phase::Paused;
  } else if (transport.phase == Phase::Starting) {
    // The clock never ran: play starts again, waiting for the first sound
    // and pictures.
    transport.phase = Phase::Stopped;
  }
}

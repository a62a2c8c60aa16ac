// Sound: decoding and resampling to 16-bit PCM (demux thread), keeping the
// voice fed (audio and GUI threads), and the playback position (GUI thread).
#include <algorithm>
#include <cmath>

#include "player/ffmpeg.h"
#include "player/media_player.h"

namespace {

// Sound that would need more than this much silence before it to start on
// time has timestamps that cannot be trusted: it starts at once instead. A
// gap in it longer than this is not filled: the clock walks on to it.
constexpr double kLongestLeadIn = 10.0;
// Timestamps that run ahead of the samples by less than this are rounding
// (a millisecond time base), not a gap.
constexpr double kLongestUnfilledGap = 0.03;

// Sound queued for a time the clock is yet to reach; far beyond any gap
// worth waiting for, the timestamps are not believed.
bool IsAheadOf(const AudioBuffer& buffer, double position) {
  constexpr double kLongestWait = 60.0;
  const double wait = buffer.start - position;
  return std::isfinite(wait) && wait > kLongestUnfilledGap && wait < kLongestWait;
}

}  // namespace

bool MediaPlayer::SetUpResampler() {
  const platform::AudioFormat format =
      AudioResampler::OutputFor(*audioCodec, audioStream ? audioStream->codecpar : nullptr);
  sampleRate = format.sampleRate;
  channels = format.channels;
  return resampler.Open(*audioCodec, audioStream ? audioStream->codecpar : nullptr, format);
}

bool MediaPlayer::CreateAudioOutput() {
  if (!audioCodec) return true;
  sourceVoice = platform::OpenAudioVoice({sampleRate, channels}, [this] { FeedVoice(); });
  if (!sourceVoice) return false;
  sourceVoice->SetVolume(volume);
  return true;  // started by Resume
}

void MediaPlayer::DecodeAudio(const AVPacket* source) {
  if (!audioCodec || !audioFrame) return;
  AVPacket* clone = nullptr;
  if (source) {
    if (source->size > 0 && !source->data) return;
    clone = av_packet_clone(source);
    if (!clone) return;
  }
  const int sent = avcodec_send_packet(audioCodec, clone);
  av_packet_free(&clone);
  if (sent >= 0) {
    while (avcodec_receive_frame(audioCodec, audioFrame) >= 0) {
      AppendSound(*audioFrame);
      av_frame_unref(audioFrame);
    }
  }
  if (!source) FlushPendingSound();
}

void MediaPlayer::InsertSilence(size_t at, double seconds) {
  const size_t frameBytes = static_cast<size_t>(channels) * 2;
  const auto frames = static_cast<size_t>(std::llround(seconds * sampleRate));
  pendingSound.insert(pendingSound.begin() + static_cast<std::ptrdiff_t>(at), frames * frameBytes, 0);
}

void MediaPlayer::AppendSound(const AVFrame& frame) {
  const size_t frameBytes = static_cast<size_t>(channels) * 2;
  const size_t before = pendingSound.size();
  if (!resampler.Convert(frame, pendingSound) || frameBytes == 0) return;

  const bool stamped = frame.best_effort_timestamp != AV_NOPTS_VALUE;
  const double start =
      stamped ? frame.best_effort_timestamp * av_q2d(audioCodec->pkt_timebase) - startTimeMicroseconds / 1e6 : 0.0;
  const double length = frame.sample_rate > 0 ? static_cast<double>(frame.nb_samples) / frame.sample_rate : 0.0;
  // A gap in the sound (packets lost, or none for a while) is heard as
  // silence: the voice's count of samples is the clock, and the sound
  // after the gap must come when the clock is at its time. Each frame is
  // measured against the one before, so timestamps that drift from the
  // samples open no gaps.
  if (unconfirmedGap && (!stamped || std::abs(start - unconfirmedGap->nextStart) <= kLongestUnfilledGap)) {
    if (stamped) {
      InsertSilence(unconfirmedGap->at, unconfirmedGap->seconds);
    }
    unconfirmedGap.reset();
  } else if (unconfirmedGap) {
    unconfirmedGap.reset();  // a stray timestamp, not a gap
  } else if (!soundAlignPending && stamped && std::isfinite(lastSoundEnd)) {
    const double gap = start - lastSoundEnd;
    if (gap > kLongestUnfilledGap && gap <= kLongestLeadIn) {
      unconfirmedGap = SoundGap{before, gap, start + length};
    } else if (gap > kLongestLeadIn && std::isfinite(pendingSoundStart)) {
      // Too long to fill: the sound goes on at its own time, which the
      // clock walks on to.
      pendingSoundStart = start - static_cast<double>(before / frameBytes) / sampleRate;
    }
  }
  if (stamped) lastSoundEnd = start + length;
  if (soundAlignPending && stamped) {
    // The first sound after an open or a seek starts exactly at the target.
    soundAlignPending = false;
    const double early = soundTarget - start;
    const size_t converted = (pendingSound.size() - before) / frameBytes;
    bool aligned = true;
    if (early > 0 && early < 3600) {
      const auto cut = std::min(converted, static_cast<size_t>(std::llround(early * sampleRate)));
      pendingSound.erase(pendingSound.begin() + static_cast<std::ptrdiff_t>(before),
                         pendingSound.begin() + static_cast<std::ptrdiff_t>(before + cut * frameBytes));
      // Wholly before the target: the next frame is looked at the same way.
      if (cut == converted) soundAlignPending = true;
    } else if (early < 0 && -early <= kLongestLeadIn) {
      InsertSilence(before, -early);
    } else if (early != 0.0) {
      aligned = false;  // starts at once, at a time nobody knows
    }
    // Sound without timestamps taken before it goes just ahead of the target.
    if (aligned && !soundAlignPending)
      pendingSoundStart = soundTarget - static_cast<double>(before / frameBytes) / sampleRate;
  }

  const size_t bufferBytes = std::max<size_t>(1, static_cast<size_t>(sampleRate * kSoundBufferSeconds)) * frameBytes;
  if (pendingSound.size() >= bufferBytes && !unconfirmedGap) FlushPendingSound();
}

void MediaPlayer::PushAudioBuffer(AudioBuffer buffer) {
  audioQueue.Push(std::move(buffer), [this] { return stopRequested || seekRequested; });
}

void MediaPlayer::FlushPendingSound() {
  if (pendingSound.empty()) return;
  AudioBuffer buffer;
  buffer.start = pendingSoundStart;
  const size_t frameBytes = static_cast<size_t>(channels) * 2;
  if (frameBytes > 0 && sampleRate > 0)
    pendingSoundStart += static_cast<double>(pendingSound.size() / frameBytes) / sampleRate;
  buffer.bytes = std::move(pendingSound);
  pendingSound = {};
  PushAudioBuffer(std::move(buffer));
}

size_t MediaPlayer::VoiceTargetFrames() const {
  const auto rate = static_cast<size_t>(std::max(sampleRate, 1));
  const size_t period = sourceVoice ? static_cast<size_t>(sourceVoice->PeriodFrames()) : 0;
  const auto lead = static_cast<size_t>(rate * kVoiceLeadSeconds);
  const auto oneBuffer = static_cast<size_t>(rate * kSoundBufferSeconds);
  return std::max(lead, 3 * period) + oneBuffer;
}

// Both the audio thread (each time a buffer has been consumed) and the GUI
// thread feed the voice; neither ever waits for the other.
int MediaPlayer::FeedVoice(std::optional<double> dueAt) {
  std::unique_lock<std::mutex> submit(submitMutex, std::try_to_lock);
  if (!submit.owns_lock() || !sourceVoice) return 0;
  const size_t target = VoiceTargetFrames();
  int submitted = 0;
  AudioBuffer next;
  // The first buffer is judged as it is taken, so sound the demux thread
  // brings meanwhile cannot go in early; the rest follows on from it.
  const auto due = [&](const AudioBuffer& buffer) { return submitted > 0 || !dueAt || !IsAheadOf(buffer, *dueAt); };
  while (sourceVoice->State().framesQueued < target && audioQueue.TryPopIf(next, due)) {
    if (sourceVoice->Submit(std::move(next.bytes))) ++submitted;
  }
  return submitted;
}

VoiceReading MediaPlayer::ReadVoice() {
  const platform::VoiceState voice = sourceVoice->State();
  return {voice.samplesPlayed, voice.buffersQueued > 0};
}

// Reads the clock without changing it: what a dry voice does to the clock
// is noted once per frame (UpdateAudio).
double MediaPlayer::GetPosition() {
  if (transport.phase == Phase::Ended) return transport.endPosition;
  // Not playing, or waiting for a seek or the first picture: where it stands.
  if (transport.phase != Phase::Playing || transport.seek) return clock.Held();
  if (!audioCodec || !sourceVoice || sampleRate <= 0) return clock.Position(nullptr, 0);
  const VoiceReading voice = ReadVoice();
  return clock.Position(&voice, sampleRate);
}

void MediaPlayer::UpdateAudio() {
  if (transport.phase != Phase::Playing || !sourceVoice || !audioCodec || transport.seek) return;
  const VoiceReading reading = ReadVoice();
  clock.Observe(&reading, sampleRate);
  if (reading.buffersQueued) {
    FeedVoice();  // keep the lead the buffer ends may have missed
    return;
  }
  // The voice has run dry: once sound comes again it plays on from where
  // the clock has got to, and sound for a time the clock is yet to reach
  // (after a gap the clock went through on the wall clock) waits for it.
  std::optional<double> dueAt;
  if (clock.OnWallClock()) {
    dueAt = GetPosition();
    SkipSoundBefore(*dueAt);
  }
  if (FeedVoice(dueAt) == 0) return;
  clock.Refilled(sourceVoice->State().samplesPlayed);
  sourceVoice->Start();
}

// Sound arriving after the clock went on without it (it starts later in
// the file than the pictures, or came too late to start with them) would
// otherwise be heard as far behind the picture as the clock had gone on.
void MediaPlayer::SkipSoundBefore(double position) {
  const size_t frameBytes = static_cast<size_t>(channels) * 2;
  if (frameBytes == 0 || sampleRate <= 0) return;
  const auto framesIn = [&](const AudioBuffer& buffer) { return buffer.bytes.size() / frameBytes; };
  AudioBuffer past;
  audioQueue.PopNewestDue(past, [&](const AudioBuffer& buffer) {
    return std::isfinite(buffer.start) && buffer.start + static_cast<double>(framesIn(buffer)) / sampleRate <= position;
  });
  audioQueue.PeekFront([&](AudioBuffer& buffer) {
    if (!std::isfinite(buffer.start) || buffer.start >= position) return;
    const size_t late = std::min(framesIn(buffer), static_cast<size_t>((position - buffer.start) * sampleRate));
    buffer.bytes.erase(buffer.bytes.begin(), buffer.bytes.begin() + static_cast<std::ptrdiff_t>(late * frameBytes));
    buffer.start += static_cast<double>(late) / sampleRate;
  });
}

void MediaPlayer::SetVolume(float value) {
  volume = std::clamp(value, 0.0f, 2.0f);
  if (sourceVoice) sourceVoice->SetVolume(volume);
}

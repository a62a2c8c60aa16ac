#include "player/playback_clock.h"

namespace {

double SecondsBetween(PlaybackClock::Clock::time_point from, PlaybackClock::Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

}  // namespace

void PlaybackClock::Reset(double position) {
  const auto now = source();
  samplesPlayedBase = 0;
  clockBase = heldPosition = position;
  wallClockStart = fallbackSince = starvedSince = now;
  clockFallback = audioStarved = false;
}

void PlaybackClock::Start(uint64_t samplesPlayed) {
  samplesPlayedBase = samplesPlayed;
  heldPosition = clockBase;
  clockFallback = audioStarved = false;
  wallClockStart = fallbackSince = starvedSince = source();
}

void PlaybackClock::StartWithoutVoice() {
  wallClockStart = source();
  clockFallback = audioStarved = false;
}

void PlaybackClock::StartOnWallClock() {
  heldPosition = clockBase;
  clockFallback = true;
  audioStarved = false;
  wallClockStart = fallbackSince = starvedSince = source();
}

double PlaybackClock::SamplePosition(const VoiceReading& voice, int sampleRate) const {
  const uint64_t played = voice.samplesPlayed >= samplesPlayedBase ? voice.samplesPlayed - samplesPlayedBase : 0;
  return clockBase + static_cast<double>(played) / sampleRate;
}

double PlaybackClock::Position(const VoiceReading* voice, int sampleRate) const {
  const auto now = source();
  if (!voice || sampleRate <= 0) return clockBase + SecondsBetween(wallClockStart, now);
  if (clockFallback) return heldPosition + SecondsBetween(fallbackSince, now);
  if (audioStarved && !voice->buffersQueued) return heldPosition;
  return SamplePosition(*voice, sampleRate);
}

void PlaybackClock::Observe(const VoiceReading* voice, int sampleRate) {
  if (!voice || sampleRate <= 0 || clockFallback) return;
  const auto now = source();
  if (voice->buffersQueued) {
    audioStarved = false;
    return;
  }
  // The voice has run dry: hold the position briefly, then let the wall
  // clock carry the picture on.
  if (!audioStarved) {
    heldPosition = SamplePosition(*voice, sampleRate);
    audioStarved = true;
    starvedSince = now;
  } else if (SecondsBetween(starvedSince, now) >= kStarvedHoldSeconds) {
    clockFallback = true;
    fallbackSince = now;
  }
}

void PlaybackClock::Refilled(uint64_t samplesPlayed) {
  double position = clockBase;
  if (clockFallback) {
    position = heldPosition + SecondsBetween(fallbackSince, source());
    clockBase = position;
    samplesPlayedBase = samplesPlayed;
  }
  clockFallback = audioStarved = false;
  heldPosition = position;
  fallbackSince = starvedSince = source();
}

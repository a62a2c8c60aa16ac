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

double PlaybackClock::Position(const VoiceReading* voice, int sampleRate) {
  const auto now = source();
  if (!voice || sampleRate <= 0) return clockBase + SecondsBetween(wallClockStart, now);
  const uint64_t played = voice->samplesPlayed >= samplesPlayedBase ? voice->samplesPlayed - samplesPlayedBase : 0;
  const double position = clockBase + static_cast<double>(played) / sampleRate;
  if (voice->buffersQueued) {
    audioStarved = false;
    return position;
  }
  // The voice has run dry: hold the position briefly, then let the wall
  // clock carry the picture on.
  if (!audioStarved) {
    heldPosition = position;
    audioStarved = true;
    starvedSince = now;
    return position;
  }
  if (clockFallback) return heldPosition + SecondsBetween(fallbackSince, now);
  if (SecondsBetween(starvedSince, now) < kStarvedHoldSeconds) return heldPosition;
  heldPosition = position;
  clockFallback = true;
  fallbackSince = now;
  return position;
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

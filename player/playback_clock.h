#pragma once
// Where playback stands on the media timeline. While sound plays, the count
// of samples the voice has played is the clock; when there is no sound, or
// once the voice has run dry for a moment, the steady wall clock carries it.
// The time source can be replaced so every rule can be checked by hand.
#include <chrono>
#include <cstdint>

// What the voice reports at one look.
struct VoiceReading {
  uint64_t samplesPlayed = 0;
  bool buffersQueued = false;
};

class PlaybackClock {
 public:
  using Clock = std::chrono::steady_clock;
  using TimeSource = Clock::time_point (*)();

  explicit PlaybackClock(TimeSource source = &Clock::now) : source(source) { Reset(0.0); }

  // After an open (at 0) or a seek: the clock stands at position and counts
  // the voice's samples from zero.
  void Reset(double position);
  // Paused or stopped at position.
  void Hold(double position) { clockBase = position; }
  double Held() const { return clockBase; }

  // Playing starts (or resumes) from the held position, the voice having
  // played samplesPlayed so far; without a voice the wall clock runs.
  void Start(uint64_t samplesPlayed);
  void StartWithoutVoice();
  // Playing starts from the held position with the sound not yet due: the
  // wall clock carries it until the voice is refilled.
  void StartOnWallClock();

  // The position while playing, from the voice at sampleRate (null: no
  // sound). Reading it changes nothing.
  double Position(const VoiceReading* voice, int sampleRate) const;
  // Notes what the voice does (once per frame while playing): a voice that
  // has run dry holds the position, and after a while the wall clock
  // carries it on.
  void Observe(const VoiceReading* voice, int sampleRate);

  // The dry voice got sound again: when the wall clock had taken over, the
  // sound goes on from where it had got to.
  void Refilled(uint64_t samplesPlayed);

  bool OnWallClock() const { return clockFallback; }
  Clock::time_point Now() const { return source(); }

  // Seconds a dry voice's position is held before the wall clock takes over.
  static constexpr double kStarvedHoldSeconds = 0.2;

 private:
  double SamplePosition(const VoiceReading& voice, int sampleRate) const;

  TimeSource source;
  uint64_t samplesPlayedBase = 0;
  double clockBase = 0.0;
  Clock::time_point wallClockStart{};
  bool clockFallback = false;
  bool audioStarved = false;
  double heldPosition = 0.0;
  Clock::time_point fallbackSince{};
  Clock::time_point starvedSince{};
};

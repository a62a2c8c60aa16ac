#pragma once
// An audio voice whose playing the test does by hand, and a clock the test
// moves, so the player's clock rules can be checked exactly.
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/audio_voice.h"

class TestVoice final : public platform::AudioVoice {
 public:
  TestVoice(const platform::AudioFormat& format, platform::BufferEnd onBufferEnd);
  ~TestVoice() override;

  bool Submit(std::vector<uint8_t> bytes) override;
  void Start() override;
  void Stop() override;
  void Flush() override;
  platform::VoiceState State() override;
  void SetVolume(float value) override;
  int PeriodFrames() const override { return 480; }

  // Plays up to frames sample frames (only while started); reports every
  // buffer that ends. Returns how many were played.
  uint64_t Play(uint64_t frames);

  const platform::AudioFormat format;
  bool started = false;
  float volume = 1.0f;
  int submitted = 0;
  // Where sound louder than a whisper began after a tenth of a second or
  // more of silence (or at the start): counts of frames played before it.
  std::vector<int64_t> loudStarts;
  // The longest run of quiet frames between loud ones.
  uint64_t longestQuietRun = 0;

 private:
  platform::BufferEnd onBufferEnd;
  std::mutex mutex;
  std::deque<std::vector<uint8_t>> queue;
  size_t offset = 0;
  uint64_t played = 0;
  uint64_t quietFrames = UINT64_MAX / 2;  // played since the last loud one
};

// Installs the test voice factory for the test's lifetime; Voice() is the
// voice the player opened last (nullptr once it was destroyed).
class TestVoiceScope {
 public:
  TestVoiceScope();
  ~TestVoiceScope();
  static TestVoice* Voice();
};

// A steady clock the test moves by hand.
struct FakeClock {
  static std::chrono::steady_clock::time_point now;
  static std::chrono::steady_clock::time_point Now() { return now; }
  static void Advance(double seconds) {
    now += std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
  }
};

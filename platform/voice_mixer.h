#pragma once
// What every audio voice of this platform shares: the queue of submitted
// buffers, the count of sample frames the device has taken, and the voice
// interface over them. A device (SDL's, or the silent one) pulls from it.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio_voice.h"

namespace platform {

using SteadyClock = std::chrono::steady_clock;

// The queued buffers and the count of what the device has taken from them.
class VoiceMixer {
 public:
  VoiceMixer(const AudioFormat& format, BufferEnd onBufferEnd)
      : rate(format.sampleRate), frameBytes(static_cast<size_t>(format.channels) * 2), onBufferEnd(std::move(onBufferEnd)) {}

  bool Submit(std::vector<uint8_t> bytes) {
    if (bytes.empty() || bytes.size() % frameBytes != 0) return false;
    std::lock_guard<std::mutex> lock(mutex);
    queuedBytes += bytes.size();
    queue.push_back(std::move(bytes));
    return true;
  }
  void Flush() {
    std::lock_guard<std::mutex> lock(mutex);
    queue.clear();
    queuedBytes = 0;
    offset = 0;
  }
  VoiceState State() {
    std::lock_guard<std::mutex> lock(mutex);
    // What the device took at its last pull plays out over the time it
    // takes; the count moves with it rather than in whole periods.
    const double since = std::chrono::duration<double>(SteadyClock::now() - lastPullTime).count();
    const auto playing = static_cast<uint64_t>(std::clamp(since * rate, 0.0, static_cast<double>(lastPullFrames)));
    return {static_cast<uint32_t>(queue.size()), (queuedBytes - offset) / frameBytes, takenBeforeLastPull + playing};
  }

  // Fills out with up to frames sample frames (silence for the rest and
  // while stopped); then reports every buffer taken to its end.
  void Pull(uint8_t* out, size_t frames) {
    const size_t wanted = frames * frameBytes;
    if (out) std::memset(out, 0, wanted);
    size_t filled = 0;
    int finished = 0;
    {
      std::lock_guard<std::mutex> lock(mutex);
      while (running && filled < wanted && !queue.empty()) {
        const auto& front = queue.front();
        const size_t take = std::min(wanted - filled, front.size() - offset);
        if (out) Mix(out + filled, front.data() + offset, take);
        filled += take;
        offset += take;
        if (offset == front.size()) {
          queuedBytes -= front.size();
          queue.pop_front();
          offset = 0;
          ++finished;
        }
      }
      takenBeforeLastPull += lastPullFrames;
      lastPullFrames = filled / frameBytes;
      lastPullTime = SteadyClock::now();
    }
    // Outside the lock: the listener submits the next buffers from here.
    for (int i = 0; i < finished; ++i)
      if (onBufferEnd) onBufferEnd();
  }

  std::atomic<bool> running{false};
  std::atomic<float> volume{1.0f};

 private:
  void Mix(uint8_t* out, const uint8_t* in, size_t bytes) {
    const float gain = volume.load(std::memory_order_relaxed);
    if (gain == 1.0f) {
      std::memcpy(out, in, bytes);
      return;
    }
    for (size_t i = 0; i + 1 < bytes; i += 2) {
      int16_t sample;
      std::memcpy(&sample, in + i, 2);
      const auto value = static_cast<int16_t>(std::clamp(sample * gain, -32768.0f, 32767.0f));
      std::memcpy(out + i, &value, 2);
    }
  }

  const int rate;
  const size_t frameBytes;
  const BufferEnd onBufferEnd;
  std::mutex mutex;  // everything below
  std::deque<std::vector<uint8_t>> queue;
  uint64_t queuedBytes = 0;  // in queue, the front buffer whole
  size_t offset = 0;         // bytes of the front buffer already taken
  uint64_t takenBeforeLastPull = 0;
  uint64_t lastPullFrames = 0;
  SteadyClock::time_point lastPullTime = SteadyClock::now();
};

// The power of two nearest to 10 ms of sound (SDL rounds to one anyway).
inline int PeriodFor(int sampleRate) {
  const double tenMs = sampleRate / 100.0;
  int period = 16;
  while (period * 2 <= tenMs) period *= 2;
  return tenMs / period > period * 2 / tenMs ? period * 2 : period;
}

class VoiceBase : public AudioVoice {
 public:
  VoiceBase(const AudioFormat& format, BufferEnd onBufferEnd)
      : mixer(format, std::move(onBufferEnd)), period(PeriodFor(format.sampleRate)) {}
  bool Submit(std::vector<uint8_t> bytes) override { return mixer.Submit(std::move(bytes)); }
  void Start() override { mixer.running = true; }
  void Stop() override { mixer.running = false; }
  void Flush() override { mixer.Flush(); }
  VoiceState State() override { return mixer.State(); }
  void SetVolume(float volume) override { mixer.volume = volume; }
  int PeriodFrames() const override { return period; }

 protected:
  VoiceMixer mixer;
  int period;
};

// A device that plays nothing but takes samples at the real rate; nullptr
// when it cannot be started.
std::unique_ptr<AudioVoice> OpenSilentVoice(const AudioFormat& format, BufferEnd onBufferEnd);

}  // namespace platform

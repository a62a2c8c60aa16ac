// The silent device: takes samples exactly at the rate they would play,
// period by period against the steady clock. Used where the machine has no
// sound output (and so by the tests): SDL's own silent driver sleeps whole
// milliseconds per period and plays up to 6 % fast. While the voice is
// stopped it sleeps until started (a paused file costs nothing).
#include <condition_variable>
#include <system_error>
#include <thread>

#include "platform/voice_mixer.h"

namespace platform {
namespace {

class SilentVoice final : public VoiceBase {
 public:
  SilentVoice(const AudioFormat& format, BufferEnd onBufferEnd)
      : VoiceBase(format, std::move(onBufferEnd)), rate(format.sampleRate) {
    worker = std::thread([this] { Run(); });
  }
  void Start() override {
    {
      std::lock_guard<std::mutex> lock(wakeMutex);
      VoiceBase::Start();
    }
    wake.notify_all();
  }

  ~SilentVoice() override {
    {
      std::lock_guard<std::mutex> lock(wakeMutex);
      stopping = true;
    }
    wake.notify_all();
    worker.join();
  }

 private:
  void Run() {
    auto start = SteadyClock::now();
    uint64_t pulled = 0;
    std::unique_lock<std::mutex> lock(wakeMutex);
    while (!stopping) {
      if (!mixer.running) {
        // Stopped: nothing is taken until Start, and the count of periods
        // begins again from then.
        wake.wait(lock, [this] { return stopping || mixer.running; });
        start = SteadyClock::now();
        pulled = 0;
        continue;
      }
      const auto now = SteadyClock::now();
      const auto due = static_cast<uint64_t>(std::chrono::duration<double>(now - start).count() * rate);
      if (due > pulled) {
        lock.unlock();
        mixer.Pull(nullptr, static_cast<size_t>(due - pulled));
        lock.lock();
        pulled = due;
      }
      const auto next = start + std::chrono::duration_cast<SteadyClock::duration>(
                                    std::chrono::duration<double>(static_cast<double>(pulled + period) / rate));
      wake.wait_until(lock, next, [this] { return stopping || !mixer.running; });
    }
  }

  const int rate;
  std::mutex wakeMutex;
  std::condition_variable wake;
  bool stopping = false;
  std::thread worker;
};

}  // namespace

std::unique_ptr<AudioVoice> OpenSilentVoice(const AudioFormat& format, BufferEnd onBufferEnd) {
  try {
    return std::make_unique<SilentVoice>(format, std::move(onBufferEnd));
  } catch (const std::system_error&) {
    return nullptr;  // no thread to be had
  }
}

}  // namespace platform

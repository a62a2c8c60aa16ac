// The audio voice over SDL's audio device. The device pulls one period of
// about 10 ms at a time from the queued buffers; the played count follows
// what it has taken, spread over the period it takes to play. Where the
// machine has no sound output, a silent device of our own pulls the same
// way at the real rate: SDL's own silent driver sleeps whole milliseconds
// per period and so plays up to 6 % fast.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/audio_voice.h"

namespace platform {
namespace {

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
int PeriodFor(int sampleRate) {
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

class SdlVoice final : public VoiceBase {
 public:
  using VoiceBase::VoiceBase;
  ~SdlVoice() override {
    if (device) SDL_CloseAudioDevice(device);  // waits for the audio thread to leave Pull
  }

  bool Open(const AudioFormat& format) {
    SDL_AudioSpec want{};
    want.freq = format.sampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(format.channels);
    want.samples = static_cast<Uint16>(period);
    want.callback = [](void* self, Uint8* stream, int length) {
      auto* voice = static_cast<SdlVoice*>(self);
      voice->mixer.Pull(stream, static_cast<size_t>(length) / voice->frameBytes);
    };
    want.userdata = this;
    frameBytes = static_cast<size_t>(format.channels) * 2;
    SDL_AudioSpec have{};
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);  // SDL converts to what the device takes
    if (device == 0) return false;
    SDL_PauseAudioDevice(device, 0);  // the device runs; Start and Stop gate the voice
    return true;
  }

 private:
  SDL_AudioDeviceID device = 0;
  size_t frameBytes = 0;
};

// A device that plays nothing but takes samples exactly at the rate they
// would play, period by period against the steady clock.
class SilentVoice final : public VoiceBase {
 public:
  SilentVoice(const AudioFormat& format, BufferEnd onBufferEnd)
      : VoiceBase(format, std::move(onBufferEnd)), rate(format.sampleRate) {
    worker = std::thread([this] { Run(); });
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
    const auto start = SteadyClock::now();
    uint64_t pulled = 0;
    std::unique_lock<std::mutex> lock(wakeMutex);
    while (!stopping) {
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
      wake.wait_until(lock, next, [this] { return stopping; });
    }
  }

  const int rate;
  std::mutex wakeMutex;
  std::condition_variable wake;
  bool stopping = false;
  std::thread worker;
};

AudioVoiceFactory voiceFactory;
std::mutex audioInitMutex;
enum class Output { Unknown, Device, Silent } output = Output::Unknown;

// Brings up SDL audio once. SDL's own silent driver, asked for or the only
// one left, is replaced by the silent device above.
Output ChooseOutput() {
  if (output != Output::Unknown) return output;
  const bool up = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  const char* driver = up ? SDL_GetCurrentAudioDriver() : nullptr;
  output = driver && std::strcmp(driver, "dummy") != 0 ? Output::Device : Output::Silent;
  if (up && output == Output::Silent) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return output;
}

}  // namespace

std::unique_ptr<AudioVoice> OpenAudioVoice(const AudioFormat& format, BufferEnd onBufferEnd) {
  if (voiceFactory) return voiceFactory(format, std::move(onBufferEnd));
  if (format.sampleRate <= 0 || format.sampleRate > 768000 || format.channels < 1 ||
      format.channels > kMaxVoiceChannels)
    return nullptr;
  std::lock_guard<std::mutex> lock(audioInitMutex);
  if (ChooseOutput() == Output::Device) {
    auto voice = std::make_unique<SdlVoice>(format, onBufferEnd);
    if (voice->Open(format)) return voice;
    // A device that exists but refuses this stream fails the open; with no
    // output device at all, go silent for the rest of the run.
    if (SDL_GetNumAudioDevices(0) > 0) return nullptr;
    output = Output::Silent;
  }
  try {
    return std::make_unique<SilentVoice>(format, std::move(onBufferEnd));
  } catch (const std::system_error&) {
    return nullptr;  // no thread to be had: the file shows as a still picture
  }
}

void SetAudioVoiceFactory(AudioVoiceFactory factory) { voiceFactory = std::move(factory); }

}  // namespace platform

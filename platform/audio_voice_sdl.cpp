// The audio voice over SDL's audio device: SDL's audio thread pulls samples
// from the queued buffers; the played count advances as it does.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/audio_voice.h"

namespace platform {
namespace {

AudioVoiceFactory voiceFactory;
std::mutex audioInitMutex;
bool audioReady = false;
bool audioSilent = false;  // running on the dummy driver

bool StartSilentDriver() {
  if (SDL_WasInit(SDL_INIT_AUDIO)) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
  audioReady = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  audioSilent = audioReady;
  return audioReady;
}

// Brings up SDL audio once. Where the machine has no sound output at all
// (no sound server, no device), the silent dummy driver stands in: it
// consumes samples at the real rate, so files still play in time.
bool EnsureAudio() {
  if (audioReady) return true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    audioReady = true;
    return true;
  }
  return StartSilentDriver();
}

class SdlVoice final : public AudioVoice {
 public:
  SdlVoice(const AudioFormat& format, BufferEnd onBufferEnd)
      : frameBytes(static_cast<size_t>(format.channels) * 2), onBufferEnd(std::move(onBufferEnd)) {}

  ~SdlVoice() override {
    if (device) SDL_CloseAudioDevice(device);  // waits for the audio thread to leave Fill
  }

  bool Open(const AudioFormat& format) {
    SDL_AudioSpec want{};
    want.freq = format.sampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(format.channels);
    want.samples = 1024;
    want.callback = [](void* self, Uint8* stream, int length) { static_cast<SdlVoice*>(self)->Fill(stream, length); };
    want.userdata = this;
    SDL_AudioSpec have{};
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);  // SDL converts to what the device takes
    if (device == 0) return false;
    SDL_PauseAudioDevice(device, 0);  // the device runs; Start and Stop gate the voice
    return true;
  }

  bool Submit(std::vector<uint8_t> bytes) override {
    if (bytes.empty() || bytes.size() % frameBytes != 0) return false;
    std::lock_guard<std::mutex> lock(mutex);
    queue.push_back(std::move(bytes));
    return true;
  }
  void Start() override { running = true; }
  void Stop() override { running = false; }
  void Flush() override {
    std::lock_guard<std::mutex> lock(mutex);
    queue.clear();
    offset = 0;
  }
  VoiceState State() override {
    std::lock_guard<std::mutex> lock(mutex);
    return {static_cast<uint32_t>(queue.size()), samplesPlayed};
  }
  void SetVolume(float newVolume) override { volume = newVolume; }

 private:
  void Fill(Uint8* stream, int length) {
    std::memset(stream, 0, static_cast<size_t>(length));
    if (!running) return;
    size_t filled = 0;
    int finished = 0;
    {
      std::lock_guard<std::mutex> lock(mutex);
      while (filled < static_cast<size_t>(length) && !queue.empty()) {
        const auto& front = queue.front();
        const size_t take = std::min(static_cast<size_t>(length) - filled, front.size() - offset);
        Mix(stream + filled, front.data() + offset, take);
        filled += take;
        offset += take;
        if (offset == front.size()) {
          queue.pop_front();
          offset = 0;
          ++finished;
        }
      }
      samplesPlayed += filled / frameBytes;
    }
    // Outside the lock: the listener submits the next buffer from here.
    for (int i = 0; i < finished; ++i)
      if (onBufferEnd) onBufferEnd();
  }

  void Mix(Uint8* out, const uint8_t* in, size_t bytes) {
    const float gain = volume.load(std::memory_order_relaxed);
    if (gain == 1.0f) {
      std::memcpy(out, in, bytes);
      return;
    }
    for (size_t i = 0; i + 1 < bytes; i += 2) {
      int16_t sample;
      std::memcpy(&sample, in + i, 2);
      const float scaled = std::clamp(sample * gain, -32768.0f, 32767.0f);
      const auto value = static_cast<int16_t>(scaled);
      std::memcpy(out + i, &value, 2);
    }
  }

  const size_t frameBytes;
  const BufferEnd onBufferEnd;
  SDL_AudioDeviceID device = 0;
  std::mutex mutex;  // queue, offset, samplesPlayed
  std::deque<std::vector<uint8_t>> queue;
  size_t offset = 0;  // bytes of the front buffer already played
  uint64_t samplesPlayed = 0;
  std::atomic<bool> running{false};
  std::atomic<float> volume{1.0f};
};

}  // namespace

std::unique_ptr<AudioVoice> OpenAudioVoice(const AudioFormat& format, BufferEnd onBufferEnd) {
  if (voiceFactory) return voiceFactory(format, std::move(onBufferEnd));
  if (format.sampleRate <= 0 || format.channels < 1 || format.channels > 8) return nullptr;
  std::lock_guard<std::mutex> lock(audioInitMutex);
  if (!EnsureAudio()) return nullptr;
  auto voice = std::make_unique<SdlVoice>(format, onBufferEnd);
  if (voice->Open(format)) return voice;
  // No output device at all: go silent for the rest of the run. A device
  // that exists but refuses this stream fails the open instead.
  if (audioSilent || SDL_GetNumAudioDevices(0) > 0 || !StartSilentDriver()) return nullptr;
  voice = std::make_unique<SdlVoice>(format, onBufferEnd);
  return voice->Open(format) ? std::move(voice) : nullptr;
}

void SetAudioVoiceFactory(AudioVoiceFactory factory) { voiceFactory = std::move(factory); }

}  // namespace platform

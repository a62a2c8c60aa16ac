// The audio voice over SDL's audio device. The device pulls one period of
// about 10 ms at a time from the queued buffers; the played count follows
// what it has taken, spread over the period it takes to play. Where the
// machine has no sound output, the silent device stands in.
#include <SDL.h>

#include <cstring>
#include <mutex>

#include "platform/voice_mixer.h"

namespace platform {
namespace {

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
  return OpenSilentVoice(format, std::move(onBufferEnd));  // nullptr: the file shows as a still picture
}

void SetAudioVoiceFactory(AudioVoiceFactory factory) { voiceFactory = std::move(factory); }

}  // namespace platform

#pragma once
// One stream of 16-bit interleaved PCM played in the order buffers are
// submitted. The count of samples played is the player's clock, so every
// back end must keep its rules: it advances only while started and only as
// the device consumes samples; Stop keeps queued buffers; Flush drops them.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace platform {

// Most channels a voice takes; the player mixes wider sound down to this.
inline constexpr int kMaxVoiceChannels = 8;

struct AudioFormat {
  int sampleRate = 0;  // samples per second per channel
  int channels = 0;    // 1 to kMaxVoiceChannels, interleaved, signed 16-bit
};

struct VoiceState {
  uint32_t buffersQueued = 0;  // submitted and not yet fully consumed
  uint64_t framesQueued = 0;   // sample frames of those not yet consumed
  uint64_t samplesPlayed = 0;  // sample frames played since the voice was made
};

class AudioVoice {
 public:
  virtual ~AudioVoice() = default;
  // Queues the bytes after those already queued; false when refused.
  virtual bool Submit(std::vector<uint8_t> bytes) = 0;
  virtual void Start() = 0;
  // Pauses output; queued buffers stay.
  virtual void Stop() = 0;
  // Drops every queued buffer (no buffer-end report for them).
  virtual void Flush() = 0;
  virtual VoiceState State() = 0;
  virtual void SetVolume(float volume) = 0;  // 1.0 = as recorded
  // Sample frames the device takes at a time: the least that must be
  // queued, beyond what is playing, for the device never to play silence.
  virtual int PeriodFrames() const = 0;
};

// Called from the audio thread each time the device has consumed a buffer
// to its end.
using BufferEnd = std::function<void()>;

using AudioVoiceFactory = std::function<std::unique_ptr<AudioVoice>(const AudioFormat&, BufferEnd)>;

// A voice on the sound device (or, where the machine has none, on a silent
// device that consumes samples at the real rate); nullptr when none can be
// opened.
std::unique_ptr<AudioVoice> OpenAudioVoice(const AudioFormat& format, BufferEnd onBufferEnd);
// Replaces where voices come from (tests); an empty factory restores the device.
void SetAudioVoiceFactory(AudioVoiceFactory factory);

}  // namespace platform

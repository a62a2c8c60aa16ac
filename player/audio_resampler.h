#pragma once
// Sound from the decoder to the voice's format: interleaved signed 16-bit
// at one rate and channel count for the whole file. A stream that changes
// its layout, sample format or rate part way is followed by rebuilding the
// converter; wider sound than the voice takes is mixed down.
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "platform/audio_voice.h"

struct AVCodecContext;
struct AVCodecParameters;
struct AVFrame;
struct SwrContext;

class AudioResampler {
 public:
  AudioResampler() = default;
  ~AudioResampler();
  AudioResampler(const AudioResampler&) = delete;
  AudioResampler& operator=(const AudioResampler&) = delete;

  // The voice's format for a decoder: its own rate, and its channel count
  // (stereo when it names none) up to what a voice takes.
  static platform::AudioFormat OutputFor(const AVCodecContext& codec, const AVCodecParameters* stream);

  // Sets the output and builds the converter for the decoder's current
  // input; false when it cannot be built.
  bool Open(const AVCodecContext& codec, const AVCodecParameters* stream, platform::AudioFormat output);
  // Appends the frame's samples, converted, to out; false when the frame
  // could not be converted (it is dropped).
  bool Convert(const AVFrame& frame, std::vector<uint8_t>& out);
  void Close();

  const platform::AudioFormat& Output() const { return output; }

 private:
  bool Build(const AVChannelLayout& layout, int format, int rate);

  SwrContext* context = nullptr;
  AVChannelLayout inputLayout{};
  int inputFormat = -1;
  int inputRate = 0;
  platform::AudioFormat output;
};

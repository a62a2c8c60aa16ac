#include "player/audio_resampler.h"

#include <algorithm>

#include "player/ffmpeg.h"

namespace {

// The layout a frame or decoder plays with: its own, else the stream's,
// else stereo; a layout that names no channel order is taken in the usual
// order for its channel count, so the converter can remix it.
void LayoutOf(const AVChannelLayout* own, const AVChannelLayout* stream, AVChannelLayout& out) {
  const AVChannelLayout* source = own && own->nb_channels > 0 ? own : stream && stream->nb_channels > 0 ? stream : nullptr;
  if (!source) {
    av_channel_layout_default(&out, 2);
  } else if (source->order == AV_CHANNEL_ORDER_UNSPEC) {
    av_channel_layout_default(&out, source->nb_channels);
  } else {
    av_channel_layout_copy(&out, source);
  }
}

}  // namespace

AudioResampler::~AudioResampler() { Close(); }

void AudioResampler::Close() {
  swr_free(&context);
  av_channel_layout_uninit(&inputLayout);
  inputFormat = -1;
  inputRate = 0;
}

platform::AudioFormat AudioResampler::OutputFor(const AVCodecContext& codec, const AVCodecParameters* stream) {
  AVChannelLayout layout{};
  LayoutOf(&codec.ch_layout, stream ? &stream->ch_layout : nullptr, layout);
  const int channels = std::clamp(layout.nb_channels > 0 ? layout.nb_channels : 2, 1, platform::kMaxVoiceChannels);
  av_channel_layout_uninit(&layout);
  return {codec.sample_rate > 0 ? codec.sample_rate : 48000, channels};
}

bool AudioResampler::Open(const AVCodecContext& codec, const AVCodecParameters* stream, platform::AudioFormat format) {
  Close();
  output = format;
  AVChannelLayout layout{};
  LayoutOf(&codec.ch_layout, stream ? &stream->ch_layout : nullptr, layout);
  const bool ok = Build(layout, codec.sample_fmt, codec.sample_rate > 0 ? codec.sample_rate : output.sampleRate);
  av_channel_layout_uninit(&layout);
  return ok;
}

bool AudioResampler::Build(const AVChannelLayout& layout, int format, int rate) {
  swr_free(&context);
  av_channel_layout_uninit(&inputLayout);
  inputFormat = -1;
  if (output.sampleRate <= 0 || output.channels <= 0 || rate <= 0 || format < 0) return false;
  AVChannelLayout outputLayout{};
  av_channel_layout_default(&outputLayout, output.channels);
  bool ok = swr_alloc_set_opts2(&context, &outputLayout, AV_SAMPLE_FMT_S16, output.sampleRate, const_cast<AVChannelLayout*>(&layout),
                                static_cast<AVSampleFormat>(format), rate, 0, nullptr) >= 0;
  if (ok && swr_init(context) < 0) {
    // No rule to remix these layouts (a wide layout of unnamed channels):
    // spread the input channels evenly over the output ones.
    ok = false;
    const int in = layout.nb_channels, out = output.channels;
    if (in > 0 && in <= 64) {
      std::vector<double> matrix(static_cast<size_t>(in) * out, 0.0);
      std::vector<int> perOutput(static_cast<size_t>(out), 0);
      for (int i = 0; i < in; ++i) ++perOutput[static_cast<size_t>(i % out)];
      for (int i = 0; i < in; ++i)
        matrix[static_cast<size_t>(i % out) * in + i] = 1.0 / perOutput[static_cast<size_t>(i % out)];
      ok = swr_set_matrix(context, matrix.data(), in) >= 0 && swr_init(context) >= 0;
    }
  }
  av_channel_layout_uninit(&outputLayout);
  if (!ok) {
    swr_free(&context);
    return false;
  }
  av_channel_layout_copy(&inputLayout, &layout);
  inputFormat = format;
  inputRate = rate;
  return true;
}

bool AudioResampler::Convert(const AVFrame& frame, std::vector<uint8_t>& out) {
  if (frame.nb_samples <= 0 || !frame.extended_data) return false;
  AVChannelLayout layout{};
  LayoutOf(&frame.ch_layout, &inputLayout, layout);
  const int rate = frame.sample_rate > 0 ? frame.sample_rate : inputRate;
  bool ready = context && frame.format == inputFormat && rate == inputRate &&
               av_channel_layout_compare(&layout, &inputLayout) == 0;
  if (!ready) ready = Build(layout, frame.format, rate);
  av_channel_layout_uninit(&layout);
  if (!ready) return false;

  const int64_t capacity =
      av_rescale_rnd(swr_get_delay(context, inputRate) + frame.nb_samples, output.sampleRate, inputRate, AV_ROUND_UP);
  if (capacity <= 0 || capacity > INT32_MAX / 16) return false;
  const size_t frameBytes = static_cast<size_t>(output.channels) * 2;
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(capacity) * frameBytes);
  uint8_t* target = out.data() + start;
  const int converted = swr_convert(context, &target, static_cast<int>(capacity),
                                    const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
  out.resize(start + static_cast<size_t>(std::max(converted, 0)) * frameBytes);
  return converted >= 0;
}

// Sound: decoding and resampling to 16-bit PCM (demux thread), feeding the
// audio voice (audio and GUI threads), and the playback clock built on the
// voice's played-sample count (GUI thread).
#include <algorithm>

#include "player/ffmpeg.h"
#include "player/media_player.h"

namespace {

constexpr double kStarvedHoldSeconds = 0.2;

double SecondsBetween(MediaPlayer::Clock::time_point from, MediaPlayer::Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

}  // namespace

bool MediaPlayer::SetUpResampler() {
  AVChannelLayout input{}, output{};
  if (audioCodec->ch_layout.nb_channels > 0) {
    av_channel_layout_copy(&input, &audioCodec->ch_layout);
  } else if (audioStream && audioStream->codecpar && audioStream->codecpar->ch_layout.nb_channels > 0) {
    av_channel_layout_copy(&input, &audioStream->codecpar->ch_layout);
  } else {
    av_channel_layout_default(&input, 2);  // no layout reported: play as stereo
  }
  sampleRate = audioCodec->sample_rate;
  channels = input.nb_channels > 0 ? input.nb_channels : 2;
  av_channel_layout_default(&output, channels);
  bool ok = swr_alloc_set_opts2(&resampler, &output, AV_SAMPLE_FMT_S16, sampleRate, &input, audioCodec->sample_fmt,
                                audioCodec->sample_rate, 0, nullptr) >= 0 &&
            swr_init(resampler) >= 0;
  av_channel_layout_uninit(&input);
  av_channel_layout_uninit(&output);
  return ok;
}

bool MediaPlayer::CreateAudioOutput() {
  if (!audioCodec) return true;
  sourceVoice = platform::OpenAudioVoice({sampleRate, channels}, [this] { OnBufferEnd(); });
  if (!sourceVoice) return false;
  sourceVoice->SetVolume(volume);
  return true;  // started by Resume
}

void MediaPlayer::DecodeAudio(const AVPacket* source) {
  if (!audioCodec || !resampler) return;
  AVPacket* clone = nullptr;
  if (source) {
    if (source->size > 0 && !source->data) return;
    clone = av_packet_clone(source);
    if (!clone) return;
  }
  const int sent = avcodec_send_packet(audioCodec, clone);
  av_packet_free(&clone);
  if (sent < 0) return;
  while (avcodec_receive_frame(audioCodec, audioFrame) >= 0) {
    const int inputRate = audioCodec->sample_rate > 0 ? audioCodec->sample_rate : 48000;
    const int outputRate = sampleRate > 0 ? sampleRate : inputRate;
    const int64_t capacity = av_rescale_rnd(swr_get_delay(resampler, inputRate) + audioFrame->nb_samples, outputRate,
                                            inputRate, AV_ROUND_UP);
    const int capacityBytes =
        capacity > 0 && capacity < INT32_MAX && channels > 0
            ? av_samples_get_buffer_size(nullptr, channels, static_cast<int>(capacity), AV_SAMPLE_FMT_S16, 0)
            : -1;
    if (capacityBytes > 0) {
      AudioBuffer buffer;
      buffer.bytes.assign(static_cast<size_t>(capacityBytes), 0);
      uint8_t* out = buffer.bytes.data();
      const int converted = swr_convert(resampler, &out, static_cast<int>(capacity),
                                        const_cast<const uint8_t**>(audioFrame->extended_data), audioFrame->nb_samples);
      if (converted > 0) {
        const int size = av_samples_get_buffer_size(nullptr, channels, converted, AV_SAMPLE_FMT_S16, 0);
        if (size > 0) {
          buffer.bytes.resize(static_cast<size_t>(size));
          PushAudioBuffer(std::move(buffer));
        }
      }
    }
    av_frame_unref(audioFrame);
  }
}

// Both the audio thread and the GUI thread submit; neither ever waits for
// the other.
bool MediaPlayer::SubmitNextAudioBuffer() {
  std::unique_lock<std::mutex> submit(submitMutex, std::try_to_lock);
  if (!submit.owns_lock() || !sourceVoice) return false;
  AudioBuffer next;
  {
    std::lock_guard<std::mutex> lock(audioQueueMutex);
    if (audioQueue.empty()) return false;
    next = std::move(audioQueue.front());
    audioQueue.pop_front();
  }
  audioQueueCondition.notify_all();
  return sourceVoice->Submit(std::move(next.bytes));
}

void MediaPlayer::OnBufferEnd() { SubmitNextAudioBuffer(); }

int MediaPlayer::SubmitAudioBuffers(int most) {
  int submitted = 0;
  while (submitted < most && SubmitNextAudioBuffer()) ++submitted;
  return submitted;
}

double MediaPlayer::GetPosition() {
  if (state != PlaybackState::Playing) return clockBase;
  const auto now = Now();
  if (!audioCodec || !sourceVoice || sampleRate <= 0) return clockBase + SecondsBetween(wallClockStart, now);

  const platform::VoiceState voice = sourceVoice->State();
  const uint64_t played = voice.samplesPlayed >= samplesPlayedBase ? voice.samplesPlayed - samplesPlayedBase : 0;
  const double position = clockBase + static_cast<double>(played) / sampleRate;
  if (voice.buffersQueued > 0) {
    audioStarved = false;
    return position;
  }
  // The voice has run dry: hold the position briefly, then let the wall
  // clock carry the picture on.
  if (!audioStarved) {
    heldPosition = position;
    audioStarved = true;
    starvedSince = now;
    return position;
  }
  if (clockFallback) return heldPosition + SecondsBetween(fallbackSince, now);
  if (SecondsBetween(starvedSince, now) < kStarvedHoldSeconds) return heldPosition;
  heldPosition = position;
  clockFallback = true;
  fallbackSince = now;
  return position;
}

void MediaPlayer::UpdateAudio() {
  if (state != PlaybackState::Playing || !sourceVoice || !audioCodec) return;
  if (sourceVoice->State().buffersQueued > 0) return;
  const bool wasFallback = clockFallback;
  double p = wasFallback ? GetPosition() : clockBase;
  if (SubmitAudioBuffers(kBuffersInFlight) == 0) return;
  if (wasFallback) {
    // The sound continues from where the wall clock had got to.
    clockBase = p;
    samplesPlayedBase = sourceVoice->State().samplesPlayed;
  } else {
    p = clockBase;
  }
  clockFallback = audioStarved = false;
  heldPosition = p;
  fallbackSince = starvedSince = Now();
  sourceVoice->Start();
}

void MediaPlayer::SetVolume(float value) {
  volume = std::clamp(value, 0.0f, 2.0f);
  if (sourceVoice) sourceVoice->SetVolume(volume);
}

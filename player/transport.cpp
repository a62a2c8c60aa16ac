// The demux thread with its two bounded queues, and play, pause and seek.
#include <cmath>

#include "player/ffmpeg.h"
#include "player/media_player.h"

namespace {

constexpr int kInvalidDataRetries = 16;
constexpr auto kReadRetryDelay = std::chrono::milliseconds(2);
constexpr auto kFirstBufferWait = std::chrono::milliseconds(500);

}  // namespace

void MediaPlayer::DemuxThread() {
  bool endOfStream = false, flushed = false;
  int errorCount = 0;
  while (!stopRequested) {
    if (seekRequested.exchange(false)) {
      const int stream = videoStreamIndex >= 0 ? videoStreamIndex : audioStreamIndex;
      bool sought = false;
      if (formatContext && stream >= 0) {
        sought = avformat_seek_file(formatContext, stream, INT64_MIN, seekTarget, INT64_MAX, AVSEEK_FLAG_BACKWARD) >= 0 ||
                 av_seek_frame(formatContext, stream, seekTarget, AVSEEK_FLAG_BACKWARD) >= 0;
      }
      if (!sought) continue;  // a rejected seek reads on where it was
      avformat_flush(formatContext);
      if (videoCodec) avcodec_flush_buffers(videoCodec);
      if (audioCodec) avcodec_flush_buffers(audioCodec);
      ClearQueues();
      frameOffset = 0.0;
      endOfStream = flushed = false;
      errorCount = 0;
      videoQueueCondition.notify_all();
      audioQueueCondition.notify_all();
      continue;
    }
    if (endOfStream) {
      // Nothing to read until a seek or a stop: sleep without using the CPU.
      std::unique_lock<std::mutex> lock(eofMutex);
      eofCondition.wait(lock, [this] { return stopRequested || seekRequested; });
      continue;
    }
    av_packet_unref(packet);
    const int result = av_read_frame(formatContext, packet);
    if (result == AVERROR(EAGAIN)) {
      std::this_thread::sleep_for(kReadRetryDelay);
      continue;
    }
    if (result == AVERROR_EOF) {
      if (!flushed) {
        DecodeVideo(nullptr);
        DecodeAudio(nullptr);
        flushed = true;
      }
      endOfStream = true;
      continue;
    }
    if (result < 0) {
      av_packet_unref(packet);
      ++errorCount;
      if (result != AVERROR_INVALIDDATA || errorCount > kInvalidDataRetries) endOfStream = true;
      continue;
    }
    errorCount = 0;
    const bool usable = !(packet->flags & AV_PKT_FLAG_CORRUPT) && packet->size > 0 && packet->data &&
                        (packet->buf || av_packet_make_refcounted(packet) >= 0);
    if (usable && packet->stream_index == videoStreamIndex) {
      DecodeVideo(packet);
    } else if (usable && packet->stream_index == audioStreamIndex) {
      DecodeAudio(packet);
    }
    av_packet_unref(packet);
  }
  av_packet_unref(packet);
}

void MediaPlayer::PushVideoFrame(VideoFrame frame) {
  std::unique_lock<std::mutex> lock(videoQueueMutex);
  videoQueueCondition.wait(lock, [this] {
    return videoQueue.size() < videoQueueCapacity || stopRequested || seekRequested;
  });
  if (stopRequested || seekRequested || videoQueueCapacity == 0) return;  // dropped
  videoQueue.push_back(std::move(frame));
  lock.unlock();
  videoQueueCondition.notify_all();
}

void MediaPlayer::PushAudioBuffer(AudioBuffer buffer) {
  std::unique_lock<std::mutex> lock(audioQueueMutex);
  audioQueueCondition.wait(lock, [this] {
    return audioQueue.size() < audioQueueCapacity || stopRequested || seekRequested;
  });
  if (stopRequested || seekRequested || audioQueueCapacity == 0) return;
  audioQueue.push_back(std::move(buffer));
  lock.unlock();
  audioQueueCondition.notify_all();
}

bool MediaPlayer::Seek(double seconds) {
  if (!formatContext) return false;
  if (duration > 0) seconds = std::clamp(seconds, 0.0, duration);
  const int index = videoStreamIndex >= 0 ? videoStreamIndex : audioStreamIndex;
  if (index < 0 || index >= static_cast<int>(formatContext->nb_streams)) return false;
  const AVRational timeBase = formatContext->streams[index]->time_base;
  if (timeBase.num <= 0 || timeBase.den <= 0) return false;
  seekTarget = av_rescale_q(static_cast<int64_t>(seconds * 1000000.0), AVRational{1, 1000000}, timeBase);
  seekOrigin = seconds;
  seekRequested = true;  // after the target: the worker reads it once it sees the request
  // Nothing queued before the seek may be heard or shown after it: empty
  // both queues here (the worker empties them again once it has sought) and
  // keep the audio thread from submitting meanwhile.
  {
    std::lock_guard<std::mutex> submit(submitMutex);
    ClearQueues();
    if (sourceVoice) {
      sourceVoice->Stop();
      sourceVoice->Flush();
    }
  }
  state = PlaybackState::Stopped;
  clockBase = seconds;
  samplesPlayedBase = 0;
  heldPosition = seconds;
  wallClockStart = fallbackSince = starvedSince = Now();
  clockFallback = audioStarved = false;
  WakeWorker();  // a worker blocked on a full queue or at the end wakes and seeks
  return true;
}

void MediaPlayer::Resume() {
  if (state == PlaybackState::Playing) return;
  if (!audioCodec) {
    wallClockStart = Now();
    clockFallback = audioStarved = false;
    state = PlaybackState::Playing;
    return;
  }
  if (!sourceVoice) return;
  if (state == PlaybackState::Stopped) {
    // After an open or a seek: wait briefly for the first sound.
    std::unique_lock<std::mutex> lock(audioQueueMutex);
    audioQueueCondition.wait_for(lock, kFirstBufferWait, [this] { return !audioQueue.empty() || stopRequested; });
    lock.unlock();
    samplesPlayedBase = sourceVoice->State().samplesPlayed;
    SubmitAudioBuffers(kBuffersInFlight);
  } else {
    samplesPlayedBase = sourceVoice->State().samplesPlayed;
  }
  heldPosition = clockBase;
  clockFallback = audioStarved = false;
  fallbackSince = starvedSince = Now();
  sourceVoice->Start();
  state = PlaybackState::Playing;
}

void MediaPlayer::Pause() {
  if (state != PlaybackState::Playing) return;
  clockBase = GetPosition();
  if (audioCodec && sourceVoice) sourceVoice->Stop();
  state = PlaybackState::Paused;
}

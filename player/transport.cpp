// The demux thread with its two bounded queues, and play, pause and seek.
#include <algorithm>
#include <cmath>

#include "kit/frame_demand.h"
#include "player/ffmpeg.h"
#include "player/media_player.h"

namespace {

constexpr int kInvalidDataRetries = 16;
constexpr auto kReadRetryDelay = std::chrono::milliseconds(2);
// The longest the GUI waits on the worker: for a seek to be done and the
// first sound after it.
constexpr auto kFirstBufferWait = std::chrono::milliseconds(500);

}  // namespace

void MediaPlayer::DemuxThread() {
  int errorCount = 0;
  bool flushed = false;
  while (!stopRequested) {
    if (seekRequested.exchange(false)) {
      if (PerformSeek()) {
        errorCount = 0;
        flushed = false;
      }
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
    if (result < 0) {
      av_packet_unref(packet);
      if (result != AVERROR_EOF && result == AVERROR_INVALIDDATA && ++errorCount <= kInvalidDataRetries) continue;
      // The end, or an error that ends reading: what the decoders hold is
      // still shown and heard.
      if (!flushed) {
        DecodeVideo(nullptr);
        DecodeAudio(nullptr);
        flushed = true;
      }
      endOfStream = true;
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

// Worker side of a seek. On success everything decoded before it is gone
// and stamping restarts at the target; a refused seek changes nothing.
bool MediaPlayer::SeekStreamTo(int64_t timestamp) {
  const int stream = videoStreamIndex >= 0 ? videoStreamIndex : audioStreamIndex;
  if (!formatContext || stream < 0) return false;
  return avformat_seek_file(formatContext, stream, INT64_MIN, timestamp, INT64_MAX, AVSEEK_FLAG_BACKWARD) >= 0 ||
         av_seek_frame(formatContext, stream, timestamp, AVSEEK_FLAG_BACKWARD) >= 0;
}

// Containers without an index of key frames (transport and program
// streams) seek to any packet; decoding would then start at the next key
// frame, seconds after the target. Look for the key frame the seek led to
// and, while it lies beyond the target, seek further back; then seek to
// the key frame itself.
bool MediaPlayer::SeekToKeyFrameBefore(int64_t target) {
  if (!SeekStreamTo(target)) return false;
  if (!videoStream) return true;  // every sound packet starts cleanly
  const bool indexed = avformat_index_get_entries_count(videoStream) > 0 &&
                       !(formatContext->iformat->flags & AVFMT_TS_DISCONT);
  if (indexed) return true;
  const AVRational timeBase = videoStream->time_base;
  int64_t margin = 0;
  const int64_t step = av_rescale_q(2, AVRational{1, 1}, timeBase);  // 2 s
  for (int attempt = 0; attempt < 8 && !stopRequested; ++attempt) {
    int64_t keyTime = AV_NOPTS_VALUE;
    for (int read = 0; read < 5000 && keyTime == AV_NOPTS_VALUE && !stopRequested; ++read) {
      if (av_read_frame(formatContext, packet) < 0) break;
      // Its decode time: these containers seek by it, and with reordered
      // pictures the presentation time lies after it.
      if (packet->stream_index == videoStreamIndex && (packet->flags & AV_PKT_FLAG_KEY))
        keyTime = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
      av_packet_unref(packet);
    }
    if (keyTime == AV_NOPTS_VALUE) return SeekStreamTo(target - margin);  // none found: as good as it gets
    if (keyTime <= target) return SeekStreamTo(keyTime);
    if (margin > 0 && target - margin <= videoStream->start_time) return SeekStreamTo(keyTime);
    margin = margin > 0 ? margin * 2 : step;
    if (!SeekStreamTo(target - margin)) return false;
  }
  return true;
}

bool MediaPlayer::PerformSeek() {
  const uint64_t generation = seekGeneration;
  const int stream = videoStreamIndex >= 0 ? videoStreamIndex : audioStreamIndex;
  const int64_t target = seekTarget;
  bool sought = false;
  // Input that cannot seek (a pipe) is not touched: reading goes on.
  const bool seekable = formatContext && formatContext->pb && (formatContext->pb->seekable & AVIO_SEEKABLE_NORMAL);
  if (seekable && stream >= 0) sought = SeekToKeyFrameBefore(target);
  if (sought) {
    // The seek has already emptied the demuxer's buffers; flushing it again
    // would forget the timestamp it landed on, and demuxers that count
    // timestamps on from there (MP3, raw AAC) would start again from 0.
    if (videoCodec) avcodec_flush_buffers(videoCodec);
    if (audioCodec) avcodec_flush_buffers(audioCodec);
    videoQueue.Clear();
    audioQueue.Clear();
    ResetTimeline();
    stamper.Restart(seekSeconds, frameDuration, formatContext->iformat->flags & AVFMT_TS_DISCONT);
    soundTarget = seekSeconds;
    endOfStream = false;
  }
  seekFailed = !sought;
  seekDoneGeneration = generation;
  audioQueue.Wake();  // the GUI may be waiting for the outcome
  return sought;
}

void MediaPlayer::PushVideoFrame(VideoFrame frame) {
  videoQueue.Push(std::move(frame), [this] { return stopRequested || seekRequested; });
}

void MediaPlayer::PushAudioBuffer(AudioBuffer buffer) {
  audioQueue.Push(std::move(buffer), [this] { return stopRequested || seekRequested; });
}

bool MediaPlayer::Seek(double seconds) {
  if (!formatContext) return false;
  FrameDemand::Next();
  if (duration > 0) seconds = std::clamp(seconds, 0.0, duration);
  const int index = videoStreamIndex >= 0 ? videoStreamIndex : audioStreamIndex;
  if (index < 0 || index >= static_cast<int>(formatContext->nb_streams)) return false;
  const AVRational timeBase = formatContext->streams[index]->time_base;
  if (timeBase.num <= 0 || timeBase.den <= 0 || !std::isfinite(seconds)) return false;
  if (!seekAwaited) positionBeforeSeek = GetPosition();
  // The voice keeps its sound until the seek is known to have worked.
  if (sourceVoice) sourceVoice->Stop();
  state = PlaybackState::Stopped;
  ended = false;
  clock.Hold(seconds);
  const int64_t micros = static_cast<int64_t>(seconds * 1000000.0) + startTimeMicroseconds;
  seekTarget = av_rescale_q(micros, AVRational{1, 1000000}, timeBase);
  seekSeconds = seconds;
  seekGeneration.fetch_add(1);
  seekRequested = true;  // after the target: the worker reads it once it sees the request
  seekAwaited = true;
  WakeWorker();  // a worker blocked on a full queue or at the end wakes and seeks
  return true;
}

// GUI side of a finished seek: the sound from before it is dropped, or, when
// the file refused the seek, the position goes back to where it was.
void MediaPlayer::FinishSeek() {
  if (!seekAwaited || SeekInFlight()) return;
  seekAwaited = false;
  if (seekFailed) {
    clock.Hold(positionBeforeSeek);
  } else {
    clock.Reset(seekSeconds);
    pictureWantedAfterSeek = state != PlaybackState::Playing && videoCodec != nullptr;
    std::lock_guard<std::mutex> submit(submitMutex);
    if (sourceVoice) sourceVoice->Flush();
  }
  // Resume gave up waiting for this seek: playback starts from the target now.
  if (state == PlaybackState::Playing) {
    if (sourceVoice) {
      clock.Start(sourceVoice->State().samplesPlayed);
      FeedVoice();
      sourceVoice->Start();
    } else {
      clock.StartWithoutVoice();
    }
  }
}

void MediaPlayer::Resume() {
  FrameDemand::Next();
  // Nothing open (a file that cannot play): the play button stays a play button.
  if (state == PlaybackState::Playing || !formatContext) return;
  if (ended) Seek(0.0);  // played to the end: again from the start
  const auto deadline = Clock::now() + kFirstBufferWait;
  if (seekAwaited) {
    audioQueue.WaitUntil(kFirstBufferWait, [this](size_t) { return !SeekInFlight() || stopRequested; });
    FinishSeek();
  }
  const bool afterSeekOrOpen = state == PlaybackState::Stopped && !seekFailed;
  seekFailed = false;
  if (!audioCodec) {
    clock.StartWithoutVoice();
    state = PlaybackState::Playing;
    return;
  }
  if (!sourceVoice) return;
  if (afterSeekOrOpen) {
    // Wait briefly for the first sound.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    audioQueue.WaitUntil(std::max(left, std::chrono::milliseconds(0)),
                         [this](size_t queued) { return queued > 0 || stopRequested || endOfStream; });
  }
  state = PlaybackState::Playing;
  if (seekAwaited) return;  // still seeking: the sound starts once the seek is done
  clock.Start(sourceVoice->State().samplesPlayed);
  FeedVoice();
  sourceVoice->Start();
}

void MediaPlayer::Pause() {
  if (state != PlaybackState::Playing) return;
  clock.Hold(GetPosition());
  if (audioCodec && sourceVoice) sourceVoice->Stop();
  state = PlaybackState::Paused;
}

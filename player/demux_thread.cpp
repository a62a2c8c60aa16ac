// The demux thread: reads packets and hands them to the decoders, waits at
// the end of the stream, and performs the seeks the GUI asks for.
#include <algorithm>
#include <cmath>
#include <limits>

#include "player/ffmpeg.h"
#include "player/media_player.h"

namespace {

constexpr int kInvalidDataRetries = 16;
constexpr auto kReadRetryDelay = std::chrono::milliseconds(2);

}  // namespace

void MediaPlayer::ResetTimeline() {
  const bool mayJump = formatContext && formatContext->iformat && (formatContext->iformat->flags & AVFMT_TS_DISCONT);
  stamper.Restart(0.0, frameDuration, mayJump);
  soundAlignPending = true;
  soundTarget = 0.0;
  pendingSound.clear();
  pendingSoundStart = lastSoundEnd = std::numeric_limits<double>::quiet_NaN();
  unconfirmedGap.reset();
}

void MediaPlayer::DemuxThread() {
  int errorCount = 0;
  bool flushed = false;
  uint64_t performed = seekAnswered;  // the last seek request dealt with
  while (!stopRequested) {
    if (seekRequested.exchange(false)) {
      // Two seeks in quick succession may be seen as one request: the
      // second look finds nothing new.
      const uint64_t serial = seekSerial;
      if (serial != performed && PerformSeek(serial)) {
        errorCount = 0;
        flushed = false;
      }
      performed = serial;
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
      // The end is reached when the last picture is queued for the screen.
      // A seek or a stop cuts the wait short: the end is not reached then
      // (a refused seek comes back here, and the last pictures still go up).
      conveyor.WaitUntilIdle(timelineSerial);
      if (stopRequested || seekRequested) continue;
      endOfStream = true;
      videoQueue.Wake();  // the GUI may wait for pictures that will not come
      audioQueue.Wake();
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

bool MediaPlayer::PerformSeek(uint64_t serial) {
  const int stream = videoStreamIndex >= 0 ? videoStreamIndex : audioStreamIndex;
  const int64_t target = seekTarget;
  bool sought = false;
  // Input that cannot seek (a pipe) is not touched: reading goes on.
  if (inputSeekable && stream >= 0) sought = SeekToKeyFrameBefore(target);
  if (sought) {
    // The seek has already emptied the demuxer's buffers; flushing it again
    // would forget the timestamp it landed on, and demuxers that count
    // timestamps on from there (MP3, raw AAC) would start again from 0.
    if (videoCodec) avcodec_flush_buffers(videoCodec);
    if (audioCodec) avcodec_flush_buffers(audioCodec);
    timelineSerial = serial;  // before the clearing: what the converter still pushes is dropped
    videoQueue.Clear();
    audioQueue.Clear();
    ResetTimeline();
    stamper.Restart(seekSeconds, frameDuration, formatContext->iformat->flags & AVFMT_TS_DISCONT);
    soundTarget = seekSeconds;
    endOfStream = false;
  }
  seekRefused = !sought;
  seekAnswered = serial;
  audioQueue.Wake();  // the GUI may be waiting for the answer
  return sought;
}


// Opening a file (streams, decoders, output) and freeing it again.
#include "player/media_player.h"

#include "app/tab_base.h"
#include "player/ffmpeg.h"

MediaPlayer Player;

MediaPlayer::MediaPlayer() {
  av_log_set_level(AV_LOG_QUIET);  // failures are handled where they happen; the program keeps no log
  ResetClock();
}

MediaPlayer::~MediaPlayer() { Close(); }

void MediaPlayer::Play(const std::string& path) {
  showingStill = false;
  stillTexture.Release();
  currentPath = path;
  if (Open(path)) {
    Resume();
  } else {
    showingStill = LoadStillFrame(path);
  }
  ownerTab = DrawnTabIndex;
  mediaLoaded = true;  // also when nothing could be shown: the panel keeps its controls
}

void MediaPlayer::Unload() {
  stillTexture.Release();
  Close();
  showingStill = false;
  mediaLoaded = false;
}

void MediaPlayer::ResetClock() {
  const auto now = Now();
  samplesPlayedBase = 0;
  clockBase = 0.0;
  wallClockStart = now;
  clockFallback = audioStarved = false;
  heldPosition = 0.0;
  fallbackSince = starvedSince = now;
}

bool MediaPlayer::Open(const std::string& path) {
  Close();
  seekRequested = false;
  seekTarget = 0;
  videoQueueCapacity = 30;
  audioQueueCapacity = 64;
  ResetClock();
  seekOrigin = 0.0;
  bool ok = OpenStreams(path);
  if (ok && videoCodec) {
    // Beyond 1080p fewer than 30 pictures fit the queue's memory budget.
    const size_t frameBytes = static_cast<size_t>(videoWidth) * static_cast<size_t>(videoHeight) * 4;
    videoQueueCapacity = std::clamp<size_t>(kVideoQueueBudgetBytes / frameBytes, 2, 30);
    ok = videoTexture.Create(videoWidth, videoHeight, platform::PixelFormat::BGRA, nullptr, 0);
  }
  if (ok && audioCodec) ok = CreateAudioOutput();
  if (!ok) {
    Close();
    return false;
  }
  stopRequested = false;
  demuxThread = std::thread([this] { DemuxThread(); });
  state = PlaybackState::Stopped;
  return true;
}

double FrameDurationFor(const AVStream* stream) {
  const auto fromRate = [](AVRational rate) {
    return rate.num > 0 && rate.den > 0 && av_q2d(rate) > 0.001 ? 1.0 / av_q2d(rate) : 0.0;
  };
  if (double d = fromRate(stream->avg_frame_rate); d > 0) return d;
  if (double d = fromRate(stream->r_frame_rate); d > 0) return d;
  if (stream->time_base.num > 0 && stream->time_base.den > 0) return av_q2d(stream->time_base);
  return 1.0 / 30.0;
}

// Finds, sets up and opens the decoder for a stream. preferredName names a
// decoder to use instead of the default one when it exists.
bool MediaPlayer::OpenDecoder(AVStream* stream, const char* preferredName, bool singleThreaded,
                              AVCodecContext*& context) {
  if (!stream || !stream->codecpar) return false;
  const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
  if (preferredName) {
    if (const AVCodec* named = avcodec_find_decoder_by_name(preferredName)) decoder = named;
  }
  if (!decoder) return false;
  context = avcodec_alloc_context3(decoder);
  if (!context) return false;
  if (avcodec_parameters_to_context(context, stream->codecpar) < 0) return false;
  context->pkt_timebase = stream->time_base;
  if (singleThreaded) {
    context->thread_count = 1;
    context->thread_type = 0;
  }
  return avcodec_open2(context, decoder, nullptr) >= 0;
}

bool MediaPlayer::OpenStreams(const std::string& path) {
  if (avformat_open_input(&formatContext, path.c_str(), nullptr, nullptr) < 0) return false;
  formatContext->flags |= AVFMT_FLAG_DISCARD_CORRUPT;
  formatContext->probesize = 52428800;
  formatContext->max_analyze_duration = 10000000;
  if (avformat_find_stream_info(formatContext, nullptr) < 0) return false;
  duration = formatContext->duration > 0 ? formatContext->duration / 1000000.0 : 0.0;

  videoStreamIndex = av_find_best_stream(formatContext, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  audioStreamIndex = av_find_best_stream(formatContext, AVMEDIA_TYPE_AUDIO, -1,
                                         videoStreamIndex >= 0 ? videoStreamIndex : -1, nullptr, 0);
  if (videoStreamIndex < 0) {
    if (audioStreamIndex < 0) return false;
    return OpenAudioOnly();
  }

  videoStream = formatContext->streams[videoStreamIndex];
  if (!videoStream || !videoStream->codecpar) return false;
  const AVCodecID videoId = videoStream->codecpar->codec_id;
  const char* videoName = videoId == AV_CODEC_ID_H264 ? "h264" : videoId == AV_CODEC_ID_HEVC ? "hevc" : nullptr;
  // Refuse pictures too large to hold before a decoder allocates for them.
  const int declaredWidth = videoStream->codecpar->width, declaredHeight = videoStream->codecpar->height;
  if (PictureTooLarge(declaredWidth, declaredHeight)) return false;
  if (!OpenDecoder(videoStream, videoName, true, videoCodec)) return false;
  videoWidth = videoCodec->width;
  videoHeight = videoCodec->height;
  if (videoWidth <= 0 || videoHeight <= 0) return false;
  if (PictureTooLarge(videoWidth, videoHeight)) return false;

  if (audioStreamIndex < 0) {
    audioStream = nullptr;
    sampleRate = channels = 0;
  } else {
    audioStream = formatContext->streams[audioStreamIndex];
    const bool aac = audioStream && audioStream->codecpar && audioStream->codecpar->codec_id == AV_CODEC_ID_AAC;
    // A file whose sound cannot be decoded does not play at all.
    if (!OpenDecoder(audioStream, aac ? "aac" : nullptr, true, audioCodec)) return false;
  }

  videoFrame = av_frame_alloc();
  packet = av_packet_alloc();
  if (!videoFrame || !packet) return false;
  if (audioCodec && !(audioFrame = av_frame_alloc())) return false;

  scaler = nullptr;
  frameOffset = 0.0;
  frameDuration = FrameDurationFor(videoStream);
  if (audioCodec && !SetUpResampler()) return false;
  clockBase = 0.0;
  samplesPlayedBase = 0;
  wallClockStart = Now();
  return true;
}

bool MediaPlayer::OpenAudioOnly() {
  videoStreamIndex = -1;
  videoStream = nullptr;
  videoWidth = videoHeight = 0;
  audioStream = formatContext->streams[audioStreamIndex];
  if (!OpenDecoder(audioStream, nullptr, false, audioCodec)) return false;
  audioFrame = av_frame_alloc();
  packet = av_packet_alloc();
  if (!audioFrame || !packet) return false;
  if (!SetUpResampler()) return false;
  samplesPlayedBase = 0;
  frameDuration = frameOffset = 0.0;
  return true;
}

void MediaPlayer::WakeWorker() {
  // Taking each lock once orders the request before any waiter's next check.
  for (std::mutex* mutex : {&eofMutex, &audioQueueMutex, &videoQueueMutex}) std::lock_guard<std::mutex> lock(*mutex);
  eofCondition.notify_all();
  audioQueueCondition.notify_all();
  videoQueueCondition.notify_all();
}

void MediaPlayer::ClearQueues() {
  {
    std::lock_guard<std::mutex> lock(videoQueueMutex);
    videoQueue.clear();
  }
  std::lock_guard<std::mutex> lock(audioQueueMutex);
  audioQueue.clear();
}

void MediaPlayer::Close() {
  stopRequested = true;
  WakeWorker();
  if (demuxThread.joinable()) demuxThread.join();

  std::unique_ptr<platform::AudioVoice> voice;
  {
    // Under the submit lock, so the audio thread sees the voice gone rather
    // than half destroyed; it only ever try-locks, so it never waits here.
    std::lock_guard<std::mutex> submit(submitMutex);
    if (sourceVoice) {
      sourceVoice->Stop();
      sourceVoice->Flush();
    }
    voice = std::move(sourceVoice);
  }
  voice.reset();  // waits for the audio thread to leave the voice
  ClearQueues();
  sws_freeContext(scaler);
  scaler = nullptr;
  swr_free(&resampler);
  av_frame_free(&videoFrame);
  av_frame_free(&audioFrame);
  av_packet_free(&packet);
  avcodec_free_context(&videoCodec);
  avcodec_free_context(&audioCodec);
  avformat_close_input(&formatContext);
  videoTexture.Release();

  videoStream = audioStream = nullptr;
  videoStreamIndex = audioStreamIndex = -1;
  videoWidth = videoHeight = 0;
  frameDuration = frameOffset = duration = 0.0;
  seekOrigin = 0.0;
  sampleRate = channels = 0;
  ResetClock();
  state = PlaybackState::Stopped;
}

// Opening a file (streams, decoders, output) and freeing it again.
#include "player/media_player.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <system_error>

#include "kit/frame_demand.h"
#include "player/decoder.h"
#include "player/rotation.h"
#include "player/ffmpeg.h"

MediaPlayer Player;

namespace {

double PixelAspectOf(AVFormatContext* format, AVStream* stream) {
  const AVRational sar = av_guess_sample_aspect_ratio(format, stream, nullptr);
  if (sar.num <= 0 || sar.den <= 0) return 1.0;
  return std::clamp(av_q2d(sar), 0.1, 10.0);
}

// A file that is one picture: an image read as a stream, or a video stream
// with a single frame and no sound.
bool IsSinglePicture(const AVFormatContext* format, const AVStream* stream, double frameDuration) {
  const char* name = format->iformat ? format->iformat->name : "";
  if (std::strstr(name, "_pipe") || std::strcmp(name, "image2") == 0) return true;
  if (stream->nb_frames == 1) return true;
  const double seconds = format->duration > 0 ? format->duration / 1e6 : 0.0;
  return seconds > 0 && seconds <= frameDuration * 1.5;
}

}  // namespace

MediaPlayer::MediaPlayer() {
  av_log_set_level(AV_LOG_QUIET);  // failures are handled where they happen; the program keeps no log
}

MediaPlayer::~MediaPlayer() { Close(); }

void MediaPlayer::Play(const std::string& path, int playingTab) {
  FrameDemand::Next();  // whoever asked, the panel shows the new file from the next frame
  showingStill = false;
  stillTexture.Release();
  currentPath = path;
  cannotPlay = false;
  whyNot.clear();
  if (Open(path) && !singlePicture) {
    Resume();
  } else {
    // A picture, or what cannot be played: its first picture, still.
    Close();
    showingStill = LoadStillFrame(path);
    cannotPlay = !showingStill;
    if (cannotPlay && whyNot.empty()) whyNot = "it holds no picture that can be shown";
  }
  ownerTab = playingTab;
  mediaLoaded = true;  // also when nothing could be shown: the panel keeps its controls
}

void MediaPlayer::Unload() {
  stillTexture.Release();
  Close();
  showingStill = false;
  mediaLoaded = false;
}

void MediaPlayer::UnloadIfShowing(const std::string& path) {
  if (!path.empty() && currentPath == path) Unload();
}

ShownPicture MediaPlayer::Picture() const {
  if (!videoTexture.Valid()) return {};
  return {&videoTexture, videoTexture.Width(), videoTexture.Height(), rotation, pixelAspect};
}

ShownPicture MediaPlayer::StillPicture() const {
  if (!stillTexture.Valid()) return {};
  return {&stillTexture, stillTexture.Width(), stillTexture.Height(), stillRotation, stillPixelAspect};
}

bool MediaPlayer::Open(const std::string& path) {
  Close();
  videoQueue.SetCapacity(30);
  audioQueue.SetCapacity(64);
  clock.Reset(0.0);
  openPath = path;
  bool ok = OpenStreams(path);
  if (ok && videoCodec) {
    // A decoder of more than 8 bits a sample holds frames twice the size (a
    // 10-bit 4K frame is 25 MB, as phones record HDR): one 4K picture less
    // is queued for the screen, and one decoded frame less waits for the
    // converter.
    const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(videoCodec->pix_fmt);
    const bool deep = format && format->comp[0].depth > 8;
    videoQueue.SetCapacity(30, deep ? kVideoQueueBudgetBytes - kLargestPictureBytes : kVideoQueueBudgetBytes);
    // The same file again (played to its end and started over): its last
    // picture stays up until the first one comes, rather than black.
    const bool again = currentFramePath == path && currentFrame.width == videoWidth &&
                       currentFrame.height == videoHeight && !currentFrame.pixels.empty();
    ok = videoTexture.Create(videoWidth, videoHeight, platform::PixelFormat::BGRA,
                             again ? currentFrame.pixels.data() : nullptr, again ? currentFrame.stride : 0);
    if (!ok) Refuse("no room for its picture on the graphics card");
    if (ok && !(ok = conveyor.Start(deep ? 1 : 2))) Refuse("no thread to convert its pictures");
  }
  if (ok && audioCodec && !(ok = CreateAudioOutput())) Refuse("the sound device cannot play its sound");
  if (ok) {
    stopRequested = false;
    try {
      demuxThread = std::thread([this] { DemuxThread(); });
    } catch (const std::system_error&) {
      ok = false;  // no thread to be had: shown as a still picture instead
    }
  }
  if (!ok) {
    Close();
    return false;
  }
  transport = {};
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

bool MediaPlayer::Refuse(std::string reason) {
  if (whyNot.empty()) whyNot = std::move(reason);
  return false;
}

bool MediaPlayer::RefuseWithCode(const char* step, int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return Refuse(std::string(step) + ": " + text);
}

namespace {

std::string NoDecoderFor(const AVStream* stream) {
  return std::string("no decoder for its ") + (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO ? "sound" : "picture") +
         " (" + avcodec_get_name(stream->codecpar->codec_id) + ")";
}

}  // namespace

bool MediaPlayer::OpenStreams(const std::string& path) {
  if (const int code = avformat_open_input(&formatContext, path.c_str(), nullptr, nullptr); code < 0)
    return RefuseWithCode("cannot open it", code);
  formatContext->flags |= AVFMT_FLAG_DISCARD_CORRUPT;
  formatContext->probesize = 52428800;
  formatContext->max_analyze_duration = 10000000;
  if (const int code = avformat_find_stream_info(formatContext, nullptr); code < 0)
    return RefuseWithCode("cannot read its streams", code);
  inputSeekable = formatContext->pb && (formatContext->pb->seekable & AVIO_SEEKABLE_NORMAL);
  duration = formatContext->duration > 0 ? formatContext->duration / 1000000.0 : 0.0;
  startTimeMicroseconds = formatContext->start_time != AV_NOPTS_VALUE ? formatContext->start_time : 0;

  videoStreamIndex = av_find_best_stream(formatContext, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  int coverIndex = -1;
  if (videoStreamIndex >= 0 && (formatContext->streams[videoStreamIndex]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
    // A cover picture is shown, but sound is what plays and seeks.
    coverIndex = videoStreamIndex;
    videoStreamIndex = -1;
  }
  audioStreamIndex = av_find_best_stream(formatContext, AVMEDIA_TYPE_AUDIO, -1,
                                         videoStreamIndex >= 0 ? videoStreamIndex : -1, nullptr, 0);
  if (videoStreamIndex < 0) {
    if (audioStreamIndex < 0) return Refuse("it holds neither picture nor sound");
    if (!OpenAudioOnly()) return false;
    if (coverIndex >= 0) LoadCover(coverIndex);  // without it the sound still plays
    return true;
  }

  videoStream = formatContext->streams[videoStreamIndex];
  if (!videoStream || !videoStream->codecpar) return false;
  const AVCodecID videoId = videoStream->codecpar->codec_id;
  const char* videoName = videoId == AV_CODEC_ID_H264 ? "h264" : videoId == AV_CODEC_ID_HEVC ? "hevc" : nullptr;
  // Refuse pictures too large to hold before a decoder allocates for them.
  if (PictureTooLarge(videoStream->codecpar->width, videoStream->codecpar->height))
    return Refuse("its picture is too large");
  // Pictures up to 720p decode many times faster than they play on one
  // core; larger ones spread over every core (frame threads add a
  // picture of delay each, worth it only where one core is not enough).
  const bool small = int64_t{videoStream->codecpar->width} * videoStream->codecpar->height <= kOneCorePicturePixels;
  if (!(videoCodec = OpenDecoder(videoStream, videoName, small ? DecoderThreads::One : DecoderThreads::EveryCore)))
    return Refuse(NoDecoderFor(videoStream));
  videoWidth = videoCodec->width;
  videoHeight = videoCodec->height;
  if (videoWidth <= 0 || videoHeight <= 0) return Refuse("its picture has no size");
  if (PictureTooLarge(videoWidth, videoHeight)) return Refuse("its picture is too large");
  rotation = RotationOf(videoStream);
  pixelAspect = PixelAspectOf(formatContext, videoStream);

  if (audioStreamIndex >= 0) {
    audioStream = formatContext->streams[audioStreamIndex];
    const bool aac = audioStream && audioStream->codecpar && audioStream->codecpar->codec_id == AV_CODEC_ID_AAC;
    // A file whose sound cannot be decoded does not play at all.
    if (!(audioCodec = OpenDecoder(audioStream, aac ? "aac" : nullptr, DecoderThreads::One))) return Refuse(NoDecoderFor(audioStream));
  }

  videoFrame = av_frame_alloc();
  packet = av_packet_alloc();
  if (!videoFrame || !packet) return false;
  if (audioCodec && !(audioFrame = av_frame_alloc())) return false;

  frameDuration = FrameDurationFor(videoStream);
  singlePicture = !audioCodec && IsSinglePicture(formatContext, videoStream, frameDuration);
  if (audioCodec && !SetUpResampler()) return Refuse("its sound cannot be converted for the device");
  ResetTimeline();
  return true;
}

bool MediaPlayer::OpenAudioOnly() {
  videoStreamIndex = -1;
  videoStream = nullptr;
  videoWidth = videoHeight = 0;
  audioStream = formatContext->streams[audioStreamIndex];
  if (!(audioCodec = OpenDecoder(audioStream, nullptr, DecoderThreads::Library))) return Refuse(NoDecoderFor(audioStream));
  audioFrame = av_frame_alloc();
  packet = av_packet_alloc();
  if (!audioFrame || !packet) return false;
  if (!SetUpResampler()) return Refuse("its sound cannot be converted for the device");
  frameDuration = 0.0;
  ResetTimeline();
  return true;
}

// The cover's one picture, decoded here on the GUI thread, becomes the
// picture of a sound file.
bool MediaPlayer::LoadCover(int streamIndex) {
  const AVStream* cover = formatContext->streams[streamIndex];
  if (!cover->attached_pic.data || cover->attached_pic.size <= 0) return false;
  AVCodecContext* decoder = OpenDecoder(cover, nullptr, DecoderThreads::One);
  AVFrame* frame = av_frame_alloc();
  bool ok = decoder && frame && avcodec_send_packet(decoder, &cover->attached_pic) >= 0;
  if (ok && avcodec_receive_frame(decoder, frame) < 0)
    ok = avcodec_send_packet(decoder, nullptr) >= 0 && avcodec_receive_frame(decoder, frame) >= 0;
  VideoFrame picture;
  PictureConverter coverConverter;
  ok = ok && coverConverter.Convert(*frame, picture) &&
       videoTexture.Create(picture.width, picture.height, platform::PixelFormat::BGRA, picture.pixels.data(),
                           picture.stride);
  if (ok) {
    videoWidth = picture.width;
    videoHeight = picture.height;
    rotation = RotationOf(cover);
    pixelAspect = 1.0;
  }
  av_frame_free(&frame);
  avcodec_free_context(&decoder);
  return ok;
}

void MediaPlayer::Close() {
  stopRequested = true;
  WakeWorker();
  if (demuxThread.joinable()) demuxThread.join();
  conveyor.Stop();

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
  videoQueue.Clear();
  audioQueue.Clear();
  resampler.Close();
  av_frame_free(&videoFrame);
  av_frame_free(&audioFrame);
  av_packet_free(&packet);
  avcodec_free_context(&videoCodec);
  avcodec_free_context(&audioCodec);
  avformat_close_input(&formatContext);
  videoTexture.Release();
  openPath.clear();

  videoStream = audioStream = nullptr;
  videoStreamIndex = audioStreamIndex = -1;
  videoWidth = videoHeight = 0;
  rotation = 0;
  pixelAspect = 1.0;
  singlePicture = false;
  frameDuration = duration = 0.0;
  startTimeMicroseconds = 0;
  sampleRate = channels = 0;
  pendingSound.clear();
  clock.Reset(0.0);
  transport = {};
  endOfStream = false;
  seekRequested = false;
  seekAnswered = seekSerial.load();
  seekRefused = false;
  inputSeekable = false;
}

MediaPlayer::Status MediaPlayer::Inspect() {
  Status s;
  s.open = formatContext != nullptr;
  s.decodesPictures = videoCodec != nullptr;
  s.workerRunning = demuxThread.joinable();
  s.sampleRate = sampleRate;
  s.channels = channels;
  s.videoWidth = videoWidth;
  s.videoHeight = videoHeight;
  s.frameDuration = frameDuration;
  s.picturesQueued = videoQueue.Size();
  s.soundBuffersQueued = audioQueue.Size();
  s.pictureCapacity = videoQueue.Capacity();
  s.soundCapacity = audioQueue.Capacity();
  s.onWallClock = clock.OnWallClock();
  s.seekPending = SeekInFlight();
  s.readToEnd = endOfStream;
  s.heldPosition = clock.Held();
  return s;
}

bool MediaPlayer::PeekQueuedPicture(VideoFrame& out) {
  const uint64_t serial = timelineSerial;
  bool current = false;
  videoQueue.PeekFront([&](const VideoFrame& front) {
    current = front.serial == serial;
    if (current) out = front;
  });
  return current;
}

std::pair<size_t, size_t> MediaPlayer::DrainQueues() {
  size_t pictures = 0, buffers = 0;
  VideoFrame picture;
  while (videoQueue.TryPop(picture)) {
    ++pictures;
    conveyor.Recycle(std::move(picture.pixels));  // as the screen gives them back
  }
  AudioBuffer buffer;
  while (audioQueue.TryPop(buffer)) ++buffers;
  return {pictures, buffers};
}

#pragma once
// The one media player of the program. A file is played by three threads:
// the GUI thread (every public operation), the demux thread (reads packets
// and runs both decoders) and the audio thread (asks for the next buffer).
// Sections: open and close (media_player.cpp), video (video_decoder.cpp),
// audio and clock (audio_output.cpp), demux thread and transport
// (transport.cpp), the panel (player_panel.cpp), still pictures
// (still_frame.cpp).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/audio_voice.h"
#include "platform/texture.h"
#include "player/media_types.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVStream;
struct AVFrame;
struct AVPacket;
struct SwsContext;
struct SwrContext;

class MediaPlayer {
 public:
  using Clock = std::chrono::steady_clock;

  MediaPlayer();
  ~MediaPlayer();
  MediaPlayer(const MediaPlayer&) = delete;
  MediaPlayer& operator=(const MediaPlayer&) = delete;

  // Shows the file (a file-system path) in the calling tab's panel, playing
  // it when it can be played.
  void Play(const std::string& path);
  // Drops the media on show so its file can be moved, revealed or deleted.
  void Unload();
  // Stops the worker and frees the file; safe when nothing is open.
  void Close();
  void Resume();
  void Pause();
  // Requests a seek; leaves the player Stopped (the caller resumes).
  bool Seek(double seconds);
  double GetPosition();
  // First thing of every GUI frame: keeps the sound fed and shows the newest
  // due picture.
  void UpdateFrame();
  void SetVolume(float value);
  // The picture fitted into the tab's space (less reservedHeight for video)
  // with the control row under it; only in the tab that played last.
  void DrawPanel(float reservedHeight);

  bool Open(const std::string& path);
  // The first picture of a file that cannot be played, as stillTexture.
  bool LoadStillFrame(const std::string& path);

  // Demuxing and decoding
  AVFormatContext* formatContext = nullptr;
  AVCodecContext* videoCodec = nullptr;
  AVCodecContext* audioCodec = nullptr;
  AVStream* videoStream = nullptr;
  AVStream* audioStream = nullptr;
  int32_t videoStreamIndex = -1;
  int32_t audioStreamIndex = -1;
  AVFrame* videoFrame = nullptr;
  AVFrame* audioFrame = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* scaler = nullptr;
  SwrContext* resampler = nullptr;

  // Video geometry and timing
  int32_t videoWidth = 0;
  int32_t videoHeight = 0;
  double frameDuration = 0.0;
  double frameOffset = 0.0;  // seconds of video stamped since the last open or seek
  std::atomic<double> seekOrigin{0.0};  // written by the GUI thread, read by the worker
  double duration = 0.0;

  // Presentation
  platform::Texture videoTexture;
  VideoFrame currentFrame;  // the picture last shown; kept across Close

  // Audio output
  std::unique_ptr<platform::AudioVoice> sourceVoice;
  int32_t sampleRate = 0;
  int32_t channels = 0;
  float volume = 1.0f;

  // Clock (GUI thread only)
  uint64_t samplesPlayedBase = 0;
  double clockBase = 0.0;
  Clock::time_point wallClockStart{};
  bool clockFallback = false;
  bool audioStarved = false;
  double heldPosition = 0.0;
  Clock::time_point fallbackSince{};
  Clock::time_point starvedSince{};
  // Where "now" comes from; tests step it by hand.
  Clock::time_point (*timeSource)() = &Clock::now;

  // Worker
  std::thread demuxThread;
  std::atomic<bool> stopRequested{false};
  std::mutex eofMutex;
  std::condition_variable eofCondition;
  std::atomic<bool> seekRequested{false};
  std::atomic<int64_t> seekTarget{0};

  // Queues
  std::deque<VideoFrame> videoQueue;
  size_t videoQueueCapacity = 8;
  std::mutex videoQueueMutex;
  std::condition_variable videoQueueCondition;
  std::deque<AudioBuffer> audioQueue;
  size_t audioQueueCapacity = 16;
  std::mutex audioQueueMutex;
  std::condition_variable audioQueueCondition;
  std::mutex submitMutex;

  std::atomic<PlaybackState> state{PlaybackState::Stopped};

 private:
  bool OpenStreams(const std::string& path);
  bool OpenAudioOnly();
  bool OpenDecoder(AVStream* stream, const char* preferredName, bool singleThreaded, AVCodecContext*& context);
  bool SetUpResampler();
  bool CreateAudioOutput();
  void ResetClock();

  void DemuxThread();
  void PushVideoFrame(VideoFrame frame);
  void PushAudioBuffer(AudioBuffer buffer);
  void DecodeVideo(const AVPacket* source);
  void DecodeAudio(const AVPacket* source);
  bool ConvertPicture(AVFrame* frame, VideoFrame& out);

  // Wakes a worker waiting at the end of the stream or on a full queue, so
  // it sees a stop or seek request raised before the call.
  void WakeWorker();
  void ClearQueues();
  // Submits up to most queued buffers to the voice; how many went.
  int SubmitAudioBuffers(int most);
  bool SubmitNextAudioBuffer();
  void OnBufferEnd();
  void UpdateAudio();
  void UpdateVideo();
  void UploadFrame(const VideoFrame& frame);
  void DrawSeekBar();
  void DrawVolume();

  Clock::time_point Now() const { return timeSource(); }
};

// Player globals: the last path given to Play, whether media is loaded,
// whether a still picture stands in, and which tab played last.
inline std::string currentPath;
inline bool mediaLoaded = false;
inline bool showingStill = false;
inline int32_t ownerTab = -1;
// The still picture shown for a file that cannot be played (its size is the
// texture's); kept across Close, dropped by Play and Unload.
inline platform::Texture stillTexture;

extern MediaPlayer Player;

// Buffers queued in the voice at start and at each refill.
inline constexpr int kBuffersInFlight = 4;

// Largest picture the player takes on (each side, and in all); larger ones
// are refused before any frame buffer is made for them.
inline constexpr int kMaxPictureSide = 16384;
inline constexpr int64_t kMaxPicturePixels = 8192LL * 8192LL;
inline bool PictureTooLarge(int64_t width, int64_t height) {
  return width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels;
}
// Memory the queued pictures may take; the queue holds fewer than 30
// pictures only when 30 would not fit (beyond 1080p).
inline constexpr size_t kVideoQueueBudgetBytes = 256u * 1024u * 1024u;

// Seconds per picture: average rate, then real base rate, then one tick of
// the time base, else 1/30 s.
double FrameDurationFor(const AVStream* stream);

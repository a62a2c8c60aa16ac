#pragma once
// The one media player of the program. A file is played by three threads:
// the GUI thread (every public operation), the demux thread (reads packets
// and runs both decoders) and the audio thread (asks for more sound).
// Sections: open and close (media_player.cpp), pictures
// (video_decoder.cpp), sound (audio_output.cpp), demux thread and transport
// (transport.cpp), still pictures (still_frame.cpp); the panel is drawn
// apart, from what this class shows (player_panel.cpp).
#include <atomic>
#include <condition_variable>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/audio_voice.h"
#include "platform/texture.h"
#include "player/audio_resampler.h"
#include "player/bounded_queue.h"
#include "player/media_types.h"
#include "player/picture_converter.h"
#include "player/picture_stamper.h"
#include "player/playback_clock.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVStream;
struct AVFrame;
struct AVPacket;

// How a picture is to be shown: its texture, and the turn and pixel shape
// the file asks for.
struct ShownPicture {
  const platform::Texture* texture = nullptr;
  int width = 0, height = 0;  // pixels of the texture
  int rotation = 0;           // clockwise quarter turns: 0, 90, 180 or 270
  double pixelAspect = 1.0;   // width of a pixel over its height
};

class MediaPlayer {
 public:
  using Clock = std::chrono::steady_clock;

  MediaPlayer();
  ~MediaPlayer();
  MediaPlayer(const MediaPlayer&) = delete;
  MediaPlayer& operator=(const MediaPlayer&) = delete;

  // Shows the file (a file-system path) in the panel of the tab playing it
  // (the caller's tab index), playing it when it can be played, else as a
  // still picture.
  void Play(const std::string& path, int playingTab);
  // Drops the media on show so its file can be moved, revealed or deleted.
  void Unload();
  // Unloads only when the file on show is this one.
  void UnloadIfShowing(const std::string& path);
  bool Open(const std::string& path);
  // Stops the worker and frees the file; safe when nothing is open.
  void Close();
  void Resume();
  void Pause();
  // Requests a seek; leaves the player Stopped (the caller resumes). A seek
  // the file refuses leaves the position where it was.
  bool Seek(double seconds);
  double GetPosition();
  // First thing of every GUI frame: keeps the sound fed and shows the newest
  // due picture.
  void UpdateFrame();
  void SetVolume(float value);
  // The picture fitted into the drawing tab's space (less reservedHeight for
  // video) with the control row under it; only when that tab played last.
  void DrawPanel(int drawingTab, float reservedHeight);
  // The first picture of a file that cannot be played, as the still picture.
  bool LoadStillFrame(const std::string& path);

  // What the panel shows.
  PlaybackState State() const { return state; }
  double Duration() const { return duration; }
  float Volume() const { return volume; }
  // The moving picture of the open file (no texture when it has none).
  ShownPicture Picture() const;
  // The still picture standing in for a file that cannot be played.
  ShownPicture StillPicture() const;
  // The file plays as one picture: no time and no seek bar.
  bool SinglePicture() const { return singlePicture; }
  // Everything has been shown and heard.
  bool Ended() const { return ended; }
  // The panel shows the picture smaller than its size: smooth it.
  void SetPictureMinified(bool minified);

  // A narrow view of the inner state, for tests and benchmarks.
  struct Status {
    bool open = false;
    bool decodesPictures = false;  // a moving picture, not a cover or none
    bool workerRunning = false;
    int sampleRate = 0, channels = 0;   // the voice's format
    int videoWidth = 0, videoHeight = 0;
    double frameDuration = 0.0;
    size_t picturesQueued = 0, soundBuffersQueued = 0;
    size_t pictureCapacity = 0, soundCapacity = 0;
    bool onWallClock = false;
    bool seekPending = false;
    bool readToEnd = false;     // the worker has read and decoded everything
    double heldPosition = 0.0;  // the clock's position while not playing
  };
  Status Inspect();
  // A copy of the oldest picture waiting to be shown; false when none.
  bool PeekQueuedPicture(VideoFrame& out);
  // The picture shown last.
  const VideoFrame& CurrentFrame() const { return currentFrame; }
  // Takes every queued picture and sound buffer at once (decoding speed
  // measurements); how many of each.
  std::pair<size_t, size_t> DrainQueues();
  void SetTimeSource(PlaybackClock::TimeSource source) { clock = PlaybackClock(source); }

 private:
  bool OpenStreams(const std::string& path);
  bool OpenAudioOnly();
  bool SetUpResampler();
  bool CreateAudioOutput();
  bool LoadCover(int streamIndex);
  void ResetTimeline();

  void DemuxThread();
  void PushVideoFrame(VideoFrame frame);
  void PushAudioBuffer(AudioBuffer buffer);
  void DecodeVideo(const AVPacket* source);
  void DecodeAudio(const AVPacket* source);
  void AppendSound(const AVFrame& frame);
  void FlushPendingSound();
  bool PerformSeek();
  bool SeekStreamTo(int64_t timestamp);
  bool SeekToKeyFrameBefore(int64_t target);
  bool SeekInFlight() const { return seekDoneGeneration != seekGeneration; }

  // Wakes a worker waiting at the end of the stream or on a full queue, so
  // it sees a stop or seek request raised before the call.
  void WakeWorker();
  // Tops the voice up to a little more than the device takes at once;
  // how many buffers went.
  int FeedVoice();
  size_t VoiceTargetFrames() const;
  VoiceReading ReadVoice();
  void FinishSeek();
  void UpdateAudio();
  void UpdateVideo();
  void CheckEnd();

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
  PictureConverter converter;
  AudioResampler resampler;

  std::string openPath;  // the file open now

  // Timeline: seconds since the file's start time.
  int64_t startTimeMicroseconds = 0;
  double duration = 0.0;
  double frameDuration = 0.0;
  PictureStamper stamper;  // worker only after the open
  // Sound after an open or seek starts exactly at soundTarget: earlier
  // samples are cut, a late start is preceded by silence. Worker only.
  bool soundAlignPending = false;
  double soundTarget = 0.0;
  std::vector<uint8_t> pendingSound;  // converted samples not yet a whole buffer


  // Presentation
  int32_t videoWidth = 0;
  int32_t videoHeight = 0;
  int rotation = 0;
  double pixelAspect = 1.0;
  bool singlePicture = false;
  int stillRotation = 0;
  double stillPixelAspect = 1.0;
  platform::Texture videoTexture;
  VideoFrame currentFrame;  // the picture last shown; kept across Close
  std::string currentFramePath;  // the file it came from

  // Audio output
  std::unique_ptr<platform::AudioVoice> sourceVoice;
  int32_t sampleRate = 0;
  int32_t channels = 0;
  float volume = 1.0f;
  std::mutex submitMutex;  // only ever try-locked: neither thread waits for the other

  // Clock (GUI thread only)
  PlaybackClock clock;
  bool ended = false;
  double endPosition = 0.0;

  // Worker
  std::thread demuxThread;
  std::atomic<bool> stopRequested{false};
  std::mutex eofMutex;
  std::condition_variable eofCondition;
  std::atomic<bool> endOfStream{false};  // read to the end and drained
  std::atomic<bool> seekRequested{false};
  std::atomic<int64_t> seekTarget{0};   // in the seek stream's time base
  std::atomic<double> seekSeconds{0.0};
  // Seeks asked for and seeks done (or refused) by the worker: one is in
  // flight while they differ.
  std::atomic<uint64_t> seekGeneration{0};
  std::atomic<uint64_t> seekDoneGeneration{0};
  std::atomic<bool> seekFailed{false};
  // GUI side of a seek in flight: where playback stood before it.
  bool seekAwaited = false;
  double positionBeforeSeek = 0.0;
  // A seek done while not playing: its first picture is to be shown.
  bool pictureWantedAfterSeek = false;
  // The owner tab drew the panel since the last UpdateFrame.
  bool panelShown = false;

  // Queues
  BoundedQueue<VideoFrame> videoQueue{8};
  BoundedQueue<AudioBuffer> audioQueue{16};

  std::atomic<PlaybackState> state{PlaybackState::Stopped};
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

// Memory the queued pictures may take; the queue holds fewer than 30
// pictures only when 30 would not fit (beyond 1080p).
inline constexpr size_t kVideoQueueBudgetBytes = 256u * 1024u * 1024u;
// Sound is queued in buffers of at least this long, so 64 of them always
// hold more than a second whatever the packets' size.
inline constexpr double kSoundBufferSeconds = 0.02;
// The voice holds at least this much sound beyond what the device takes.
inline constexpr double kVoiceLeadSeconds = 0.1;

// Seconds per picture: average rate, then real base rate, then one tick of
// the time base, else 1/30 s.
double FrameDurationFor(const AVStream* stream);

#pragma once
// The one media player of the program. A file is played by four threads:
// the GUI thread (every public operation), the demux thread (reads packets
// and runs both decoders, whose frame threads are the library's), the
// picture converter (picture_conveyor.h) and the audio thread (asks for
// more sound). Sections: open and close (media_player.cpp), the demux
// thread and the worker's side of a seek (demux_thread.cpp), decoding
// pictures (video_decoder.cpp), sound and the position (audio_output.cpp),
// play, pause and seek (transport.cpp), the step of every GUI frame
// (frame_step.cpp), still pictures (still_frame.cpp); the panel is drawn
// apart, from what this class shows (player_panel.cpp).
#include <atomic>
#include <condition_variable>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/audio_voice.h"
#include "platform/texture.h"
#include "player/audio_resampler.h"
#include "player/bounded_queue.h"
#include "player/media_types.h"
#include "player/picture_conveyor.h"
#include "player/picture_converter.h"
#include "player/picture_stamper.h"
#include "player/playback_clock.h"
#include "player/transport_state.h"

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

  // What the panel shows. Playing also while the first picture is on its
  // way and while a seek that is to play on is in flight.
  PlaybackState State() const;
  double Duration() const { return duration; }
  float Volume() const { return volume; }
  // The moving picture of the open file (no texture when it has none).
  ShownPicture Picture() const;
  // The still picture standing in for a file that cannot be played.
  ShownPicture StillPicture() const;
  // The file plays as one picture: no time and no seek bar.
  bool SinglePicture() const { return singlePicture; }
  // Everything has been shown and heard.
  bool Ended() const { return transport.phase == Phase::Ended; }
  // The file last given to Play, whether media is loaded (also when it
  // could not be shown), whether a still picture stands in, and which tab
  // played it.
  const std::string& CurrentPath() const { return currentPath; }
  bool MediaLoaded() const { return mediaLoaded; }
  bool ShowingStill() const { return showingStill; }
  int OwnerTab() const { return ownerTab; }
  // The file on show could neither be played nor shown as a picture, and
  // why, in FFmpeg's words where it gave them.
  bool CannotPlay() const { return cannotPlay; }
  const std::string& WhyNot() const { return whyNot; }
  // Sound without a picture of its own or a cover.
  bool SoundOnly() const { return audioCodec && !videoCodec && !videoTexture.Valid(); }

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
  // Notes why the file cannot be opened; false, for the caller to return.
  bool Refuse(std::string reason);
  bool RefuseWithCode(const char* step, int code);
  bool OpenAudioOnly();
  bool SetUpResampler();
  bool CreateAudioOutput();
  bool LoadCover(int streamIndex);
  void ResetTimeline();

  void DemuxThread();
  void PushAudioBuffer(AudioBuffer buffer);
  void DecodeVideo(const AVPacket* source);
  void DecodeAudio(const AVPacket* source);
  void AppendSound(const AVFrame& frame);
  // Silence into pendingSound at a byte offset (a lead-in, or a gap).
  void InsertSilence(size_t at, double seconds);
  void FlushPendingSound();
  bool PerformSeek(uint64_t serial);
  bool SeekStreamTo(int64_t timestamp);
  bool SeekToKeyFrameBefore(int64_t target);
  bool SeekInFlight() const { return transport.seek.has_value(); }

  // Wakes a worker waiting at the end of the stream or on a full queue, so
  // it sees a stop or seek request raised before the call.
  void WakeWorker();
  // Tops the voice up to a little more than the device takes at once;
  // how many buffers went. With a position, the first buffer goes only if
  // it is due there (not yet due: nothing goes).
  int FeedVoice(std::optional<double> dueAt = std::nullopt);
  size_t VoiceTargetFrames() const;
  VoiceReading ReadVoice();
  // The worker has answered the seek in flight: the phase it leads to.
  void FinishSeek();
  void UpdateAudio();
  // The clock went on without sound: sound queued for a time it has passed
  // is left out.
  void SkipSoundBefore(double position);
  // Shows the newest due picture; whether one went up.
  bool UpdateVideo();
  // While playing: how soon the screen next changes.
  double SecondsUntilNextPicture();
  // Starting: the clock and the sound start once the first sound and
  // pictures are in, or once the worker cannot bring them.
  void StartWhenReady(bool pictureShown);
  void BeginStarting();
  void StartOverWithoutWaiting();
  size_t PicturesWantedAtStart() const;
  // Larger than 1080p: its first pictures are slow to come, so its start
  // is waited for by the frame step, never by the GUI.
  bool LargeVideo() const;
  void StartClock();
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
  double pendingSoundStart = 0.0;     // the media time of its first sample, or NaN
  // A gap in the sound's timestamps is filled with silence once the frame
  // after it follows on from the one that opened it (a single stray
  // timestamp opens none for good). Worker only.
  struct SoundGap {
    size_t at = 0;          // where in pendingSound the silence goes
    double seconds = 0.0;
    double nextStart = 0.0;  // where the frame after must start to confirm it
  };
  std::optional<SoundGap> unconfirmedGap;
  double lastSoundEnd = 0.0;  // by its timestamp, of the last frame that had one; or NaN


  // Presentation
  int32_t videoWidth = 0;
  int32_t videoHeight = 0;
  int rotation = 0;
  double pixelAspect = 1.0;
  bool singlePicture = false;
  bool inputSeekable = false;  // not a pipe: a seek can be asked of it
  bool cannotPlay = false;
  std::string whyNot;  // the first reason the last opening gave
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

  // Clock and transport (GUI thread only)
  PlaybackClock clock;
  Transport transport;

  // Worker
  std::thread demuxThread;
  std::atomic<bool> stopRequested{false};
  std::mutex eofMutex;
  std::condition_variable eofCondition;
  std::atomic<bool> endOfStream{false};  // read to the end and every picture queued
  // The seek request (the GUI writes the target and serial, then raises
  // seekRequested) and the worker's answer: the serial it answered last,
  // and whether the file refused it.
  std::atomic<bool> seekRequested{false};
  std::atomic<int64_t> seekTarget{0};  // in the seek stream's time base
  std::atomic<double> seekSeconds{0.0};
  std::atomic<uint64_t> seekSerial{0};
  std::atomic<uint64_t> seekAnswered{0};
  std::atomic<bool> seekRefused{false};
  // The owner tab drew the panel since the last UpdateFrame.
  bool panelShown = false;

  // Queues, and the converter thread between the decoder and the screen.
  // Each seek starts a new timeline; pictures of an older one are dropped
  // wherever they are met.
  PictureQueue videoQueue{8};
  BoundedQueue<AudioBuffer> audioQueue{16};
  std::atomic<uint64_t> timelineSerial{0};  // written by the worker only
  PictureConveyor conveyor{videoQueue,
                           [this](uint64_t serial) { return stopRequested || seekRequested || serial != timelineSerial; }};

  // What is on show: the last path given to Play, whether media is
  // loaded, whether the still picture stands in, and which tab played.
  std::string currentPath;
  bool mediaLoaded = false;
  bool showingStill = false;
  int ownerTab = -1;
  // The still picture shown for a file that cannot be played; kept across
  // Close, dropped by Play and Unload.
  platform::Texture stillTexture;
};

extern MediaPlayer Player;

// Memory the pictures queued for the screen may take: four 4K pictures, or
// 30 of 1080p (the queue never holds more than 30).
inline constexpr size_t kLargestPictureBytes = 3840u * 2160u * 4u;
inline constexpr size_t kVideoQueueBudgetBytes = 4 * kLargestPictureBytes + (1u << 20);
// Pictures of up to this many pixels (720p) are decoded on one core.
inline constexpr int64_t kOneCorePicturePixels = 1280 * 720;
// Pictures larger than this (1080p) take their decoder a good part of a
// frame's time, most of all in its first moments: the clock waits for a
// few to be ahead before it starts.
inline constexpr int64_t kLargePicturePixels = 1920 * 1080;
// Pictures queued behind the first before the clock starts.
inline constexpr size_t kPicturesAheadAtStart = 4;
// Sound is queued in buffers of at least this long, so 64 of them always
// hold more than a second whatever the packets' size.
inline constexpr double kSoundBufferSeconds = 0.02;
// The voice holds at least this much sound beyond what the device takes.
inline constexpr double kVoiceLeadSeconds = 0.1;

// Seconds per picture: average rate, then real base rate, then one tick of
// the time base, else 1/30 s.
double FrameDurationFor(const AVStream* stream);

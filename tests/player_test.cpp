// The player core on real media made by the test set-up: opening and
// failing, seeking to the right picture and sound, the clock and stamping
// rules alone, and every sound format through the real audio voice.
#include <gtest/gtest.h>
#include <signal.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <unistd.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>
#include <thread>

#include "kit/frame_demand.h"
#include "kit/tab_base.h"
#include "player/media_player.h"
#include "player/picture_stamper.h"
#include "player/playback_clock.h"
#include "gui_harness.h"
#include "test_media.h"
#include "test_system.h"
#include "test_voice.h"

namespace {

double CpuSeconds() { return ProcessCpuSeconds(); }

void ExpectClosed(MediaPlayer& player) {
  const MediaPlayer::Status status = player.Inspect();
  EXPECT_FALSE(status.open);
  EXPECT_FALSE(status.workerRunning);
  EXPECT_EQ(status.picturesQueued + status.soundBuffersQueued, 0u);
  EXPECT_EQ(player.Picture().texture, nullptr);
  EXPECT_EQ(player.State(), PlaybackState::Stopped);
}

// The frame number burnt into the test clips: 16 blocks across the top
// rows, block i white when bit i is set.
int BurntInFrameNumber(const VideoFrame& frame, int blockWidth, int row) {
  int number = 0;
  for (int bit = 0; bit < 16; ++bit) {
    const size_t at = static_cast<size_t>(row) * frame.stride + static_cast<size_t>(blockWidth * bit + blockWidth / 2) * 4;
    if (at + 1 < frame.pixels.size() && frame.pixels[at + 1] > 128) number |= 1 << bit;
  }
  return number;
}

// Written by the media set-up once every clip is there.
constexpr const char* kMediaMark = ".complete-v12";

// Under the sanitizers decoding runs several times slower, and the device
// tests share the machine with them: there the timed checks look for gross
// faults only, while the plain build holds them to what the ear notices.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(Media(kMediaMark))) << "test media missing: run the tests through ctest";
    player.SetTimeSource(&FakeClock::Now);
  }
  // Plays sound on the test voice and shows what is due, as the frame loop would.
  // Waits for the worker to have the sound ready, as a real device would
  // never have to.
  void PlayFor(double seconds) {
    TestVoice* voice = TestVoiceScope::Voice();
    const int steps = static_cast<int>(std::lround(seconds * 100));
    for (int i = 0; i < steps; ++i) {
      if (voice && player.State() == PlaybackState::Playing) {
        const uint64_t step = static_cast<uint64_t>(voice->format.sampleRate / 100);
        Eventually([&] {
          player.UpdateFrame();
          const MediaPlayer::Status status = player.Inspect();
          const bool pictures = !status.decodesPictures || status.picturesQueued >= 3;
          return (voice->State().framesQueued >= step && pictures) || status.readToEnd;
        });
        voice->Play(step);
      }
      FakeClock::Advance(0.01);
      player.UpdateFrame();
    }
  }
  // One 10 ms frame of the window that waits for pictures decoded ahead,
  // not for sound (which may have a gap); false when none come.
  bool StepOnPictures() {
    const bool decoding = Eventually([&] {
      player.UpdateFrame();
      const MediaPlayer::Status status = player.Inspect();
      return status.picturesQueued >= 3 || status.readToEnd;
    });
    TestVoice* voice = TestVoiceScope::Voice();
    voice->Play(static_cast<uint64_t>(voice->format.sampleRate / 100));
    FakeClock::Advance(0.01);
    player.UpdateFrame();
    return decoding;
  }
  // The clock at the moment the voice played its frame `frame`, as long as
  // the voice kept playing since.
  double ClockAtFrame(int64_t frame) {
    TestVoice* voice = TestVoiceScope::Voice();
    const auto played = static_cast<int64_t>(voice->State().samplesPlayed);
    return player.GetPosition() - static_cast<double>(played - frame) / voice->format.sampleRate;
  }
  VideoFrame WaitForQueuedPicture() {
    VideoFrame frame;
    EXPECT_TRUE(Eventually([&] { return player.PeekQueuedPicture(frame); }));
    return frame;
  }
  TestVoiceScope voices;
  MediaPlayer player;
};

}  // namespace

TEST(PlaybackClockRules, SamplesThenHoldThenWallClockThenSamplesAgain) {
  PlaybackClock clock(&FakeClock::Now);
  clock.Reset(2.0);
  clock.Start(1000);  // the voice had played 1000 samples before
  VoiceReading voice{1000 + 4800, true};
  EXPECT_DOUBLE_EQ(clock.Position(&voice, 48000), 2.1);
  // Dry: holds for 0.2 s, then the wall clock carries on from there.
  // (The frame step notes the dry voice; reading the clock changes nothing.)
  voice = {1000 + 9600, false};
  clock.Observe(&voice, 48000);
  EXPECT_DOUBLE_EQ(clock.Position(&voice, 48000), 2.2);
  FakeClock::Advance(0.15);
  clock.Observe(&voice, 48000);
  EXPECT_DOUBLE_EQ(clock.Position(&voice, 48000), 2.2);
  FakeClock::Advance(0.1);
  EXPECT_FALSE(clock.OnWallClock());
  clock.Observe(&voice, 48000);
  EXPECT_DOUBLE_EQ(clock.Position(&voice, 48000), 2.2);
  EXPECT_TRUE(clock.OnWallClock());
  FakeClock::Advance(0.5);
  EXPECT_NEAR(clock.Position(&voice, 48000), 2.7, 1e-9);
  // Sound again: it continues from the wall clock's position, no jump back.
  clock.Refilled(voice.samplesPlayed);
  EXPECT_FALSE(clock.OnWallClock());
  voice = {voice.samplesPlayed + 2400, true};
  EXPECT_NEAR(clock.Position(&voice, 48000), 2.75, 1e-9);
  // Paused: held; resumed from a voice that kept counting: no jump.
  clock.Hold(2.75);
  FakeClock::Advance(3.0);
  clock.Start(voice.samplesPlayed + 777);
  voice = {voice.samplesPlayed + 777 + 480, true};
  EXPECT_NEAR(clock.Position(&voice, 48000), 2.76, 1e-9);
  // Without sound the wall clock runs from the start.
  clock.Reset(1.0);
  clock.StartWithoutVoice();
  FakeClock::Advance(0.25);
  EXPECT_NEAR(clock.Position(nullptr, 0), 1.25, 1e-9);
}

TEST(PictureStamping, TimestampsTargetAndJumps) {
  PictureStamper stamper;
  stamper.Restart(16.0, 0.04, false);
  // From the key frame at 8 s up to the target nothing is shown.
  EXPECT_FALSE(stamper.Shown(stamper.Stamp(8.0)));
  EXPECT_FALSE(stamper.Shown(stamper.Stamp(15.96)));
  EXPECT_TRUE(stamper.Shown(stamper.Stamp(15.99)));  // within half a frame
  EXPECT_DOUBLE_EQ(stamper.Stamp(std::nullopt), 15.99 + 0.04);  // no timestamp: one frame on
  // Streams that may jump: a step back continues the timeline.
  stamper.Restart(0.0, 0.04, true);
  EXPECT_DOUBLE_EQ(stamper.Stamp(4.96), 4.96);
  EXPECT_NEAR(stamper.Stamp(1.4), 5.0, 1e-9);
  EXPECT_NEAR(stamper.Stamp(1.44), 5.04, 1e-9);
  stamper.Restart(0.0, 0.04, false);  // others keep their timestamps
  EXPECT_DOUBLE_EQ(stamper.Stamp(4.96), 4.96);
  EXPECT_DOUBLE_EQ(stamper.Stamp(1.4), 1.4);
}

TEST_F(PlayerTest, BadInputFailsCleanlyEveryTime) {
  for (int round = 0; round < 3; ++round) {
    for (const char* name : {"empty.mp4", "text.mp4", "huge.y4m", "undecodable_audio.mp4", "missing.mp4"}) {
      EXPECT_FALSE(player.Open(Media(name))) << name;
      ExpectClosed(player);
      player.Resume();  // the play button on a file that cannot play: it does not claim to play
      EXPECT_NE(player.State(), PlaybackState::Playing) << name;
    }
  }
  player.SetVolume(0.5f);
  player.Close();  // nothing open: harmless, volume kept
  EXPECT_EQ(player.Volume(), 0.5f);
}

TEST_F(PlayerTest, OpensVideoWithSoundAndClosesAgain) {
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(player.Open(Media("h264_aac.mp4")));
    const MediaPlayer::Status status = player.Inspect();
    EXPECT_EQ(status.videoWidth, 640);
    EXPECT_EQ(status.videoHeight, 360);
    EXPECT_NEAR(status.frameDuration, 1.0 / 30, 1e-9);
    EXPECT_NEAR(player.Duration(), 3.0, 0.1);
    EXPECT_EQ(status.pictureCapacity, 30u);
    EXPECT_EQ(status.soundCapacity, 64u);
    EXPECT_EQ(status.sampleRate, 48000);
    EXPECT_EQ(TestVoiceScope::Voice()->format.channels, 2);
    EXPECT_NE(player.Picture().texture, nullptr);
    EXPECT_EQ(player.State(), PlaybackState::Stopped);
    const VideoFrame first = WaitForQueuedPicture();
    EXPECT_DOUBLE_EQ(first.pts, 0.0);
    EXPECT_EQ(first.stride, 2560);
    player.Close();
    ExpectClosed(player);
  }
}

TEST_F(PlayerTest, SoundOnlyFilesAndChannelCounts) {
  ASSERT_TRUE(player.Open(Media("audio_only.m4a")));
  EXPECT_EQ(player.Picture().texture, nullptr);
  EXPECT_EQ(player.Inspect().sampleRate, 44100);
  ASSERT_TRUE(player.Open(Media("six_channels.m4a")));
  EXPECT_EQ(TestVoiceScope::Voice()->format.channels, 6);
  ASSERT_TRUE(player.Open(Media("three_channels.au")));  // no layout named: its own count
  EXPECT_EQ(player.Inspect().channels, 3);
  EXPECT_EQ(player.Inspect().sampleRate, 22050);
  ASSERT_TRUE(player.Open(Media("fmt_pcm12ch.wav")));  // wider than a voice takes: mixed down
  EXPECT_EQ(TestVoiceScope::Voice()->format.channels, 8);
  player.Resume();
  PlayFor(0.5);
  EXPECT_NEAR(player.GetPosition(), 0.5, 0.02);
}

TEST_F(PlayerTest, PlayAfterPlayAndPictures) {
  player.Play(Media("h264_aac.mp4"), kViewerTab);
  EXPECT_EQ(player.State(), PlaybackState::Playing);
  player.Play(Media("audio_only.m4a"), kViewerTab);
  EXPECT_EQ(player.CurrentPath(), Media("audio_only.m4a"));
  EXPECT_EQ(player.State(), PlaybackState::Playing);
  player.Play(Media("text.mp4"), kViewerTab);  // fails: still counts as loaded, nothing plays
  EXPECT_TRUE(player.MediaLoaded());
  EXPECT_FALSE(player.ShowingStill());
  ExpectClosed(player);
  // Pictures are shown still, without time or seek bar.
  for (const char* name : {"picture.jpg", "picture.png", "one_pixel.png", "single_picture.mp4"}) {
    player.Play(Media(name), kViewerTab);
    EXPECT_TRUE(player.ShowingStill()) << name;
    EXPECT_FALSE(player.Inspect().open) << name;
  }
  player.Play(Media("h264_aac.mp4"), kViewerTab);  // and a video after them plays
  EXPECT_FALSE(player.ShowingStill());
  EXPECT_EQ(player.State(), PlaybackState::Playing);
  player.Unload();
  EXPECT_FALSE(player.MediaLoaded());
}

// Seeks land on the picture at the target, whatever key frame the file
// seeks to, and the clock and sound start there.
TEST_F(PlayerTest, SeekShowsThePictureAtTheTarget) {
  struct Case {
    const char* clip;
    double target;
    int blockWidth, row;
  };
  for (const Case& c : {Case{"gop8.mp4", 16.0, 20, 8}, Case{"gop8.mp4", 13.2, 20, 8}, Case{"offset.ts", 5.0, 20, 8}}) {
    SCOPED_TRACE(std::string(c.clip) + " at " + std::to_string(c.target));
    ASSERT_TRUE(player.Open(Media(c.clip)));
    const VideoFrame first = WaitForQueuedPicture();
    EXPECT_NEAR(first.pts, 0.0, 0.05);  // the file's start time is the timeline's 0
    ASSERT_TRUE(player.Seek(c.target));
    player.Resume();
    EXPECT_EQ(player.State(), PlaybackState::Playing);
    EXPECT_NEAR(player.GetPosition(), c.target, 1e-9);
    // The first picture shown after the seek is the one at the target.
    const VideoFrame next = WaitForQueuedPicture();
    EXPECT_NEAR(next.pts, c.target, 0.041);
    PlayFor(0.03);  // due, and the next picture not yet
    const VideoFrame& shown = player.CurrentFrame();
    EXPECT_NEAR(shown.pts, c.target, 0.041);
    EXPECT_EQ(BurntInFrameNumber(shown, c.blockWidth, c.row), static_cast<int>(std::lround(c.target * 25)));
    PlayFor(0.47);
    EXPECT_NEAR(player.GetPosition(), c.target + 0.5, 0.011);
    const int shownNumber = BurntInFrameNumber(player.CurrentFrame(), c.blockWidth, c.row);
    EXPECT_NEAR(shownNumber, (c.target + 0.5) * 25, 1.6);  // the newest due picture, a frame at most behind

    // Paused, a seek shows the picture at its target at once, and the time
    // stands there until play.
    player.Pause();
    const double back = c.target - 3.0;
    ASSERT_TRUE(player.Seek(back));
    ASSERT_TRUE(Eventually([&] {
      player.UpdateFrame();
      return player.CurrentFrame().pts < c.target;
    }));
    EXPECT_EQ(BurntInFrameNumber(player.CurrentFrame(), c.blockWidth, c.row), static_cast<int>(std::lround(back * 25)));
    EXPECT_NEAR(player.GetPosition(), back, 1e-9);
    EXPECT_NE(player.State(), PlaybackState::Playing);
  }
}

TEST_F(PlayerTest, TimelineStartsAtTheFilesStartTime) {
  ASSERT_TRUE(player.Open(Media("offset.ts")));  // timestamps from 1000 s
  EXPECT_NEAR(WaitForQueuedPicture().pts, 0.021, 0.005);
  EXPECT_NEAR(player.Duration(), 8.0, 0.1);
}

TEST_F(PlayerTest, SeekInSoundWithACoverIsTimedOnTheSound) {
  ASSERT_TRUE(player.Open(Media("cover.mp3")));
  EXPECT_NE(player.Picture().texture, nullptr);  // the cover is the picture
  player.Resume();
  ASSERT_TRUE(player.Seek(3.0));
  player.Resume();
  EXPECT_FALSE(player.Inspect().seekPending);
  PlayFor(0.5);
  EXPECT_NEAR(player.GetPosition(), 3.5, 0.011);
  EXPECT_NE(player.Picture().texture, nullptr);
}

#ifndef _WIN32
// A stream that cannot seek (read through a pipe): the seek is refused,
// the position stays where it was and playback goes on without losing a
// picture.
TEST_F(PlayerTest, RefusedSeekKeepsThePosition) {
  const std::string fifo = testing::TempDir() + "/sortiq-seek-fifo.ts";
  std::filesystem::remove(fifo);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  signal(SIGPIPE, SIG_IGN);  // the player closes its end before the writer is done
  std::thread writer([&] {
    std::ifstream in(Media("offset.ts"), std::ios::binary);
    std::ofstream out(fifo, std::ios::binary);
    out << in.rdbuf();
  });
  ASSERT_TRUE(player.Open(fifo));
  player.Resume();
  PlayFor(1.0);
  const double before = player.GetPosition();
  double shown = player.CurrentFrame().pts;
  EXPECT_FALSE(player.Seek(0.2));
  player.Resume();
  EXPECT_NEAR(player.GetPosition(), before, 0.011);
  double widestStep = 0;
  for (int step = 0; step < 50; ++step) {
    PlayFor(0.01);
    widestStep = std::max(widestStep, player.CurrentFrame().pts - shown);
    shown = player.CurrentFrame().pts;
  }
  EXPECT_NEAR(player.GetPosition(), before + 0.5, 0.02);
  EXPECT_NEAR(widestStep, 0.04, 0.002);  // 25 pictures a second, none left out
  player.Close();
  writer.join();
  std::filesystem::remove(fifo);
}
#endif

// Pictures of a variable-frame-rate clip are shown by their own times.
TEST_F(PlayerTest, VariableFrameRateFollowsTheClock) {
  std::map<int, double> times;
  std::ifstream list(Media("vfr.times"));
  for (int number; list >> number;) list >> times[number];
  ASSERT_GT(times.size(), 100u);
  ASSERT_TRUE(player.Open(Media("vfr.mkv")));
  player.Resume();
  int checked = 0;
  for (int step = 0; step < 400; ++step) {
    PlayFor(0.02);
    const int number = BurntInFrameNumber(player.CurrentFrame(), 10, 8);
    if (number == 0 || !times.count(number)) continue;  // the opening picture has no timestamp of its own
    const double position = player.GetPosition();
    EXPECT_NEAR(player.CurrentFrame().pts, times[number], 0.002) << number;
    // The newest due picture: due, and its successor not yet.
    EXPECT_LE(times[number], position + 0.021);
    if (times.count(number + 1)) {
      EXPECT_GT(times[number + 1], position - 0.021);
    }
    ++checked;
  }
  EXPECT_GT(checked, 300);
}

TEST_F(PlayerTest, SoundEndsThenThePlayIconAndAgainFromTheStart) {
  ASSERT_TRUE(player.Open(Media("three_channels.au")));  // 1 s
  player.Resume();
  PlayFor(1.6);
  EXPECT_TRUE(player.Ended());
  EXPECT_EQ(player.State(), PlaybackState::Paused);
  EXPECT_NEAR(player.GetPosition(), 1.0, 0.02);
  player.Resume();  // from the start again
  EXPECT_EQ(player.State(), PlaybackState::Playing);
  PlayFor(0.3);
  EXPECT_NEAR(player.GetPosition(), 0.3, 0.02);
}

// What the frame loop is told: frames while something plays or a seek's
// picture is on its way; none once paused, also after a seek in a sound
// file or to a video's very end (no picture comes after it).
TEST_F(PlayerTest, FramesAreAskedForOnlyWhileSomethingChanges) {
  const auto asksForFrames = [&] {
    FrameDemand::Take();
    player.UpdateFrame();
    return FrameDemand::Take() >= 0;
  };
  ASSERT_TRUE(player.Open(Media("three_channels.au")));
  player.Resume();
  EXPECT_TRUE(asksForFrames());
  player.Pause();
  ASSERT_TRUE(player.Seek(0.5));
  EXPECT_TRUE(Eventually([&] { return !asksForFrames(); }));
  player.Close();

  ASSERT_TRUE(player.Open(Media("gop8.mp4")));
  WaitForQueuedPicture();
  ASSERT_TRUE(player.Seek(1000.0));  // clamped to the end, not playing
  EXPECT_TRUE(Eventually([&] { return !asksForFrames(); }));
  ASSERT_TRUE(player.Seek(2.0));
  EXPECT_TRUE(asksForFrames());  // its picture is on its way
  EXPECT_TRUE(Eventually([&] { return !asksForFrames(); }));
  EXPECT_NEAR(player.CurrentFrame().pts, 2.0, 0.041);
}

// Seeks and closes while the decoder's frame threads and the converter are
// busy (queues full, a 4K clip): the first picture shown after each seek is
// the target's, nothing of the timeline before it comes back, and a close
// in the middle ends every thread.
TEST_F(PlayerTest, SeeksAndClosesWhileEveryThreadIsBusy) {
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(player.Open(Media("gop8.mp4")));
    player.Resume();
    PlayFor(0.1);
    for (const double target : {13.2, 2.0, 7.6, 7.64}) {
      SCOPED_TRACE(target);
      ASSERT_TRUE(player.Seek(target));
      player.Resume();
      PlayFor(0.02);
      EXPECT_NEAR(player.CurrentFrame().pts, target, 0.041);
      EXPECT_NEAR(BurntInFrameNumber(player.CurrentFrame(), 20, 8), target * 25, 1.01);
      PlayFor(0.2);
      EXPECT_NEAR(player.GetPosition(), target + 0.22, 0.011);
      EXPECT_NEAR(BurntInFrameNumber(player.CurrentFrame(), 20, 8), (target + 0.22) * 25, 1.6);
    }
    player.Close();
    ExpectClosed(player);
    // 4K: seek and close while the first pictures are still being decoded.
    ASSERT_TRUE(player.Open(Media("uhd.mp4")));
    player.Resume();
    ASSERT_TRUE(player.Seek(1.5));
    player.Resume();
    if (round == 1) PlayFor(0.1);
    player.Close();
    ExpectClosed(player);
  }
}

// A video on show starts over at its end, by the player's own state, with
// its last picture up until the first is back; out of sight it stands at
// its end.
TEST_F(PlayerTest, AVideoOnShowStartsOverAtItsEnd) {
  GuiHarness gui;
  ASSERT_TRUE(player.Open(Media("h264_aac.mp4")));  // 3 s
  player.Resume();
  ASSERT_TRUE(Eventually([&] {
    PlayFor(0.1);
    return player.Ended();
  }));
  const double end = player.GetPosition();
  EXPECT_NEAR(end, 3.0, 0.1);
  PlayFor(0.3);
  EXPECT_DOUBLE_EQ(player.GetPosition(), end);
  EXPECT_GT(player.CurrentFrame().pts, 2.9);
  gui.Frame([&] { player.DrawPanel(kViewerTab, 0); });  // only the tab that played draws it
  EXPECT_TRUE(player.Ended());
  player.Play(Media("h264_aac.mp4"), kViewerTab);  // the panel's tab now
  ASSERT_TRUE(Eventually([&] {
    PlayFor(0.1);
    return player.Ended();
  }));
  gui.Frame([&] { player.DrawPanel(kViewerTab, 0); });
  player.UpdateFrame();
  EXPECT_FALSE(player.Ended());
  EXPECT_EQ(player.State(), PlaybackState::Playing);
  EXPECT_GT(player.CurrentFrame().pts, 2.9);  // the last picture, until the first is up
  ASSERT_TRUE(Eventually([&] {  // the frames go on while the seek is answered
    player.UpdateFrame();
    return !player.Inspect().seekPending;
  }));
  PlayFor(0.5);
  EXPECT_NEAR(player.GetPosition(), 0.5, 0.02);
  EXPECT_NEAR(player.CurrentFrame().pts, 0.5, 0.034);

  // A 4K clip starts over within its frame: the window is not held while
  // the seek is answered and the first pictures are decoded. (Under the
  // thread checker 4K pictures decode too slowly to time a frame.)
#if !defined(__SANITIZE_THREAD__)
  player.Play(Media("uhd_short.mp4"), kViewerTab);  // no sound: played by the clock alone
  const auto playOn = [&] {
    FakeClock::Advance(0.02);
    player.UpdateFrame();
  };
  ASSERT_TRUE(Eventually([&] {
    playOn();
    return player.Ended();
  }));
  gui.Frame([&] { player.DrawPanel(kViewerTab, 0); });
  const auto restart = std::chrono::steady_clock::now();
  player.UpdateFrame();
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - restart).count(), 0.05);
  EXPECT_EQ(player.State(), PlaybackState::Playing);
  EXPECT_TRUE(Eventually([&] {
    playOn();
    return player.CurrentFrame().pts < 0.2;
  }));
  // Nor do a seek and the play after it; the picture at the target comes
  // up in a later frame, from the frame-threaded decoder.
  ASSERT_TRUE(player.Seek(0.2));
  const auto resume = std::chrono::steady_clock::now();
  player.Resume();
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - resume).count(), 0.05);
  EXPECT_EQ(player.State(), PlaybackState::Playing);
  EXPECT_TRUE(Eventually([&] {
    player.UpdateFrame();
    return !player.Inspect().seekPending && player.CurrentFrame().pts >= 0.2;
  }));
  EXPECT_NEAR(player.CurrentFrame().pts, 0.2, 0.041);
#endif
}

// Sound that comes long after the picture, later in the file or after a
// seek far from a key frame, is heard in step with the picture: where the
// clock says the tone begins is where it begins in the file, and a seek
// plays on from its target.
TEST_F(PlayerTest, SoundThatComesLateIsHeardInStepWithThePicture) {
  constexpr int kRate = 44100;
  ASSERT_TRUE(player.Open(Media("late_sound.mp4")));  // 1080p, the tone from 2 s
  TestVoice* voice = TestVoiceScope::Voice();
  ASSERT_NE(voice, nullptr);
  ASSERT_EQ(voice->format.sampleRate, kRate);
  // Decoding may be slow (under the sanitizers): the steps go on, for a
  // minute at most, until the tone is heard.
  const auto giveUp = [start = std::chrono::steady_clock::now()] {
    return std::chrono::steady_clock::now() - start > std::chrono::seconds(60);
  };
  player.Resume();
  // Paused while the clock goes on without sound, and played again once
  // the sound is in: it starts where the clock stands.
  while (!(player.Inspect().onWallClock && player.GetPosition() >= 1.5) && !giveUp()) ASSERT_TRUE(StepOnPictures());
  player.Pause();
  ASSERT_TRUE(Eventually([&] { return player.Inspect().soundBuffersQueued > 0; }));
  player.Resume();
  while (voice->loudStarts.empty() && !giveUp()) ASSERT_TRUE(StepOnPictures());
  ASSERT_FALSE(voice->loudStarts.empty()) << "the tone was never heard";
  for (int step = 0; step < 50; ++step) ASSERT_TRUE(StepOnPictures());
  EXPECT_NEAR(ClockAtFrame(voice->loudStarts[0]), 2.0, 0.03);
  EXPECT_NEAR(BurntInFrameNumber(player.CurrentFrame(), 120, 8), player.GetPosition() * 25, 1.6);
  // After the gap in the sound (5 to 7 s) the tone comes back where the
  // clock says 7 s, and goes on.
  while (voice->loudStarts.size() < 2 && player.GetPosition() < 8.0 && !giveUp()) ASSERT_TRUE(StepOnPictures());
  ASSERT_EQ(voice->loudStarts.size(), 2u) << "the tone did not come back after the gap";
  for (int step = 0; step < 50; ++step) ASSERT_TRUE(StepOnPictures());
  EXPECT_NEAR(ClockAtFrame(voice->loudStarts[1]), 7.0, 0.05);
  EXPECT_NEAR(BurntInFrameNumber(player.CurrentFrame(), 120, 8), player.GetPosition() * 25, 1.6);

  // A seek 15 s after the only key frame: the first sound and picture are
  // seconds away while the window's frames go on (here 50 ms of clock for
  // every 10 ms of waiting).
  const double target = 15.0;
  ASSERT_TRUE(player.Seek(target));
  player.Resume();
  double waited = 0;
  while (player.CurrentFrame().pts < target - 0.1 && !giveUp()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    FakeClock::Advance(0.05);
    waited += 0.05;
    player.UpdateFrame();
  }
  ASSERT_GE(waited, 1.0) << "the clip decoded too fast to test a slow start";
  EXPECT_EQ(BurntInFrameNumber(player.CurrentFrame(), 120, 8), 375);  // the picture at the target
  const auto heardBefore = static_cast<int64_t>(voice->State().samplesPlayed);
  for (int step = 0; step < 50; ++step) ASSERT_TRUE(StepOnPictures());
  EXPECT_NEAR(ClockAtFrame(heardBefore), target, 0.03);  // the sound went on from the target
  EXPECT_NEAR(player.GetPosition(), target + 0.5, 0.03);
  EXPECT_NEAR(BurntInFrameNumber(player.CurrentFrame(), 120, 8), (target + 0.5) * 25, 1.6);
}

// Sound whose timestamps drift from its samples plays whole; sound after a
// gap too long to fill with silence waits for the clock to reach it, also
// when play resumes in the gap with that sound already in.
TEST_F(PlayerTest, SoundTimestampsThatDriftOrJumpFar) {
  ASSERT_TRUE(player.Open(Media("drifting_sound.mkv")));
  TestVoice* voice = TestVoiceScope::Voice();
  ASSERT_NE(voice, nullptr);
  player.Resume();
  PlayFor(5.0);
  EXPECT_EQ(voice->loudStarts.size(), 1u);
  EXPECT_LT(voice->longestQuietRun, static_cast<uint64_t>(voice->format.sampleRate / 100));  // no hole of 10 ms

  ASSERT_TRUE(player.Open(Media("long_gap.mp4")));  // the tone to 1 s, then from 13 s
  voice = TestVoiceScope::Voice();
  player.Resume();
  for (int step = 0; step < 1300 && player.GetPosition() < 12.75; ++step) ASSERT_TRUE(StepOnPictures());
  player.Pause();
  ASSERT_TRUE(Eventually([&] { return player.Inspect().soundBuffersQueued > 0; }));
  player.Resume();
  for (int step = 0; step < 150 && voice->loudStarts.size() < 2; ++step) ASSERT_TRUE(StepOnPictures());
  ASSERT_EQ(voice->loudStarts.size(), 2u) << "the tone did not come back after the gap";
  for (int step = 0; step < 20; ++step) ASSERT_TRUE(StepOnPictures());
  EXPECT_NEAR(ClockAtFrame(voice->loudStarts[1]), 13.0, 0.05);
}

TEST_F(PlayerTest, TruncatedFileEndsAndTheWorkerSleeps) {
  ASSERT_TRUE(player.Open(Media("truncated.mp4")));
  player.Resume();
  ASSERT_TRUE(Eventually([&] {
    PlayFor(0.05);
    return player.Ended();
  }));
  const double stopped = player.GetPosition();
  PlayFor(0.5);
  EXPECT_DOUBLE_EQ(player.GetPosition(), stopped);  // a picture that ended stands still
  const double before = CpuSeconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LT(CpuSeconds() - before, 0.05);
  player.Close();
  ExpectClosed(player);
}

// Through the real audio voice (the silent device where the machine has no
// sound output), in real time: every format plays at its true speed with
// no gap, and the position moves on smoothly.
TEST(PlayerOnDevice, EveryFormatPlaysAtTrueSpeedWithoutGaps) {
  // Timed against the wall clock: run alone (its own test entry), never
  // beside other tests that load both cores.
  if (!std::getenv("SORTIQ_TIMED_TEST")) GTEST_SKIP() << "run by the timed test entry";
  ASSERT_TRUE(std::filesystem::exists(Media(kMediaMark)));
  MediaPlayer player;
  for (const char* name :
       {"fmt_aac.m4a", "fmt_mp3.mp3", "fmt_mp3.avi", "fmt_ac3.ac3", "fmt_opus.opus", "fmt_vorbis.ogg",
        "fmt_flac192.flac", "fmt_pcm8k.mka", "fmt_pcm8ch192k.wav", "fmt_pcm12ch.wav", "fmt_joined.ts",
        "fmt_joined.aac"}) {
    SCOPED_TRACE(name);
    player.Play(Media(name), kViewerTab);
    ASSERT_EQ(player.State(), PlaybackState::Playing);
    const auto start = std::chrono::steady_clock::now();
    const double first = player.GetPosition();
    double last = first, worstStep = 0;
    int longSteps = 0;
    auto lastTime = start;
    bool wallClock = false;
    for (;;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(16));  // a frame
      player.UpdateFrame();
      const auto now = std::chrono::steady_clock::now();
      const double position = player.GetPosition();
      wallClock = wallClock || player.Inspect().onWallClock;
      // Between two looks the position moves as far as the wall clock did:
      // a stall or a jump shows as a difference.
      const double step = std::fabs((position - last) - std::chrono::duration<double>(now - lastTime).count());
      worstStep = std::max(worstStep, step);
      longSteps += step >= (kSanitized ? 0.1 : 0.05);
      last = position;
      lastTime = now;
      if (now - start > std::chrono::milliseconds(3000)) break;
    }
    const double wall = std::chrono::duration<double>(lastTime - start).count();
    EXPECT_NEAR((last - first) / wall, 1.0, 0.03);
    // The silent device is paced by the scheduler, not by a sound card: on
    // a loaded machine it may wake late once. A stutter that comes back,
    // or one long enough to hear, is ours.
    EXPECT_LE(longSteps, 1) << "worst " << worstStep << " s";
    EXPECT_LT(worstStep, kSanitized ? 0.3 : 0.15);
    EXPECT_FALSE(wallClock) << "the sound ran dry";
  }
  player.Close();
}

// Through SDL's own device path (its file-writing driver records what the
// device was given): the sound reaches the device whole, with no silence
// put in between. Run by its own test entry with that driver.
TEST(PlayerOnSdlDevice, SoundReachesTheDeviceWithoutGaps) {
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  const char* output = std::getenv("SDL_DISKAUDIOFILE");
  if (!driver || std::string(driver) != "disk" || !output) GTEST_SKIP() << "needs SDL's disk audio driver";
  for (const char* name : {"fmt_aac.m4a", "fmt_pcm8k.mka", "fmt_mp3.avi"}) {
    SCOPED_TRACE(name);
    MediaPlayer player;
    player.Play(Media(name), kViewerTab);
    ASSERT_EQ(player.State(), PlaybackState::Playing);
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(2500)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(16));
      player.UpdateFrame();
    }
    const int channels = player.Inspect().channels, rate = player.Inspect().sampleRate;
    player.Close();  // the device is closed and its file complete
    std::ifstream in(output, std::ios::binary);
    std::vector<int16_t> samples;
    for (int16_t sample; in.read(reinterpret_cast<char*>(&sample), 2);) samples.push_back(sample);
    const size_t frames = samples.size() / static_cast<size_t>(channels);
    size_t first = frames, last = 0;
    for (size_t f = 0; f < frames; ++f) {
      for (int c = 0; c < channels; ++c) {
        if (samples[f * channels + c] != 0) {
          first = std::min(first, f);
          last = f;
        }
      }
    }
    ASSERT_LT(first, last);
    EXPECT_GT(last - first, static_cast<size_t>(rate * 2));  // the device got the sound of the whole play
    size_t run = 0, longest = 0;
    for (size_t f = first; f <= last; ++f) {
      bool silent = true;
      for (int c = 0; c < channels && silent; ++c) silent = samples[f * channels + c] == 0;
      run = silent ? run + 1 : 0;
      longest = std::max(longest, run);
    }
    EXPECT_LT(longest, static_cast<size_t>(kSanitized ? rate / 5 : rate / 1000))
        << "a gap of " << longest << " sample frames";
  }
}

#ifndef _WIN32
// Without room for another thread the file is shown still, and the program
// goes on. In a child process whose address space is capped just above what
// it uses, so no thread stack can be had.
namespace {
[[noreturn, maybe_unused]] void PlayWithoutRoomForThreads(const char* clip) {
  MediaPlayer player;
  player.Play(Media(clip), kViewerTab);  // once, so everything but the thread is loaded
  player.Unload();
  std::ifstream statm("/proc/self/statm");
  unsigned long pages = 0;
  statm >> pages;
  const rlim_t cap = pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (6 << 20);
  const rlimit limit{cap, cap};
  setrlimit(RLIMIT_AS, &limit);
  player.Play(Media(clip), kViewerTab);
  const bool still = player.ShowingStill() && !player.Inspect().workerRunning;
  player.Unload();
  std::exit(still ? 0 : 1);
}
}  // namespace

TEST(PlayerWithoutThreads, PlayFallsBackToTheStillPicture) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "sanitizers reserve address space of their own";
#else
  testing::FLAGS_gtest_death_test_style = "threadsafe";  // the child starts afresh, with this:
  setenv("GLIBC_TUNABLES", "glibc.pthread.stack_cache_size=0", 1);  // no stack kept from an earlier thread
  // With sound the voice's thread is refused first; without, the worker's.
  EXPECT_EXIT(PlayWithoutRoomForThreads("h264_aac.mp4"), testing::ExitedWithCode(0), "");
  EXPECT_EXIT(PlayWithoutRoomForThreads("bt709_green.mp4"), testing::ExitedWithCode(0), "");
  unsetenv("GLIBC_TUNABLES");
#endif
}
#endif

// The player core on real media made by the test set-up: opening and
// failing, the worker and its queues, seeking, and the clock rules on a
// voice and a clock the test moves by hand.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <thread>

#include "player/ffmpeg.h"
#include "player/media_player.h"
#include "test_media.h"
#include "test_voice.h"

namespace {

size_t Queued(MediaPlayer& player, bool video) {
  std::lock_guard<std::mutex> lock(video ? player.videoQueueMutex : player.audioQueueMutex);
  return video ? player.videoQueue.size() : player.audioQueue.size();
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

void ExpectClosed(const MediaPlayer& player) {
  EXPECT_EQ(player.formatContext, nullptr);
  EXPECT_EQ(player.videoCodec, nullptr);
  EXPECT_EQ(player.audioCodec, nullptr);
  EXPECT_EQ(player.packet, nullptr);
  EXPECT_EQ(player.resampler, nullptr);
  EXPECT_EQ(player.sourceVoice, nullptr);
  EXPECT_FALSE(player.demuxThread.joinable());
  EXPECT_FALSE(player.videoTexture.Valid());
  EXPECT_EQ(player.videoStreamIndex, -1);
  EXPECT_EQ(player.audioStreamIndex, -1);
  EXPECT_EQ(player.state, PlaybackState::Stopped);
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(Media(".complete-v5"))) << "test media missing: run the tests through ctest";
    player.timeSource = &FakeClock::Now;
  }
  TestVoiceScope voices;
  MediaPlayer player;
};

}  // namespace

TEST_F(PlayerTest, BadInputFailsCleanlyEveryTime) {
  for (int round = 0; round < 3; ++round) {
    for (const char* name : {"empty.mp4", "text.mp4", "huge.y4m", "undecodable_audio.mp4", "missing.mp4"}) {
      EXPECT_FALSE(player.Open(Media(name))) << name;
      ExpectClosed(player);
    }
  }
  player.volume = 0.5f;
  player.Close();  // nothing open: harmless, volume kept
  EXPECT_EQ(player.volume, 0.5f);
}

TEST_F(PlayerTest, OpensVideoWithSoundAndClosesAgain) {
  for (int round = 0; round < 5; ++round) {
    ASSERT_TRUE(player.Open(Media("h264_aac.mp4")));
    EXPECT_EQ(player.videoWidth, 640);
    EXPECT_EQ(player.videoHeight, 360);
    EXPECT_NEAR(player.frameDuration, 1.0 / 30, 1e-9);
    EXPECT_NEAR(player.duration, 3.0, 0.1);
    EXPECT_EQ(player.videoQueueCapacity, 30u);
    EXPECT_EQ(player.audioQueueCapacity, 64u);
    EXPECT_EQ(player.sampleRate, 48000);
    EXPECT_EQ(player.channels, 2);
    ASSERT_NE(TestVoiceScope::Voice(), nullptr);
    EXPECT_EQ(TestVoiceScope::Voice()->format.channels, 2);
    EXPECT_TRUE(player.videoTexture.Valid());
    EXPECT_EQ(player.state, PlaybackState::Stopped);
    EXPECT_TRUE(Eventually([&] { return Queued(player, true) > 0 && Queued(player, false) > 0; }));
    player.Close();
    ExpectClosed(player);
  }
}

TEST_F(PlayerTest, SoundOnlyFilesAndChannelCounts) {
  ASSERT_TRUE(player.Open(Media("audio_only.m4a")));
  EXPECT_EQ(player.videoStreamIndex, -1);
  EXPECT_EQ(player.videoCodec, nullptr);
  EXPECT_FALSE(player.videoTexture.Valid());
  EXPECT_EQ(player.sampleRate, 44100);
  ASSERT_TRUE(player.Open(Media("six_channels.m4a")));
  EXPECT_EQ(player.channels, 6);
  EXPECT_EQ(TestVoiceScope::Voice()->format.channels, 6);
  EXPECT_TRUE(Eventually([&] { return Queued(player, false) > 0; }));
  {
    std::lock_guard<std::mutex> lock(player.audioQueueMutex);
    EXPECT_EQ(player.audioQueue.front().bytes.size() % 12, 0u);  // whole six-channel sample frames
  }
  ASSERT_TRUE(player.Open(Media("three_channels.au")));  // no layout named: its own count
  EXPECT_EQ(player.channels, 3);
  EXPECT_EQ(player.sampleRate, 22050);
}

TEST_F(PlayerTest, SecondPlayReplacesTheFirst) {
  player.Play(Media("h264_aac.mp4"));
  EXPECT_EQ(player.state, PlaybackState::Playing);
  player.Play(Media("audio_only.m4a"));
  EXPECT_EQ(currentPath, Media("audio_only.m4a"));
  EXPECT_EQ(player.videoCodec, nullptr);
  EXPECT_EQ(player.state, PlaybackState::Playing);
  EXPECT_TRUE(mediaLoaded);
  player.Play(Media("text.mp4"));  // fails: still counts as loaded, nothing plays
  EXPECT_TRUE(mediaLoaded);
  ExpectClosed(player);
  player.Unload();
  EXPECT_FALSE(mediaLoaded);
}

TEST_F(PlayerTest, SeekWakesWorkerBlockedOnFullQueueAndRestartsStamping) {
  ASSERT_TRUE(player.Open(Media("h264_aac.mp4")));
  // Nobody plays or shows anything: the worker fills a queue and blocks.
  ASSERT_TRUE(Eventually([&] { return Queued(player, true) == 30 || Queued(player, false) == 64; }));
  {
    std::lock_guard<std::mutex> lock(player.videoQueueMutex);
    EXPECT_DOUBLE_EQ(player.videoQueue.front().pts, 0.0);
  }
  ASSERT_TRUE(player.Seek(1.0));
  EXPECT_EQ(player.state, PlaybackState::Stopped);
  EXPECT_DOUBLE_EQ(player.clockBase, 1.0);
  ASSERT_TRUE(Eventually([&] { return Queued(player, true) >= 2; }));
  std::lock_guard<std::mutex> lock(player.videoQueueMutex);
  EXPECT_DOUBLE_EQ(player.videoQueue[0].pts, 1.0);
  EXPECT_DOUBLE_EQ(player.videoQueue[1].pts, 1.0 + 1.0 / 30);
  const VideoFrame& frame = player.videoQueue[0];
  EXPECT_EQ(frame.width, 640);
  EXPECT_EQ(frame.stride, 2560);
  EXPECT_GE(frame.pixels.size(), size_t{2560} * 360);
}

TEST_F(PlayerTest, SeekClampsToTheFileAndNeedsAFile) {
  EXPECT_FALSE(player.Seek(1.0));
  ASSERT_TRUE(player.Open(Media("h264_aac.mp4")));
  ASSERT_TRUE(player.Seek(1000.0));
  EXPECT_DOUBLE_EQ(player.clockBase, player.duration);
  EXPECT_DOUBLE_EQ(player.seekOrigin, player.duration);
  ASSERT_TRUE(player.Seek(-3.0));
  EXPECT_DOUBLE_EQ(player.clockBase, 0.0);
}

TEST_F(PlayerTest, ClockFollowsPlayedSamplesHoldsWhenDryThenRunsOnWallClock) {
  ASSERT_TRUE(player.Open(Media("three_channels.au")));  // 1 s at 22,050 Hz
  ASSERT_TRUE(Eventually([&] { return Queued(player, false) >= 20; }));  // decoded ahead
  player.Resume();
  TestVoice* voice = TestVoiceScope::Voice();
  ASSERT_TRUE(voice->started);
  EXPECT_GE(voice->submitted, 1);
  EXPECT_LE(voice->submitted, 4);
  EXPECT_DOUBLE_EQ(player.GetPosition(), 0.0);
  voice->Play(2205);
  EXPECT_NEAR(player.GetPosition(), 0.1, 1e-9);

  // Play everything there is; the voice runs dry at the end of the file.
  uint64_t total = 2205;
  ASSERT_TRUE(Eventually([&] {
    total += voice->Play(1000);
    player.UpdateFrame();
    return total >= 22050 && voice->State().buffersQueued == 0 && Queued(player, false) == 0;
  }));
  const double end = player.GetPosition();  // first dry look: holds here
  EXPECT_NEAR(end, 1.0, 0.03);
  FakeClock::Advance(0.15);
  EXPECT_DOUBLE_EQ(player.GetPosition(), end);
  FakeClock::Advance(0.1);
  EXPECT_DOUBLE_EQ(player.GetPosition(), end);  // 0.25 s dry: the wall clock takes over from here
  EXPECT_TRUE(player.clockFallback);
  FakeClock::Advance(0.5);
  EXPECT_NEAR(player.GetPosition(), end + 0.5, 1e-9);
}

TEST_F(PlayerTest, RefillAfterStarvingContinuesFromTheWallClock) {
  ASSERT_TRUE(player.Open(Media("h264_aac.mp4")));
  ASSERT_TRUE(Eventually([&] { return Queued(player, false) >= 8; }));
  player.Resume();
  TestVoice* voice = TestVoiceScope::Voice();
  {
    // Starve the voice: nothing more reaches the audio queue for now.
    std::lock_guard<std::mutex> lock(player.audioQueueMutex);
    player.audioQueueCapacity = 0;
    player.audioQueue.clear();
  }
  voice->Play(48000);
  const double dry = player.GetPosition();
  FakeClock::Advance(0.3);
  player.GetPosition();
  ASSERT_TRUE(player.clockFallback);
  FakeClock::Advance(0.2);
  const double wall = player.GetPosition();
  EXPECT_NEAR(wall, dry + 0.2, 1e-9);
  {
    std::lock_guard<std::mutex> lock(player.audioQueueMutex);
    player.audioQueueCapacity = 64;
  }
  player.audioQueueCondition.notify_all();
  ASSERT_TRUE(Eventually([&] { return Queued(player, false) >= 4; }));
  player.UpdateFrame();  // refills and restarts the voice
  EXPECT_FALSE(player.clockFallback);
  EXPECT_EQ(voice->State().buffersQueued, 4u);
  EXPECT_NEAR(player.GetPosition(), wall, 1e-9);  // no jump back
  voice->Play(4800);
  EXPECT_NEAR(player.GetPosition(), wall + 0.1, 1e-9);
}

TEST_F(PlayerTest, PauseResumeSeekAndVolumeKeepTheClockHonest) {
  ASSERT_TRUE(player.Open(Media("h264_aac.mp4")));
  ASSERT_TRUE(Eventually([&] { return Queued(player, false) >= 40; }));  // decoded ahead
  player.Resume();
  TestVoice* voice = TestVoiceScope::Voice();
  voice->Play(24000);
  EXPECT_NEAR(player.GetPosition(), 0.5, 1e-9);
  player.Pause();
  EXPECT_FALSE(voice->started);
  EXPECT_GT(voice->State().buffersQueued, 0u);  // kept while paused
  EXPECT_EQ(voice->Play(4800), 0u);
  FakeClock::Advance(3.0);
  EXPECT_NEAR(player.GetPosition(), 0.5, 1e-9);
  player.Resume();
  EXPECT_NEAR(player.GetPosition(), 0.5, 1e-9);  // no jump
  voice->Play(4800);
  EXPECT_NEAR(player.GetPosition(), 0.6, 1e-9);

  player.SetVolume(0.0f);
  EXPECT_EQ(voice->volume, 0.0f);
  voice->Play(4800);
  EXPECT_NEAR(player.GetPosition(), 0.7, 1e-9);  // silent, still running
  player.SetVolume(5.0f);
  EXPECT_EQ(player.volume, 2.0f);

  ASSERT_TRUE(player.Seek(1.5));
  EXPECT_EQ(voice->State().buffersQueued, 0u);  // flushed
  ASSERT_TRUE(Eventually([&] { return Queued(player, false) >= 8; }));
  player.Resume();
  EXPECT_NEAR(player.GetPosition(), 1.5, 1e-9);
  voice->Play(4800);
  EXPECT_NEAR(player.GetPosition(), 1.6, 1e-9);
}

TEST_F(PlayerTest, WithoutSoundTheClockIsTheWallClock) {
  ASSERT_TRUE(player.Open(Media("huge.y4m")) == false);
  player.Resume();  // nothing open, no sound: runs on the wall clock anyway
  EXPECT_EQ(player.state, PlaybackState::Playing);
  FakeClock::Advance(0.25);
  EXPECT_NEAR(player.GetPosition(), 0.25, 1e-9);
}

TEST_F(PlayerTest, TruncatedFileEndsAndTheWorkerSleeps) {
  ASSERT_TRUE(player.Open(Media("truncated.mp4")));
  player.Resume();
  TestVoice* voice = TestVoiceScope::Voice();
  // Play and show everything there is until nothing more comes.
  int quiet = 0;
  ASSERT_TRUE(Eventually([&] {
    const uint64_t played = voice->Play(4800);
    FakeClock::Advance(0.1);
    player.UpdateFrame();
    quiet = played == 0 && Queued(player, true) == 0 ? quiet + 1 : 0;
    return quiet > 300;
  }));
  const double before = CpuSeconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LT(CpuSeconds() - before, 0.05);
  player.Close();
  ExpectClosed(player);
}

// Through the real audio voice (the silent driver where there is no sound
// device): every channel count from 1 to 8 and rates from 8 to 192 kHz play.
TEST(PlayerOnDevice, PlaysAnyChannelCountAndRate) {
  for (const char* name : {"pcm_1ch_8000.wav", "pcm_2ch_44100.wav", "pcm_5ch_96000.wav", "pcm_8ch_192000.wav"}) {
    MediaPlayer player;
    player.Play(Media(name));
    ASSERT_EQ(player.state, PlaybackState::Playing) << name;
    ASSERT_NE(player.sourceVoice, nullptr) << name;
    EXPECT_TRUE(Eventually([&] {
      player.UpdateFrame();
      return player.GetPosition() > 0.05;
    })) << name;
    player.Close();
  }
}

// The player panel: fitting, time text, colour conversion, the
// still-picture fallback, and the panel's controls driven through the
// headless GUI.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "kit/icons.h"
#include "kit/tab_base.h"
#include "gui_harness.h"
#include "player/ffmpeg.h"
#include "player/media_player.h"
#include "player/panel_model.h"
#include "test_media.h"
#include "test_voice.h"

namespace {

// The first picture the player converts for a clip, as B, G, R, A at (x, y).
std::array<int, 4> FirstPicturePixel(const std::string& clip, int x, int y, VideoFrame* frameOut = nullptr) {
  TestVoiceScope voices;
  MediaPlayer player;
  EXPECT_TRUE(player.Open(Media(clip))) << clip;
  VideoFrame frame;
  EXPECT_TRUE(Eventually([&] { return player.PeekQueuedPicture(frame); }));
  const uint8_t* p = frame.pixels.data() + static_cast<size_t>(y) * frame.stride + static_cast<size_t>(x) * 4;
  if (frameOut) *frameOut = frame;
  return {p[0], p[1], p[2], p[3]};
}

void ExpectNear(std::array<int, 4> pixel, std::array<int, 4> expected, int tolerance) {
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(pixel[i], expected[i], tolerance) << "channel " << i;
}

}  // namespace

TEST(PanelModel, FitCentresThePictureWithBars) {
  // Portrait in landscape: bars left and right.
  FittedPicture f = Fit(360, 640, 1000, 500);
  EXPECT_FLOAT_EQ(f.uv0.y, 0.0f);
  EXPECT_FLOAT_EQ(f.uv1.y, 1.0f);
  const float shownWidth = 1000 / (f.uv1.x - f.uv0.x);  // texture width on screen
  EXPECT_NEAR(shownWidth, 500 * 360.0f / 640, 0.01);
  EXPECT_NEAR(f.uv0.x, -(f.uv1.x - 1), 1e-5);  // as much bar on either side
  // Landscape in a narrow area: bars above and below.
  f = Fit(1920, 1080, 400, 900);
  EXPECT_FLOAT_EQ(f.uv0.x, 0.0f);
  EXPECT_NEAR(900 / (f.uv1.y - f.uv0.y), 400 * 1080.0f / 1920, 0.01);
  EXPECT_LT(f.uv0.y, 0.0f);
  // Square in square: no margins.
  f = Fit(500, 500, 300, 300);
  EXPECT_FLOAT_EQ(f.uv0.x, 0.0f);
  EXPECT_FLOAT_EQ(f.uv0.y, 0.0f);
  EXPECT_FLOAT_EQ(f.uv1.x, 1.0f);
  EXPECT_FLOAT_EQ(f.uv1.y, 1.0f);
}

TEST(PanelModel, TimeTextCutsToWholeSeconds) {
  EXPECT_EQ(TimeText(65.7, 3723.0), "00:01:05 / 01:02:03");
  EXPECT_EQ(TimeText(0.0, 3723.9), "00:00:00 / 01:02:03");
  EXPECT_EQ(TimeText(-1.0, 59.99), "00:00:00 / 00:00:59");
}

TEST(PlayerPictures, ColourRangeAndMatrixFollowTheSource) {
  ExpectNear(FirstPicturePixel("bt709_green.mp4", 32, 32), {0, 255, 0, 255}, 6);
  ExpectNear(FirstPicturePixel("bt709_green_10bit.mp4", 32, 32), {0, 255, 0, 255}, 6);
  ExpectNear(FirstPicturePixel("full_range_light.mp4", 32, 32), {240, 240, 240, 255}, 4);
  ExpectNear(FirstPicturePixel("full_range_dark.mp4", 32, 32), {16, 16, 16, 255}, 4);
  VideoFrame odd;
  ExpectNear(FirstPicturePixel("odd_width.mkv", 100, 74, &odd), {0, 0, 255, 255}, 6);
  EXPECT_EQ(odd.width, 101);
  EXPECT_EQ(odd.stride, 448);  // 404 bytes brought up to a multiple of 64
}

TEST(PlayerPictures, StillPictureStandsInForWhatCannotPlay) {
  TestVoiceScope voices;
  MediaPlayer player;
  player.Play(Media("undecodable_audio.mp4"), kViewerTab);  // its sound cannot be decoded
  EXPECT_TRUE(player.ShowingStill());
  EXPECT_EQ(player.StillPicture().width, 640);
  EXPECT_EQ(player.StillPicture().height, 360);
  EXPECT_FALSE(player.Inspect().open);
  // A one-picture stream gives its picture only when the decoder is drained.
  EXPECT_TRUE(player.LoadStillFrame(Media("single_picture.mp4")));
  EXPECT_EQ(player.StillPicture().width, 320);
  EXPECT_FALSE(player.LoadStillFrame(Media("audio_only.m4a")));  // no picture at all
  EXPECT_FALSE(player.LoadStillFrame(Media("huge.y4m")));
  EXPECT_EQ(player.StillPicture().texture, nullptr);
  player.Play(Media("text.mp4"), kViewerTab);
  EXPECT_FALSE(player.ShowingStill());
  EXPECT_TRUE(player.MediaLoaded());
  player.Unload();
}

class PanelTest : public ::testing::Test {
 protected:
  void TearDown() override { Player.Unload(); }
  // The tab keeps one row of controls' height below the picture.
  void Body() { Player.DrawPanel(drawingTab, ImGui::GetFrameHeightWithSpacing()); }
  int drawingTab = kViewerTab;
  TestVoiceScope voices;
  GuiHarness gui;
  std::function<void()> body = [this] { Body(); };
};

TEST_F(PanelTest, OnlyTheTabThatPlayedDrawsThePanel) {
  Player.Play(Media("h264_aac.mp4"), kViewerTab);
  gui.Frame(body);
  EXPECT_TRUE(gui.Drawn("#image"));
  EXPECT_TRUE(gui.Drawn(ICON_PAUSE));
  drawingTab = kClassifierTab;
  gui.Frame(body);
  EXPECT_FALSE(gui.Drawn("#image"));
  EXPECT_FALSE(gui.Drawn(ICON_PAUSE));
  EXPECT_EQ(Player.State(), PlaybackState::Playing);  // untouched
}

TEST_F(PanelTest, ClickingPictureOrButtonPausesAndResumes) {
  Player.Play(Media("h264_aac.mp4"), kViewerTab);
  gui.Frame(body);
  ASSERT_TRUE(gui.Click(ICON_PAUSE, body));
  EXPECT_EQ(Player.State(), PlaybackState::Paused);
  ASSERT_TRUE(gui.Click("#image", body));
  EXPECT_EQ(Player.State(), PlaybackState::Playing);
}

TEST_F(PanelTest, SeekBarSeeksOnceOnReleaseAndKeepsPlaying) {
  Player.Play(Media("h264_aac.mp4"), kViewerTab);
  gui.Frame(body);
  ASSERT_TRUE(gui.Drawn("##Seek"));
  EXPECT_NE(gui.WindowText("##TestWindow").find("00:00:00/00:00:03"), std::string::npos);
  const auto watch = [&] {
    Body();
    // While the slider is held nothing has been sought yet.
    if (ImGui::IsMouseDown(0)) {
      EXPECT_LT(Player.GetPosition(), 0.3 * Player.Duration());
    }
  };
  ASSERT_TRUE(gui.Drag("##Seek", 0.05f, 0.7f, watch));
  EXPECT_NEAR(Player.Inspect().heldPosition, 0.7 * Player.Duration(), 0.15);
  EXPECT_EQ(Player.State(), PlaybackState::Playing);

  Player.Pause();  // a paused picture stays paused at its new place
  gui.Frame(body);
  ASSERT_TRUE(gui.Drag("##Seek", 0.7f, 0.2f, body));
  EXPECT_NEAR(Player.Inspect().heldPosition, 0.2 * Player.Duration(), 0.15);
  EXPECT_EQ(Player.State(), PlaybackState::Stopped);
}

TEST_F(PanelTest, MuteKeepsTheVolumeSetting) {
  Player.Play(Media("h264_aac.mp4"), kViewerTab);
  gui.Frame(body);
  ASSERT_TRUE(gui.Drag("##volume", 0.9f, 0.5f, body));
  gui.Frame(body);
  EXPECT_NEAR(Player.Volume(), 0.5f, 0.03);
  const std::string fifty = "Volume:" + std::to_string(static_cast<int>(Player.Volume() * 100 + 0.5f)) + "%";
  EXPECT_NE(gui.WindowText("##TestWindow").find(fifty), std::string::npos);
  ASSERT_TRUE(gui.Click(ICON_VOLUME_ON, body));
  EXPECT_EQ(Player.Volume(), 0.0f);
  EXPECT_EQ(TestVoiceScope::Voice()->volume, 0.0f);
  gui.Frame(body);  // the button shows its new glyph from the next frame
  EXPECT_NE(gui.WindowText("##TestWindow").find("Volume:0%"), std::string::npos);
  ASSERT_TRUE(gui.Click(ICON_VOLUME_OFF, body));
  EXPECT_NEAR(Player.Volume(), 0.5f, 0.03);
}

// A still picture has no controls; what cannot be played says so, and why
// on hover, above the control row; sound without a picture shows its cover
// or a quiet sign, with its time bar.
TEST_F(PanelTest, StillPictureHasNoControlsAndWhatCannotPlaySaysWhy) {
  Player.Play(Media("undecodable_audio.mp4"), kViewerTab);
  gui.Frame(body);
  EXPECT_TRUE(gui.Drawn("#image"));
  EXPECT_FALSE(gui.Drawn(ICON_PLAY));
  EXPECT_FALSE(gui.Drawn(ICON_PAUSE));
  Player.Play(Media("empty.mp4"), kViewerTab);  // nothing at all: the control row only
  gui.Frame(body);
  EXPECT_FALSE(gui.Drawn("#image"));
  EXPECT_TRUE(gui.Drawn(ICON_PLAY) || gui.Drawn(ICON_PAUSE));
  EXPECT_FALSE(gui.Drawn("##Seek"));
  EXPECT_TRUE(gui.Drawn("##volume"));
  const auto says = [&](const std::string& what) {
    return gui.WindowText("##TestWindow").find(what) != std::string::npos;
  };
  EXPECT_TRUE(says("Cannotplaythisfile"));
  ASSERT_TRUE(gui.Hover("Cannot play this file"));
  gui.Frame(body);
  gui.Frame(body);
  EXPECT_EQ(gui.Tooltip(), "cannotopenit:Invaliddatafoundwhenprocessinginput");
  Player.Play(Media("no such file.mp4"), kViewerTab);
  gui.Frame(body);
  gui.Frame(body);
  EXPECT_EQ(gui.Tooltip(), "cannotopenit:Nosuchfileordirectory");

  Player.Play(Media("audio_only.m4a"), kViewerTab);
  gui.Frame(body);
  gui.Frame(body);
  EXPECT_FALSE(says("Cannotplaythisfile"));
  EXPECT_TRUE(says("Soundonly"));
  EXPECT_TRUE(gui.Drawn("##Seek"));
  Player.Play(Media("cover.mp3"), kViewerTab);
  gui.Frame(body);
  gui.Frame(body);
  EXPECT_FALSE(says("Soundonly"));
  EXPECT_TRUE(gui.Drawn("#image"));
  EXPECT_TRUE(gui.Drawn("##Seek"));
}

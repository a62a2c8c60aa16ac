// The panel every media tab embeds: the picture fitted with black bars, then
// play/pause, the seek bar and the volume. GUI thread only.
#include <imgui.h>

#include <algorithm>
#include <cstdio>

#include "app/icons.h"
#include "app/widgets.h"
#include "app/tab_base.h"
#include "player/media_player.h"
#include "player/panel_model.h"

namespace {

bool seekDragging = false;
double seekDragValue = 0.0;
VolumeControl volumeControl;
PlaybackWatchdog playbackWatchdog;

void DrawFitted(const platform::Texture& texture, int width, int height, ImVec2 area, MediaPlayer& player) {
  if (area.x <= 0 || area.y <= 0 || width <= 0 || height <= 0) return;
  const FittedPicture fitted = Fit(static_cast<float>(width), static_cast<float>(height), area.x, area.y);
  const bool clicked =
      ImGui::ImageButton(texture.Id(), area, fitted.uv0, fitted.uv1, 0, ImVec4(0, 0, 0, 0), ImVec4(1, 1, 1, 1));
  ObserveLastItem("#image");
  if (clicked) {
    if (player.state == PlaybackState::Playing) {
      player.Pause();
    } else {
      player.Resume();
    }
  }
}

void RunWatchdog(MediaPlayer& player) {
  if (!playbackWatchdog.Step(MediaPlayer::Clock::now(), player.GetPosition(), player.state == PlaybackState::Playing))
    return;
  const double position = player.GetPosition();
  if (PlaybackWatchdog::Decide(position, player.duration) == PlaybackWatchdog::Action::RestartInPlace) {
    player.Seek(position);
    player.Resume();
  } else {
    mediaLoaded = false;
    player.Play(std::string(currentPath));  // from the start
  }
}

}  // namespace

void MediaPlayer::DrawPanel(float reservedHeight) {
  if (!mediaLoaded || ownerTab != DrawnTabIndex) return;  // another tab's file
  if (showingStill) {
    if (stillTexture.Valid())
      DrawFitted(stillTexture, stillTexture.Width(), stillTexture.Height(), ImGui::GetContentRegionAvail(), *this);
    return;
  }
  if (videoTexture.Valid()) {
    RunWatchdog(*this);
    ImVec2 area = ImGui::GetContentRegionAvail();
    area.y -= reservedHeight;
    DrawFitted(videoTexture, videoWidth, videoHeight, area, *this);
  }
  if (state == PlaybackState::Playing) {
    if (ShortcutButton(ICON_PAUSE, kNoKey)) Pause();
  } else {
    if (ShortcutButton(ICON_PLAY, kNoKey)) Resume();
  }
  DrawSeekBar();
  DrawVolume();
}

void MediaPlayer::DrawSeekBar() {
  if (duration <= 0) return;
  double shown = std::clamp(GetPosition(), 0.0, duration);
  if (seekDragging) shown = seekDragValue;
  ImGui::SameLine();
  ImGui::PushID("seekbar");
  float fraction = std::clamp(static_cast<float>(shown / duration), 0.0f, 1.0f);
  const std::string text = TimeText(shown, duration);
  ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x * 0.5f);
  if (ImGui::SliderFloat("##Seek", &fraction, 0.0f, 1.0f, text.c_str(), 0)) seekDragValue = fraction * duration;
  ObserveLastItem("##Seek");
  if (ImGui::IsItemActive()) {
    seekDragging = true;  // dragging moves only the time shown
  } else if (seekDragging && ImGui::IsItemDeactivatedAfterEdit()) {
    seekDragging = false;
    const bool wasPlaying = state == PlaybackState::Playing;
    Seek(seekDragValue);
    if (wasPlaying) Resume();
  }
  ImGui::PopID();
}

void MediaPlayer::DrawVolume() {
  ImGui::SameLine();
  ImGui::BeginGroup();
  bool changed = false;
  if (ShortcutButton(volumeControl.muted ? ICON_VOLUME_OFF : ICON_VOLUME_ON, kNoKey)) {
    volumeControl.muted = !volumeControl.muted;
    changed = true;
  }
  float value = volumeControl.Value();
  ImGui::SameLine();
  ImGui::PushID("volume");
  ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x);
  char text[32];
  std::snprintf(text, sizeof text, "Volume: %d%%%%", static_cast<int>(value * 100 + 0.5f));
  if (ImGui::SliderFloat("##volume", &value, 0.0f, 1.0f, text, 0)) {
    volumeControl.muted = false;
    changed = true;
  }
  ObserveLastItem("##volume");
  ImGui::PopID();
  if (!volumeControl.muted) volumeControl.volumeSetting = value;
  if (changed) SetVolume(value);
  ImGui::EndGroup();
}

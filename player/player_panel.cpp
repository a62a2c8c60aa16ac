// The panel every media tab embeds: the picture fitted over black bars,
// then play/pause, the seek bar and the volume. It is drawn from what the
// player shows and acts only through the player's operations. GUI thread
// only.
#include <imgui.h>

#include <algorithm>
#include <cstdio>

#include "kit/icons.h"
#include "kit/widgets.h"
#include "player/media_player.h"
#include "player/panel_model.h"

namespace {

bool seekDragging = false;
double seekDragValue = 0.0;
VolumeControl volumeControl;
PlaybackWatchdog playbackWatchdog;

void TogglePlaying(MediaPlayer& player) {
  if (player.State() == PlaybackState::Playing) {
    player.Pause();
  } else {
    player.Resume();
  }
}

// The whole area is the button; the picture sits in it at its display
// shape, turned as the file asks, with black bars around it.
void DrawFitted(const ShownPicture& picture, ImVec2 area, MediaPlayer& player, bool smoothShrink) {
  if (area.x <= 0 || area.y <= 0 || !picture.texture || picture.width <= 0 || picture.height <= 0) return;
  const PictureLayout layout = LayOut(picture.width, picture.height, picture.pixelAspect, picture.rotation, area.x, area.y);
  const ImVec2 origin = ImGui::GetCursorScreenPos();
  ImGui::PushID(picture.texture->Id());  // the item is "#image" under the texture, as an image button's is
  const bool clicked = ImGui::InvisibleButton("#image", area);
  ObserveLastItem("#image");
  ImGui::PopID();
  ImDrawList* draw = ImGui::GetWindowDrawList();
  draw->AddRectFilled(origin, ImVec2(origin.x + area.x, origin.y + area.y), IM_COL32(0, 0, 0, 255));
  ImVec2 corners[4];
  for (int i = 0; i < 4; ++i) corners[i] = ImVec2(origin.x + layout.corners[i].x, origin.y + layout.corners[i].y);
  draw->AddImageQuad(picture.texture->Id(), corners[0], corners[1], corners[2], corners[3], layout.uvs[0],
                     layout.uvs[1], layout.uvs[2], layout.uvs[3]);
  // Down to half size every pixel still reaches the screen through the
  // linear filter; below it fine detail breaks up unless smoothed.
  if (smoothShrink) player.SetPictureMinified(layout.scale < 0.5f);
  if (clicked) TogglePlaying(player);
}

void RunWatchdog(MediaPlayer& player) {
  if (!playbackWatchdog.Step(MediaPlayer::Clock::now(), player.GetPosition(),
                             player.State() == PlaybackState::Playing))
    return;
  const double position = player.GetPosition();
  if (PlaybackWatchdog::Decide(position, player.Duration(), player.Ended()) ==
      PlaybackWatchdog::Action::RestartInPlace) {
    player.Seek(position);
    player.Resume();
  } else {
    mediaLoaded = false;
    player.Play(std::string(currentPath), ownerTab);  // from the start
  }
}

void DrawSeekBar(MediaPlayer& player) {
  const double duration = player.Duration();
  if (duration <= 0) return;
  double shown = std::clamp(player.GetPosition(), 0.0, duration);
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
    const bool wasPlaying = player.State() == PlaybackState::Playing;
    player.Seek(seekDragValue);
    if (wasPlaying) player.Resume();
  }
  ImGui::PopID();
}

void DrawVolume(MediaPlayer& player) {
  ImGui::SameLine();
  ImGui::BeginGroup();
  bool changed = false;
  if (ShortcutButton(volumeControl.muted ? ICON_VOLUME_OFF : ICON_VOLUME_ON, kNoKey,
                     volumeControl.muted ? "Sound on" : "Mute")) {
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
  if (changed) player.SetVolume(value);
  ImGui::EndGroup();
}

}  // namespace

void MediaPlayer::DrawPanel(int drawingTab, float reservedHeight) {
  if (!mediaLoaded || ownerTab != drawingTab) return;  // another tab's file
  panelShown = true;
  if (showingStill) {
    DrawFitted(StillPicture(), ImGui::GetContentRegionAvail(), *this, false);
    return;
  }
  const ShownPicture picture = Picture();
  if (picture.texture) {
    RunWatchdog(*this);
    ImVec2 area = ImGui::GetContentRegionAvail();
    area.y -= reservedHeight;
    DrawFitted(Picture(), area, *this, true);  // the watchdog may have opened the file again
  }
  if (State() == PlaybackState::Playing) {
    if (ShortcutButton(ICON_PAUSE, kNoKey, "Pause")) Pause();
  } else {
    if (ShortcutButton(ICON_PLAY, kNoKey, "Play")) Resume();
  }
  DrawSeekBar(*this);
  DrawVolume(*this);
}

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

void TogglePlaying(MediaPlayer& player) {
  if (player.State() == PlaybackState::Playing) {
    player.Pause();
  } else {
    player.Resume();
  }
}

// The whole area is the button; the picture sits in it at its display
// shape, turned as the file asks, with black bars around it.
void DrawFitted(const ShownPicture& picture, ImVec2 area, MediaPlayer& player) {
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
  platform::AddPictureQuad(draw, *picture.texture, corners, layout.uvs, layout.scale);
  if (clicked) TogglePlaying(player);
}

// The seek bar is never narrower than its time, the volume group than
// "Volume: 100%" and its button: in a narrow pane at a large size they
// start lines of their own.
float SeekTextWidth(double duration) {
  return ImGui::CalcTextSize(TimeText(duration, duration).c_str()).x + 2 * ImGui::GetStyle().FramePadding.x;
}

float VolumeWidth() {
  const ImGuiStyle& style = ImGui::GetStyle();
  return ButtonWidth(ICON_VOLUME_ON) + style.ItemSpacing.x + ImGui::CalcTextSize("Volume: 100%").x +
         2 * style.FramePadding.x;
}

// How many lines the control row takes in this width, laid out as
// SameLineIfFits lays it out.
int ControlLines(float width, double duration) {
  const float spacing = ImGui::GetStyle().ItemSpacing.x;
  float used = ButtonWidth(ICON_PAUSE);
  int lines = 1;
  const auto place = [&](float wanted, bool half) {
    float item = half ? std::max((width - used - spacing) * 0.5f, wanted) : wanted;
    if (item > width - used - spacing) {
      ++lines;
      used = half ? std::max(width * 0.5f, wanted) : wanted;
    } else {
      used += spacing + item;
    }
  };
  if (duration > 0) place(SeekTextWidth(duration), true);
  place(VolumeWidth(), false);
  return lines;
}

void DrawSeekBar(MediaPlayer& player) {
  const double duration = player.Duration();
  if (duration <= 0) return;
  double shown = std::clamp(player.GetPosition(), 0.0, duration);
  if (seekDragging) shown = seekDragValue;
  float fraction = std::clamp(static_cast<float>(shown / duration), 0.0f, 1.0f);
  const std::string text = TimeText(shown, duration);
  // Never narrower than its time: in a narrow pane at a large size the
  // bar starts a line of its own.
  const float textWidth = SeekTextWidth(duration);
  SameLineIfFits(std::max(ImGui::GetContentRegionAvail().x * 0.5f, textWidth));
  ImGui::PushID("seekbar");
  ImGui::SetNextItemWidth(std::max(ImGui::GetContentRegionAvail().x * 0.5f, textWidth));
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
  SameLineIfFits(VolumeWidth());
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

// One line in the middle of the picture's place, which it keeps so the
// controls stay where they are; true while it is hovered.
bool CentredInPlace(const std::string& text, ImVec2 area, Tone tone) {
  const ImVec2 start = ImGui::GetCursorPos();
  const ImVec2 size = ImGui::CalcTextSize(text.c_str());
  ImGui::SetCursorPos(ImVec2(start.x + std::max(0.0f, (area.x - size.x) / 2),
                             start.y + std::max(0.0f, (area.y - size.y) / 2)));
  StatusText(text, tone);
  ObserveLastItem(text.c_str());
  const bool hovered = ImGui::IsItemHovered();
  ImGui::SetCursorPos(ImVec2(start.x, start.y + std::max(area.y, size.y + ImGui::GetStyle().ItemSpacing.y)));
  return hovered;
}

}  // namespace

void MediaPlayer::DrawPanel(int drawingTab, float reservedHeight) {
  if (!mediaLoaded || ownerTab != drawingTab) return;  // another tab's file
  panelShown = true;
  if (showingStill) {
    DrawFitted(StillPicture(), ImGui::GetContentRegionAvail(), *this);
    return;
  }
  const ShownPicture picture = Picture();
  ImVec2 area = ImGui::GetContentRegionAvail();
  area.y -= reservedHeight;
  // Room for the lines the control row wraps onto, beyond the reserved one.
  area.y -= static_cast<float>(ControlLines(area.x, Duration()) - 1) * ImGui::GetFrameHeightWithSpacing();
  if (picture.texture) {
    DrawFitted(picture, area, *this);
  } else if (cannotPlay) {
    if (CentredInPlace("Cannot play this file", area, Tone::Problem)) ImGui::SetTooltip("%s", whyNot.c_str());
  } else if (SoundOnly()) {
    CentredInPlace(ICON_SOUND_ONLY " Sound only", area, Tone::Quiet);
  }
  if (State() == PlaybackState::Playing) {
    if (ShortcutButton(ICON_PAUSE, kNoKey, "Pause")) Pause();
  } else {
    if (ShortcutButton(ICON_PLAY, kNoKey, "Play")) Resume();
  }
  DrawSeekBar(*this);
  DrawVolume(*this);
}

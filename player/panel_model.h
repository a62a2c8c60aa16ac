#pragma once
// The player panel's rules apart from its drawing: fitting a picture into
// the space it gets, the time text and the volume control.
#include <cstdint>
#include <string>

#include <imgui.h>

// Texture coordinates that show a w x h picture centred at its aspect ratio
// in an area of the button's full size (outside 0..1 lie the bars).
struct FittedPicture {
  ImVec2 uv0, uv1;
};
FittedPicture Fit(float pictureWidth, float pictureHeight, float areaWidth, float areaHeight);

// Where a picture of width x height texture pixels goes in an area: its
// display shape (pixels pixelAspect wide, turned clockwise by rotation
// degrees) fitted and centred. corners are top-left, top-right,
// bottom-right, bottom-left, relative to the area, with the texture
// coordinates shown at each; scale is the fitted size over the display size.
struct PictureLayout {
  ImVec2 corners[4];
  ImVec2 uvs[4];
  float scale = 1.0f;
};
PictureLayout LayOut(int width, int height, double pixelAspect, int rotation, float areaWidth, float areaHeight);

// "hh:mm:ss / hh:mm:ss", whole seconds.
std::string TimeText(double position, double duration);

// Mute keeps the volume the user set; dragging the slider while muted unmutes.
struct VolumeControl {
  bool muted = false;
  float volumeSetting = 1.0f;
  // The value the slider shows and the voice plays at.
  float Value() const { return muted ? 0.0f : volumeSetting; }
};

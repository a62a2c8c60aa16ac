#include "player/panel_model.h"

#include <cmath>
#include <cstdio>

FittedPicture Fit(float w, float h, float areaWidth, float areaHeight) {
  float fittedWidth, fittedHeight;
  if (w >= h) {
    fittedWidth = areaWidth;
    fittedHeight = h * areaWidth / w;
    if (fittedHeight > areaHeight) {
      fittedHeight = areaHeight;
      fittedWidth = w * areaHeight / h;
    }
  } else {
    fittedHeight = areaHeight;
    fittedWidth = w * areaHeight / h;
    if (fittedWidth > areaWidth) {
      fittedWidth = areaWidth;
      fittedHeight = h * areaWidth / w;
    }
  }
  const float mx = (areaWidth / fittedWidth - 1.0f) * 0.5f;
  const float my = (areaHeight / fittedHeight - 1.0f) * 0.5f;
  return {ImVec2(-mx, -my), ImVec2(1.0f + mx, 1.0f + my)};
}

PictureLayout LayOut(int width, int height, double pixelAspect, int rotation, float areaWidth, float areaHeight) {
  PictureLayout layout;
  const bool turned = rotation == 90 || rotation == 270;
  const float shapeWidth = static_cast<float>(width * (pixelAspect > 0 ? pixelAspect : 1.0));
  const float shownWidth = turned ? static_cast<float>(height) : shapeWidth;
  const float shownHeight = turned ? shapeWidth : static_cast<float>(height);
  const FittedPicture fit = Fit(shownWidth, shownHeight, areaWidth, areaHeight);
  // Fit's texture range spans the whole area; the picture is its 0..1 part.
  const float spanX = fit.uv1.x - fit.uv0.x, spanY = fit.uv1.y - fit.uv0.y;
  const float left = -fit.uv0.x / spanX * areaWidth, top = -fit.uv0.y / spanY * areaHeight;
  const float right = areaWidth - left, bottom = areaHeight - top;
  layout.corners[0] = ImVec2(left, top);
  layout.corners[1] = ImVec2(right, top);
  layout.corners[2] = ImVec2(right, bottom);
  layout.corners[3] = ImVec2(left, bottom);
  // The texture corner shown at each screen corner, turning clockwise.
  const ImVec2 upright[4] = {ImVec2(0, 0), ImVec2(1, 0), ImVec2(1, 1), ImVec2(0, 1)};
  const int steps = (rotation / 90) % 4;
  for (int i = 0; i < 4; ++i) layout.uvs[i] = upright[(i - steps + 4) % 4];
  layout.scale = shownWidth > 0 ? (right - left) / shownWidth : 1.0f;
  return layout;
}

std::string TimeText(double position, double duration) {
  const auto parts = [](double seconds, int& h, int& m, int& s) {
    const long long whole = seconds > 0 ? static_cast<long long>(seconds) : 0;
    h = static_cast<int>(whole / 3600);
    m = static_cast<int>(whole / 60 % 60);
    s = static_cast<int>(whole % 60);
  };
  int h1, m1, s1, h2, m2, s2;
  parts(position, h1, m1, s1);
  parts(duration, h2, m2, s2);
  char text[64];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d / %02d:%02d:%02d", h1, m1, s1, h2, m2, s2);
  return text;
}

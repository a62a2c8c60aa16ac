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

bool PlaybackWatchdog::Step(TimePoint now, double position, bool playing) {
  if (!started) {
    started = true;
    lastTime = now;
  }
  if (playing && position == lastPosition) {
    stalledSeconds += std::chrono::duration<float>(now - lastTime).count();
  } else {
    stalledSeconds = 0.0f;
  }
  lastTime = now;
  lastPosition = position;
  const uint64_t n = frameCounter++;
  if (n < 64 || stalledSeconds < 0.5f) return false;
  frameCounter = 0;
  stalledSeconds = 0.0f;
  return true;
}

PlaybackWatchdog::Action PlaybackWatchdog::Decide(double position, double duration) {
  return std::fabs(position - duration) >= 1.0 ? Action::RestartInPlace : Action::ReplayFromStart;
}

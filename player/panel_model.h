#pragma once
// The player panel's rules apart from its drawing: fitting a picture into
// the space it gets, the time text, the volume control and the watchdog
// that restarts a stalled picture.
#include <chrono>
#include <cstdint>
#include <string>

#include <imgui.h>

// Texture coordinates that show a w x h picture centred at its aspect ratio
// in an area of the button's full size; outside 0..1 the black border shows.
struct FittedPicture {
  ImVec2 uv0, uv1;
};
FittedPicture Fit(float pictureWidth, float pictureHeight, float areaWidth, float areaHeight);

// "hh:mm:ss / hh:mm:ss", whole seconds.
std::string TimeText(double position, double duration);

// Mute keeps the volume the user set; dragging the slider while muted unmutes.
struct VolumeControl {
  bool muted = false;
  float volumeSetting = 1.0f;
  // The value the slider shows and the voice plays at.
  float Value() const { return muted ? 0.0f : volumeSetting; }
};

// Watches the clock of a playing picture. A clock that stands still for half
// a second is restarted where it stands, or from the start when that is
// within a second of the end.
class PlaybackWatchdog {
 public:
  enum class Action { None, RestartInPlace, ReplayFromStart };
  using TimePoint = std::chrono::steady_clock::time_point;

  // Called once per frame with the clock's position; true when the picture
  // has stood still long enough to act on.
  bool Step(TimePoint now, double position, bool playing);
  // What to do, from the position read again when acting.
  static Action Decide(double position, double duration);

 private:
  bool started = false;
  TimePoint lastTime{};
  float stalledSeconds = 0.0f;
  uint64_t frameCounter = 0;
  double lastPosition = 0.0;
};

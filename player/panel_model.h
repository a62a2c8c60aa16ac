#pragma once
// The player panel's rules apart from its drawing: fitting a picture into
// the space it gets, the time text, the volume control and the watchdog
// that restarts a stalled picture.
#include <chrono>
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
  // What to do, from the position read again when acting: a file played
  // to its end starts again.
  static Action Decide(double position, double duration, bool ended);

 private:
  bool started = false;
  TimePoint lastTime{};
  float stalledSeconds = 0.0f;
  uint64_t frameCounter = 0;
  double lastPosition = 0.0;
};

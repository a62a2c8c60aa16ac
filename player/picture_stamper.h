#pragma once
// When each decoded picture is due, in seconds on the media timeline: the
// decoder's best-effort timestamp, less the file's start time. Pictures
// without a timestamp follow the one before by a frame duration. After a
// seek, the pictures decoded from the key frame up to the target are not
// shown, so the first one shown is the one at the target.
#include <optional>

class PictureStamper {
 public:
  // From the open (target 0) or a successful seek. discontinuous: the
  // container's timestamps may jump (joined transport streams), so a jump
  // back, or far ahead, continues the timeline instead.
  void Restart(double target, double frameDuration, bool discontinuous);

  // The time of the next picture; timestamp is its own (timeline seconds)
  // when it has one.
  double Stamp(std::optional<double> timestamp);
  // Whether a picture stamped at pts is shown (false: before the target).
  bool Shown(double pts) const { return pts >= target - frameDuration / 2; }

  double FrameDuration() const { return frameDuration; }

 private:
  double target = 0.0;
  double frameDuration = 1.0 / 30.0;
  bool discontinuous = false;
  std::optional<double> last;  // the last stamp given
  double jumpOffset = 0.0;     // added to timestamps after a jump
};

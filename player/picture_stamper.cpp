#include "player/picture_stamper.h"

namespace {
// Jumps in a stream with discontinuities: back by more than this, or ahead
// by more than kLongestGap, start a new stretch of the timeline.
constexpr double kLongestStepBack = 1.0;
constexpr double kLongestGap = 10.0;
}  // namespace

void PictureStamper::Restart(double newTarget, double duration, bool mayJump) {
  target = newTarget;
  frameDuration = duration > 0 ? duration : 1.0 / 30.0;
  discontinuous = mayJump;
  last.reset();
  jumpOffset = 0.0;
}

double PictureStamper::Stamp(std::optional<double> timestamp) {
  double pts;
  if (!timestamp) {
    pts = last ? *last + frameDuration : target;
  } else {
    pts = *timestamp + jumpOffset;
    if (discontinuous && last && (pts < *last - kLongestStepBack || pts > *last + kLongestGap)) {
      jumpOffset += *last + frameDuration - pts;
      pts = *last + frameDuration;
    }
  }
  last = pts;
  return pts;
}

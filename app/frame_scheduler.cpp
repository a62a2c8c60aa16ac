#include "app/frame_scheduler.h"

#include <algorithm>

void FrameScheduler::FrameDrawn(double now, const AfterFrame& after) {
  double next = now + kHeartbeat;
  if (after.wanted >= 0) next = std::min(next, now + after.wanted);
  if (after.keysHeldBack) next = now;
  nextFrameAt = next;
}

double FrameScheduler::WaitSeconds(double now) const {
  if (now < activeUntil) return 0.0;
  return std::max(0.0, nextFrameAt - now);
}

// The frame loop's timing, run on a simulated clock: frames counted over
// two seconds at rest, with input, while something plays, with keys held
// back, with a frame asked for later.
#include <gtest/gtest.h>

#include <functional>

#include "app/frame_scheduler.h"

namespace {

// Runs the loop for `seconds` at up to 60 frames a second: waits as the
// scheduler says (an event cuts a wait short), draws, reports what the
// frame asked for. Returns the frames drawn.
int FramesOver(double seconds, const std::function<FrameScheduler::AfterFrame(double)>& frame,
               const std::function<bool(double)>& eventAt = [](double) { return false; }) {
  FrameScheduler scheduler;
  double now = 0;
  int frames = 0;
  while (now < seconds) {
    double wait = scheduler.WaitSeconds(now);
    // Events come in at whole milliseconds.
    for (double t = now; wait > 0 && t < now + wait; t += 0.001) {
      if (eventAt(t)) {
        wait = t - now;
        break;
      }
    }
    now += wait;
    if (now >= seconds) break;
    if (eventAt(now)) scheduler.EventsSeen(now);
    ++frames;
    scheduler.FrameDrawn(now, frame(now));
    now += 1.0 / 60;  // the frame and its presentation
  }
  return frames;
}

}  // namespace

TEST(FrameScheduler, RestsWhenNothingChangesAndRunsFullRateWhenSomethingDoes) {
  const auto nothing = [](double) { return FrameScheduler::AfterFrame{}; };
  EXPECT_LE(FramesOver(2.0, nothing), 2);  // the first frame, and a heartbeat now and then

  const auto playing = [](double) { return FrameScheduler::AfterFrame{0.0, false}; };
  EXPECT_GE(FramesOver(2.0, playing), 119);  // every frame

  // A click at 1 s: a quarter second of full rate for hover and tooltips.
  const int withClick = FramesOver(2.0, nothing, [](double t) { return t >= 1.0 && t < 1.001; });
  EXPECT_GE(withClick, 15);
  EXPECT_LE(withClick, 20);

  // Keys held back for the next drain get their frame at once.
  int held = 3;
  EXPECT_GE(FramesOver(2.0, [&](double) { return FrameScheduler::AfterFrame{-1.0, held-- > 0}; }), 4);

  // A frame asked for within 0.25 s (a collection): four a second.
  const int collections = FramesOver(2.0, [](double) { return FrameScheduler::AfterFrame{0.25, false}; });
  EXPECT_GE(collections, 7);
  EXPECT_LE(collections, 9);
}

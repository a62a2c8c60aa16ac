#pragma once
// When the frame loop draws. At full rate while something on screen
// changes (a frame was asked for, input came in the last quarter second,
// keys wait to be delivered); otherwise it waits for the next event, at
// most until a frame asked for later or a heartbeat every few seconds. (Helper
// programs are polled while it waits: kHelperPoll.)
class FrameScheduler {
 public:
  static constexpr double kAfterInput = 0.25;    // hover, clicks and tooltips settle
  static constexpr double kHelperPoll = 0.05;    // a chooser or file manager may answer
  static constexpr double kHeartbeat = 3.0;  // a frame at rest costs ~12 ms of software drawing

  struct AfterFrame {
    double wanted = -1.0;  // FrameDemand::Take(): 0 at once, > 0 within, < 0 none
    bool keysHeldBack = false;
  };
  // What the frame drawn at `now` asked for.
  void FrameDrawn(double now, const AfterFrame& after);
  // Events (input, window, wake-ups) were drained at `now`.
  void EventsSeen(double now) { activeUntil = now + kAfterInput; }
  // How long the loop may wait for an event before the next frame; 0 to
  // draw at once.
  double WaitSeconds(double now) const;

 private:
  double nextFrameAt = 0.0;
  double activeUntil = 0.0;
};

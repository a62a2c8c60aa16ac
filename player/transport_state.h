#pragma once
// Where playback stands, as the GUI thread sees it: one phase, and the seek
// in flight when there is one. Only the transport operations and the
// per-frame step change it; the worker's side of a seek is its request and
// answer, matched by serial number.
#include <cstdint>
#include <optional>

enum class Phase {
  Stopped,   // open and still: after the open, or after a seek while not playing
  Cueing,    // still at a seek's target: its picture is shown when it comes
  Starting,  // to play: the clock waits for the first sound and pictures
  Playing,
  Paused,
  Ended,     // everything shown and heard; a video on show starts over
};

struct PendingSeek {
  uint64_t serial = 0;          // the request the worker answers
  double target = 0.0;
  double positionBefore = 0.0;  // where playback stays if the file refuses the seek
  bool playAfter = false;       // Resume was asked meanwhile
};

struct Transport {
  Phase phase = Phase::Stopped;
  std::optional<PendingSeek> seek;
  bool firstPictureUp = false;  // Starting: the first picture is on show
  double endPosition = 0.0;   // where Ended stands
};

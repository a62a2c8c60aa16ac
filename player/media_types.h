#pragma once
// What flows from the demux thread to the screen and the speakers.
#include <cstdint>
#include <limits>
#include <vector>

enum class PlaybackState : int32_t { Stopped = 0, Playing = 1, Paused = 2 };

// One converted picture: BGRA rows stride bytes apart (0 = width * 4).
struct VideoFrame {
  double pts = 0.0;  // seconds on the media timeline
  uint64_t serial = 0;  // the timeline it was decoded on: each seek starts a new one
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;
  std::vector<uint8_t> pixels;
};

// Interleaved signed 16-bit samples at the output rate and channel count.
struct AudioBuffer {
  std::vector<uint8_t> bytes;
  // Seconds on the media timeline of its first sample; NaN when the
  // sound's timestamps were not to be trusted.
  double start = std::numeric_limits<double>::quiet_NaN();
};

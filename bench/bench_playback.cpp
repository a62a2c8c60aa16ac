// Playback in real time through the real audio voice (the silent device
// when the machine has no sound output): the speed each sound format plays
// at against the wall clock, and seeks: the time from the seek to the
// picture at the target, and how far that picture is from the target.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench_util.h"
#include "kit/tab_base.h"
#include "player/media_player.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

double SecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// The frame number burnt into the seek clip: 16 blocks of 40 pixels across
// the top 32 rows, block i white when bit i is set.
int BurntInFrameNumber(const VideoFrame& frame) {
  int number = 0;
  for (int bit = 0; bit < 16; ++bit) {
    const size_t at = static_cast<size_t>(16) * frame.stride + static_cast<size_t>(40 * bit + 20) * 4;
    if (at + 1 < frame.pixels.size() && frame.pixels[at + 1] > 128) number |= 1 << bit;
  }
  return number;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s MEDIA_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string media = argv[1];
  setenv("SDL_AUDIODRIVER", "dummy", 0);

  // (a) Speed: 10 s of each format, the GUI's frame loop at 60 a second.
  for (const char* name : {"speed_aac.m4a", "speed_mp3.mp3", "speed_ac3.ac3", "speed_pcm8k.mka"}) {
    MediaPlayer player;
    player.Play(media + "/" + name, kViewerTab);
    const auto start = SteadyClock::now();
    const double first = player.GetPosition();
    int dry = 0;
    while (SecondsSince(start) < 10.0) {
      std::this_thread::sleep_for(std::chrono::microseconds(16667));
      player.UpdateFrame();
      if (player.Inspect().onWallClock) ++dry;
    }
    const double ratio = (player.GetPosition() - first) / SecondsSince(start);
    std::printf("playback speed %s: %.4f x real time over 10 s (target 1.00 +- 0.01, ratio %.4f), %d frames on the wall clock (target 0)\n",
                name, ratio, ratio, dry);
  }

  // (b) Seeks into a 1080p clip with key frames 8 s apart: time until the
  // picture at the target is ready, and its distance from the target.
  MediaPlayer player;
  const std::string clip = media + "/seek1080.mp4";
  if (!player.Open(clip)) return 1;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> target(1.0, player.Duration() - 2.0);
  std::vector<double> times, errors, reference;
  int wrongPictures = 0;
  for (int i = 0; i < 12; ++i) {
    const double seconds = target(random);
    const auto start = SteadyClock::now();
    player.Seek(seconds);
    // Nothing is shown meanwhile: the first picture queued after the seek
    // is the one that goes on screen.
    VideoFrame picture;
    while (player.Inspect().seekPending || !player.PeekQueuedPicture(picture))
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    times.push_back(SecondsSince(start));
    // The ffmpeg tool's exact seek to the same picture, single-threaded.
    reference.push_back(TimeProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-threads", "1", "-ss",
                                     std::to_string(seconds), "-i", clip, "-frames:v", "1", "-f", "null", "-"}));
    errors.push_back(std::fabs(picture.pts - seconds));
    if (std::abs(BurntInFrameNumber(picture) - static_cast<int>(std::ceil(seconds * 25 - 0.5))) > 1) ++wrongPictures;
  }
  std::printf("seek to picture (1080p, key frames 8 s apart): median %.0f ms, worst %.0f ms (ffmpeg -ss to one "
              "picture %.0f ms, ratio %.2f); picture time error median %.1f ms, worst %.1f ms (target < 40 ms); "
              "%d of 12 pictures not the target's\n",
              Median(times) * 1000, *std::max_element(times.begin(), times.end()) * 1000, Median(reference) * 1000,
              Median(times) / Median(reference),
              Median(errors) * 1000, *std::max_element(errors.begin(), errors.end()) * 1000, wrongPictures);
  return 0;
}

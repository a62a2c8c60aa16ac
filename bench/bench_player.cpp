// The player against references measured in the same run, on generated
// clips (1080p30 H.264, 4K30 and 4K60 H.264, 4K30 HEVC in 8 and 10 bits,
// all with AAC):
// decode and conversion throughput against the ffmpeg command-line tool
// using every core, time to the first picture and sound, and memory while
// playing and across many opens.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <span>
#include <tuple>

#include "bench_util.h"
#include "kit/tab_base.h"
#include "player/media_player.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

// Resident and peak resident memory of this process, in MB.
double MemoryMb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::atof(line.c_str() + std::string(field).size()) / 1024.0;
  return 0;
}

// Starts the peak resident memory again from what is resident now.
void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

double SecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// Opens the clip and takes every picture and sound buffer as fast as the
// player makes them, to the end of the stream; returns the seconds taken.
double DecodeWholeFile(const std::string& clip, int& pictures) {
  MediaPlayer player;
  const auto start = SteadyClock::now();
  if (!player.Open(clip)) return -1;
  pictures = 0;
  for (;;) {
    const bool done = player.Inspect().readToEnd;  // read before draining: nothing more comes after
    const auto [taken, buffers] = player.DrainQueues();
    pictures += static_cast<int>(taken);
    if (done && taken == 0 && buffers == 0) break;
    if (taken == 0 && buffers == 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return SecondsSince(start);
}

struct Clip {
  const char* name;
  const char* file;
  double frameRate;
};

// Plays the clip for seconds as the GUI would, taking due pictures sixty
// times a second (without drawing them). A picture skipped while it was
// already decoded fell due in the same tick as the next (the clock and the
// ticks in step, as a 60 Hz display shows 60 pictures a second); one
// skipped because it was not decoded in time is the player's fault.
struct Smoothness {
  int shown = 0, skippedLate = 0, skippedInStep = 0;
};
Smoothness PlayAsTheGui(MediaPlayer& player, const std::string& clip, double seconds) {
  player.Play(clip, kViewerTab);
  const auto start = SteadyClock::now();
  Smoothness result;
  double lastPts = -1;
  const double frameDuration = player.Inspect().frameDuration;
  auto next = start;
  while (SecondsSince(start) < seconds && !player.Ended()) {
    const size_t queued = player.Inspect().picturesQueued;
    player.UpdateFrame();
    const double pts = player.CurrentFrame().pts;
    if (pts != lastPts && !player.CurrentFrame().pixels.empty()) {
      if (lastPts >= 0) {
        const int gap = std::max(0, static_cast<int>(std::lround((pts - lastPts) / frameDuration)) - 1);
        const bool wereDecoded = queued >= static_cast<size_t>(gap) + 1;
        (wereDecoded ? result.skippedInStep : result.skippedLate) += gap;
        if (gap > 0 && std::getenv("SORTIQ_BENCH_SKIPS"))
          std::fprintf(stderr, "skipped %d before %.3f s (%s)\n", gap, pts, wereDecoded ? "in step" : "late");
      }
      ++result.shown;
      lastPts = pts;
    }
    next += std::chrono::microseconds(16667);  // a steady 60 Hz, as a display's refresh
    std::this_thread::sleep_until(next);
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string media = argc > 1 ? argv[1] : "/tmp/sortiq-bench-media";
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  const Clip clips[] = {{"1080p30 H.264", "1080p30.mp4", 30},
                        {"4K30 H.264", "4k30_h264.mp4", 30},
                        {"4K60 H.264", "4k60_h264.mp4", 60},
                        {"4K30 HEVC", "4k30_hevc.mp4", 30},
                        {"4K30 HEVC 10-bit", "4k30_hevc10.mp4", 30}};

  // "playing": only the figures of playing as the GUI does; "start": only
  // the time to the first picture.
  const std::string only = argc > 2 ? argv[2] : "";
  const bool playingOnly = only == "playing", startOnly = only == "start";

  // (a) Decode and BGRA conversion throughput.
  for (const Clip& clip : !only.empty() ? std::span<const Clip>() : std::span<const Clip>(clips)) {
    const std::string path = media + "/" + clip.file;
    std::vector<double> ours, reference;
    int pictures = 0;
    for (int round = 0; round < 3; ++round) {
      ours.push_back(DecodeWholeFile(path, pictures));
      reference.push_back(TimeProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-threads", "0", "-i", path,
                                       "-pix_fmt", "bgra", "-f", "null", "-"}));
    }
    const double oursRate = pictures / Median(ours), referenceRate = pictures / Median(reference);
    std::printf("player decode+BGRA %s: %.1f pictures/s (ffmpeg -threads 0 %.1f pictures/s, ratio %.2f; target >= "
                "0.95), %.2f x its frame rate (target >= 1.1 at 4K)\n",
                clip.name, oursRate, referenceRate, oursRate / referenceRate, oursRate / clip.frameRate);
  }

  // (b) Time from Play to the first picture queued, and how long Play holds
  // the window (a large video's start is finished by the frame step).
  for (const char* file : {"1080p30.mp4", "4k30_hevc.mp4"}) {
    if (playingOnly) break;
    const std::string clip = media + "/" + file;
    std::vector<double> toPicture, toSound;
    for (int round = 0; round < 5; ++round) {
      MediaPlayer player;
      const auto start = SteadyClock::now();
      player.Play(clip, kViewerTab);
      toSound.push_back(SecondsSince(start));
      // Not a copy of the picture: copying 33 MB into fresh memory would be
      // timed with it.
      while (player.Inspect().picturesQueued == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
      toPicture.push_back(SecondsSince(start));
      player.Close();
    }
    std::printf("player Play to first picture %s: %.1f ms (target 100 ms, ratio %.2f)\n", file,
                Median(toPicture) * 1000, Median(toPicture) * 10);
    std::printf("player Play holds the window %s: %.1f ms (target 100 ms, ratio %.2f)\n", file,
                Median(toSound) * 1000, Median(toSound) * 10);
  }

  // (c) Memory and smoothness while playing: the GUI takes due pictures
  // sixty times a second.
  struct Played {
    const char* file;
    int width, height;
    int targetPictures;  // memory target: this many pictures + 100 MB
  };
  const std::vector<Played> playedClips = {{"1080p30.mp4", 1920, 1080, 30},
                                        {"4k30_hevc.mp4", 3840, 2160, 8},
                                        {"4k30_hevc10.mp4", 3840, 2160, 8},
                                        {"4k60_h264.mp4", 3840, 2160, 8}};
  for (const Played& played : startOnly ? std::vector<Played>{} : playedClips) {
    const std::string clip = media + "/" + played.file;
    {
      MediaPlayer warm;  // the libraries' own first-use memory is not the player's
      warm.Open(clip);
    }
    const double idleMb = MemoryMb("VmRSS:");
    ResetPeakMemory();
    MediaPlayer player;
    const Smoothness smooth = PlayAsTheGui(player, clip, 6.0);
    player.Close();
    const double peakMb = MemoryMb("VmHWM:");
    const double targetMb = played.targetPictures * played.width * played.height * 4 / 1048576.0 + 100;
    std::printf("player playing %s as the GUI does: %d pictures shown, %d skipped for want of a decoded picture "
                "(target 0), %d skipped with the clock and the 60 Hz ticks in step; peak memory %.0f MB above idle "
                "(%d pictures + 100 MB = %.0f MB, ratio %.2f)\n",
                played.file, smooth.shown, smooth.skippedLate, smooth.skippedInStep, peakMb - idleMb,
                played.targetPictures, targetMb,
                (peakMb - idleMb) / targetMb);
  }

  if (startOnly) return 0;
  // Memory across 100 opens: what stays after the first ten must not grow.
  const std::string clip = media + "/1080p30.mp4";
  MediaPlayer player;
  for (int i = 0; i < 10; ++i) player.Open(clip);
  player.Close();
  const double afterTen = MemoryMb("VmRSS:");
  for (int i = 0; i < 100; ++i) player.Open(clip);
  player.Close();
  const double afterHundred = MemoryMb("VmRSS:");
  std::printf("player memory after 100 more opens: %+.1f MB (after 10: %.0f MB, after 110: %.0f MB; target about 0)\n",
              afterHundred - afterTen, afterTen, afterHundred);
  return 0;
}

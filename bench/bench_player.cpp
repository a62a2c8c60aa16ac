// The player against references measured in the same run, on a generated
// 1080p30 H.264 + AAC clip: decode and conversion throughput against the
// ffmpeg command-line tool, time to the first picture and sound, and memory
// while playing and across many opens.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "bench_util.h"
#include "kit/tab_base.h"
#include "player/media_player.h"

namespace {

// Resident and peak resident memory of this process, in MB.
double MemoryMb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::atof(line.c_str() + std::string(field).size()) / 1024.0;
  return 0;
}

// Opens the clip and takes every picture and sound buffer as fast as the
// worker makes them, to the end of the stream; returns the seconds taken.
double DecodeWholeFile(const std::string& clip, int& pictures) {
  MediaPlayer player;
  const auto start = std::chrono::steady_clock::now();
  if (!player.Open(clip)) return -1;
  pictures = 0;
  for (;;) {
    const bool done = player.Inspect().readToEnd;  // read before draining: nothing more comes after
    const auto [taken, buffers] = player.DrainQueues();
    pictures += static_cast<int>(taken);
    if (done && taken == 0 && buffers == 0) break;
    if (taken == 0 && buffers == 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string clip = argc > 1 ? argv[1] : "/tmp/sortiq-bench-media/1080p30.mp4";
  setenv("SDL_AUDIODRIVER", "dummy", 0);

  // (a) Decode and BGRA conversion throughput.
  std::vector<double> ours, reference;
  int pictures = 0;
  for (int round = 0; round < 3; ++round) {
    ours.push_back(DecodeWholeFile(clip, pictures));
    reference.push_back(TimeProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-threads", "1", "-filter_threads",
                                     "1", "-i", clip, "-pix_fmt", "bgra", "-f", "null", "-"}));
  }
  const double oursSeconds = Median(ours), referenceSeconds = Median(reference);
  std::printf("player decode+BGRA 1080p30: %.1f pictures/s (ffmpeg -threads 1 %.1f pictures/s, ratio %.2f; target >= 0.95)\n",
              pictures / oursSeconds, pictures / referenceSeconds, referenceSeconds / oursSeconds);

  // (b) Time from Play to the first picture queued and the first sound submitted.
  const double idleMb = MemoryMb("VmRSS:");
  std::vector<double> toPicture, toSound;
  for (int round = 0; round < 5; ++round) {
    MediaPlayer player;
    const auto start = std::chrono::steady_clock::now();
    player.Play(clip, kViewerTab);  // returns once the first sound buffers are submitted
    toSound.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    VideoFrame first;
    while (!player.PeekQueuedPicture(first)) std::this_thread::sleep_for(std::chrono::microseconds(200));
    toPicture.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    player.Close();
  }
  std::printf("player Play to first picture: %.1f ms (target 100 ms, ratio %.2f)\n", Median(toPicture) * 1000,
              Median(toPicture) * 10);
  std::printf("player Play to first sound submitted: %.1f ms (target 100 ms, ratio %.2f)\n", Median(toSound) * 1000,
              Median(toSound) * 10);

  // (c) Memory while playing: the GUI takes due pictures sixty times a second.
  {
    MediaPlayer player;
    player.Play(clip, kViewerTab);
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(4)) {
      player.UpdateFrame();
      std::this_thread::sleep_for(std::chrono::microseconds(16667));
    }
    player.Close();
  }
  const double peakMb = MemoryMb("VmHWM:");
  const double queueMb = 30 * 1920.0 * 1080 * 4 / 1048576.0;
  std::printf("player peak memory playing 1080p: %.0f MB above idle (30 queued pictures %.0f MB + 100 MB = %.0f MB, ratio %.2f)\n",
              peakMb - idleMb, queueMb, queueMb + 100, (peakMb - idleMb) / (queueMb + 100));

  // Memory across 100 opens: what stays after the first ten must not grow.
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

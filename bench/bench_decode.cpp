// The player's own figures that both systems' builds measure alike, so a
// script can set one build against the other on the same clips in the
// same run: decode and BGRA conversion throughput, and the time from Play
// to the first picture. One line per clip and figure:
//   decode CLIP PICTURES SECONDS
//   first-picture CLIP MILLISECONDS
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "kit/tab_base.h"
#include "player/media_player.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

// A millisecond: on Windows a shorter sleep is no sleep at all (the thread
// only yields), and the poll would take a core from the decoder.
constexpr auto kPoll = std::chrono::milliseconds(1);

double SecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Every picture and sound buffer as fast as the player makes them.
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
    if (taken == 0 && buffers == 0) std::this_thread::sleep_for(kPoll);
  }
  return SecondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_decode MEDIA-FOLDER CLIP...\n");
    return 2;
  }
  const std::string media = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string clip = media + "/" + argv[i];
    std::vector<double> seconds;
    int pictures = 0;
    for (int round = 0; round < 3; ++round) seconds.push_back(DecodeWholeFile(clip, pictures));
    std::printf("decode %s %d %.4f\n", argv[i], pictures, Median(seconds));

    std::vector<double> toPicture;
    for (int round = 0; round < 5; ++round) {
      MediaPlayer player;
      const auto start = SteadyClock::now();
      player.Play(clip, kViewerTab);
      while (player.Inspect().picturesQueued == 0 && SecondsSince(start) < 10)
        std::this_thread::sleep_for(kPoll);
      toPicture.push_back(SecondsSince(start));
      player.Close();
    }
    std::printf("first-picture %s %.1f\n", argv[i], Median(toPicture) * 1000);
    std::fflush(stdout);
  }
  return 0;
}

// Moves and deletions through the two workers, against mv(1) on the same
// files in the same run: 10,000 moves within one file system, 200 files of
// 5 MB moved from the disk to a RAM disk; 1,000 files sent to the trash,
// against gio trash; then the GUI thread's cost to queue one request and
// the idle workers' CPU.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench_util.h"
#include "kit/file_commands.h"
#include "kit/gui_thread.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// As the GUI thread does at the start of a frame.
void TakeOutcomes() {
  GuiThread::RunPosted();
  Commands::Async::TakeOutcomes();
}

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void MakeFiles(const fs::path& folder, int count, size_t size) {
  fs::create_directories(folder);
  std::vector<char> bytes(size, 'x');
  for (int i = 0; i < count; ++i) {
    const fs::path file = folder / ("clip " + std::to_string(i) + " [abc" + std::to_string(i) + "].mp4");
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) continue;
    if (size > 0 && ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::perror("write");
    ::close(fd);
  }
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  return names;
}

// Queues every file of from into to, as the Classifier does, and waits
// until the move worker has done them all.
double QueuedMoves(const fs::path& from, const fs::path& to) {
  const std::vector<std::string> names = Names(from);
  const auto start = Clock::now();
  for (const std::string& name : names) Commands::Async::Move(from / name, to / name);
  // The GUI thread takes the outcomes every frame; here as often.
  while (Commands::Async::Pending() != 0) {
    TakeOutcomes();
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  TakeOutcomes();
  return Since(start);
}

// mv -t to <every file of from>, timed.
double MvAll(const fs::path& from, const fs::path& to) {
  std::vector<std::string> argv = {"mv", "-t", to.string()};
  for (const std::string& name : Names(from)) argv.push_back((from / name).string());
  return TimeProgram(argv);
}

void Compare(const char* what, const fs::path& a, const fs::path& b, int rounds, double bytes) {
  std::vector<double> ours, theirs;
  for (int round = 0; round < rounds; ++round) {
    ours.push_back(QueuedMoves(a, b));
    MvAll(b, a);  // back, untimed
    theirs.push_back(MvAll(a, b));
    MvAll(b, a);
  }
  const double mine = Median(ours), reference = Median(theirs);
  if (bytes > 0) {
    std::printf("%s: %.0f MB/s, mv %.0f MB/s, ratio %.2f x\n", what, bytes / mine / 1e6, bytes / reference / 1e6,
                reference / mine);
  } else {
    std::printf("%s: %.3f s, mv -t %.3f s, ratio %.2f x\n", what, mine, reference, reference / mine);
  }
}

// Queues the deletion of every file of the folder into the trash and waits
// until the delete worker has done them all.
double QueuedTrashing(const fs::path& folder) {
  const std::vector<std::string> names = Names(folder);
  const auto start = Clock::now();
  for (const std::string& name : names)
    Commands::Async::Delete(folder / name, std::nullopt, Commands::Async::Disposal::Trash);
  while (Commands::Async::Pending() != 0) {
    TakeOutcomes();
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  TakeOutcomes();
  return Since(start);
}

// 1,000 files each way, an empty trash before each run.
void CompareTrashing(const fs::path& folder, const fs::path& trash, int rounds) {
  std::vector<double> ours, theirs;
  for (int round = 0; round < rounds; ++round) {
    fs::remove_all(trash);
    MakeFiles(folder, 1000, 4096);
    ours.push_back(QueuedTrashing(folder));
    fs::remove_all(trash);
    MakeFiles(folder, 1000, 4096);
    std::vector<std::string> argv = {"gio", "trash"};
    for (const std::string& name : Names(folder)) argv.push_back((folder / name).string());
    theirs.push_back(TimeProgram(argv));
  }
  const double mine = Median(ours), reference = Median(theirs);
  std::printf("1,000 files to the trash: %.3f s, gio trash %.3f s, ratio %.2f x (target at least 1.0 x)\n", mine,
              reference, reference / mine);
  fs::remove_all(trash);
}

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main() {
  const fs::path disk = "/tmp/sortiq-bench-moves";
  char ramPattern[] = "/dev/shm/sortiq-bench-moves-XXXXXX";
  if (!::mkdtemp(ramPattern)) return 1;
  const fs::path ram = ramPattern;
  fs::remove_all(disk);
  // A private trash, on the same disk as the files (before anything reads where it is).
  const fs::path data = disk.string() + "-data";
  fs::create_directories(data);
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  Commands::Async::Start();

  MakeFiles(disk / "Inbox", 10000, 0);
  fs::create_directories(disk / "Sorted");
  Compare("10,000 moves in one file system", disk / "Inbox", disk / "Sorted", 3, 0);

  MakeFiles(disk / "Big", 200, 5 << 20);
  Compare("200 x 5 MB from disk to RAM disk", disk / "Big", ram, 3, 200.0 * (5 << 20));

  CompareTrashing(disk / "Trashed", data / "Trash", 3);

  // Idle: both workers polling an empty queue for 10 s.
  const double cpuBefore = CpuSeconds();
  const auto idleStart = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(10));
  const double idleShare = (CpuSeconds() - cpuBefore) / Since(idleStart);
  std::printf("idle workers: %.3f %% of a core (target under 0.5 %%)\n", idleShare * 100);
  Commands::Async::Stop();

  // Queuing alone (workers stopped, so nothing is carried out).
  constexpr int kRequests = 100000;
  const auto queueStart = Clock::now();
  for (int i = 0; i < kRequests; ++i) Commands::Async::Move("/nonexistent/a", "/nonexistent/b");
  std::printf("queueing one request on the GUI thread: %.2f us (target under 50 us)\n",
              Since(queueStart) / kRequests * 1e6);

  fs::remove_all(disk);
  fs::remove_all(data);
  fs::remove_all(ram);
  return 0;
}

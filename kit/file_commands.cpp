#include "kit/file_commands.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "kit/scan_queue.h"
#include "kit/text.h"
#include "platform/file_operations.h"
#include "platform/wake.h"

namespace Commands::Async {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Movable {
  std::string source;
  std::string destination;
  bool replace = false;
};

constexpr int kAttempts = 5;
constexpr auto kRetrySleep = 100ms;
constexpr auto kDeletePoll = 32ms;
constexpr auto kMovePoll = 64ms;
constexpr auto kTitleInterval = std::chrono::duration<double>(0.0625);
constexpr char kIdleTitle[] = "Sortiq";

ScanQueue<std::string> deleteQueue;
ScanQueue<Movable> moveQueue;  // each request shared by the queue and the worker
std::atomic<bool> stopRequested{false};
std::atomic<bool> deleteIdle{false};
std::atomic<int32_t> pending{0};

// The title handed from the delete worker to the GUI thread.
std::mutex titleMutex;
std::string titleWanted = kIdleTitle;
bool titleFresh = false;

// The two workers. A program ended by exit() without Stop (the display
// connection lost) joins them on its way out instead of aborting on
// running threads; they are declared after everything they use, so that
// all of it is still there while they finish.
struct Workers {
  std::thread deleting;
  std::thread moving;
  ~Workers() {
    stopRequested.store(true);
    if (deleting.joinable()) deleting.join();
    if (moving.joinable()) moving.join();
  }
};
Workers workers;

void AskForTitle(const std::string& title) {
  {
    std::lock_guard lock(titleMutex);
    if (title == titleWanted) return;
    titleWanted = title;
    titleFresh = true;
  }
  platform::WakeMainLoop();  // a resting window sets it now
}

// Each attempt tries twice, with a pause after each failure (the second
// call stands for the narrow-character one, the same call here).
template <typename Operation, typename BetweenCalls>
void WithRetries(Operation operation, BetweenCalls betweenCalls) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    for (int call = 0; call < 2; ++call) {
      if (operation() == platform::FileOperationResult::Done) return;
      std::this_thread::sleep_for(kRetrySleep);
      betweenCalls();
    }
  }
}

void DeleteWorker() {
  std::string deleteTitle;
  Clock::time_point lastTitleTime = Clock::now();
  // At most 16 times a second: "deleting <path>" while a file is in hand,
  // "Sortiq" once the queue is found empty.
  const auto refreshTitle = [&] {
    const Clock::time_point now = Clock::now();
    if (now - lastTitleTime < kTitleInterval) return;
    lastTitleTime = now;
    AskForTitle(deleteIdle.load() ? std::string(kIdleTitle) : deleteTitle);
  };
  while (!stopRequested.load()) {
    if (std::shared_ptr<std::string> request = deleteQueue.TryPop()) {
      deleteIdle.store(false);
      const std::string path = *request;
      deleteTitle = "Sortiq: deleting " + ToUtf8(path);
      refreshTitle();  // named while it is being deleted, not only after
      WithRetries([&] { return platform::DeleteFileOnly(path); }, refreshTitle);
      pending.fetch_sub(1);
    } else {
      deleteIdle.store(true);
      std::this_thread::sleep_for(kDeletePoll);
    }
    refreshTitle();
  }
}

void MoveWorker() {
  while (!stopRequested.load()) {
    const std::shared_ptr<Movable> move = moveQueue.TryPop();
    if (!move) {
      std::this_thread::sleep_for(kMovePoll);
      continue;
    }
    WithRetries(
        [&] {
          return move->replace ? platform::MoveFileReplacing(move->source, move->destination)
                               : platform::MoveFileNoReplace(move->source, move->destination);
        },
        [] {});
    pending.fetch_sub(1);
  }
}

}  // namespace

void Delete(std::string path) {
  pending.fetch_add(1);
  deleteQueue.Push(std::move(path));
}

void Move(std::string source, std::string destination) {
  pending.fetch_add(1);
  moveQueue.Push(Movable{std::move(source), std::move(destination)});
}

void MoveReplacing(std::string source, std::string destination) {
  pending.fetch_add(1);
  moveQueue.Push(Movable{std::move(source), std::move(destination), true});
}

void Start() {
  stopRequested.store(false);
  workers.deleting = std::thread(DeleteWorker);
  workers.moving = std::thread(MoveWorker);
}

void Stop() {
  stopRequested.store(true);
  if (workers.deleting.joinable()) workers.deleting.join();
  if (workers.moving.joinable()) workers.moving.join();
}

std::optional<std::string> TakeTitle() {
  std::lock_guard lock(titleMutex);
  if (!titleFresh) return std::nullopt;
  titleFresh = false;
  return titleWanted;
}

int32_t Pending() { return pending.load(); }

}  // namespace Commands::Async

#include "kit/file_commands.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>

#include "kit/gui_thread.h"
#include "kit/scan_queue.h"
#include "kit/settings.h"
#include "kit/text.h"
#include "platform/wake.h"

namespace Commands::Async {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using platform::FileOperationResult;

enum State : int { kWaiting, kInHand, kCancelled };

struct Request {
  RequestId id = 0;
  Operation operation = Operation::Delete;
  std::string source;
  std::string destination;
  bool replace = false;
  bool toTrash = false;
  std::optional<platform::FileIdentity> identity;
  std::optional<platform::TrashEntry> trashed;  // the worker's, handed in with the outcome
  std::atomic<int> state{kWaiting};
  std::atomic<bool> stop{false};  // a copy in hand stops at its next block
};
using Shared = std::shared_ptr<Request>;

constexpr int kAttempts = 5;
constexpr auto kRetrySleep = 100ms;
constexpr auto kDeletePoll = 32ms;
constexpr auto kMovePoll = 64ms;
constexpr auto kTitleInterval = std::chrono::duration<double>(0.0625);
constexpr char kIdleTitle[] = "Sortiq";

// An idle worker sleeps until a request comes (or its poll interval ends),
// so the first request of a burst starts at once, not up to a poll later.
class Doorbell {
 public:
  void Ring() {
    {
      std::lock_guard lock(mutex);
      rung = true;
    }
    bell.notify_one();
  }
  template <typename Duration>
  void WaitFor(Duration interval) {
    std::unique_lock lock(mutex);
    bell.wait_for(lock, interval, [this] { return rung; });
    rung = false;
  }

 private:
  std::mutex mutex;
  std::condition_variable bell;
  bool rung = false;
};

ScanQueue<Shared> deleteQueue;
ScanQueue<Shared> moveQueue;
Doorbell deleteBell;
Doorbell moveBell;
std::atomic<bool> stopRequested{false};
std::atomic<bool> deleteIdle{false};
std::atomic<int32_t> pending{0};

// GUI thread only: every request that has not handed in its outcome yet.
std::unordered_map<RequestId, Shared> live;
RequestId lastId = 0;

// GUI thread only, posted there by the workers (and the GUI's own
// operations): outcomes not yet taken, and the title the delete worker
// asked for last.
std::vector<Outcome> outcomes;
std::string titleWanted = kIdleTitle;
bool titleFresh = false;

// The two workers, started and joined by the program's start-up and
// shutdown (Start and Stop).
struct Workers {
  std::thread deleting;
  std::thread moving;
};
Workers workers;

void AskForTitle(const std::string& title) {
  GuiThread::Post([title] {
    if (title == titleWanted) return;
    titleWanted = title;
    titleFresh = true;
  });
}

void HandIn(Outcome outcome) {
  GuiThread::Post([outcome = std::move(outcome)]() mutable { outcomes.push_back(std::move(outcome)); });
}

// Carries a request out, trying again only while it fails for a reason
// that may pass, and hands in its outcome.
template <typename Operation, typename BetweenTries>
void Carry(Request& request, Operation operation, BetweenTries betweenTries) {
  FileOperationResult result = FileOperationResult::Stopped;
  int expected = kWaiting;
  const bool begun = request.state.compare_exchange_strong(expected, kInHand);
  if (begun) {
    result = operation();
    for (int attempt = 1; attempt < kAttempts && platform::IsTransient(result) && !request.stop.load(); ++attempt) {
      std::this_thread::sleep_for(kRetrySleep);
      betweenTries();
      result = operation();
    }
  }
  HandIn({request.id, request.operation, request.source, request.destination, result, request.identity,
          std::move(request.trashed)});
  if (begun) pending.fetch_sub(1);
}

void DeleteWorker() {
  std::string deleteTitle;
  Clock::time_point lastTitleTime = Clock::now() - std::chrono::seconds(1);  // the first deletion shows at once
  // At most 16 times a second: "deleting <path>" while a file is in hand,
  // "Sortiq" once the queue is found empty.
  std::string lastAsked = kIdleTitle;
  const auto refreshTitle = [&] {
    const std::string& wanted = deleteIdle.load() ? std::string(kIdleTitle) : deleteTitle;
    if (wanted == lastAsked) return;  // only changes count against the rate
    const Clock::time_point now = Clock::now();
    if (now - lastTitleTime < kTitleInterval) return;
    lastTitleTime = now;
    lastAsked = wanted;
    AskForTitle(wanted);
  };
  while (!stopRequested.load()) {
    if (std::shared_ptr<Shared> popped = deleteQueue.TryPop()) {
      Request& request = **popped;
      deleteIdle.store(false);
      deleteTitle = "Sortiq: deleting " + ToUtf8(request.source);
      refreshTitle();  // named while it is being deleted, not only after
      Carry(
          request,
          [&] {
            return request.toTrash ? platform::MoveToTrash(request.source, request.identity, request.trashed)
                                   : platform::DeleteFileOnly(request.source, request.identity);
          },
          refreshTitle);
    } else {
      deleteIdle.store(true);
      deleteBell.WaitFor(kDeletePoll);
    }
    refreshTitle();
  }
}

// An overwrite whose old file goes to the trash: that file first, then the
// move into its place; a move that cannot be done puts it back.
FileOperationResult MoveReplacingViaTrash(Request& request) {
  // Nothing to move: the old file stays, and that is the reason given.
  if (!platform::IdentityOf(request.source)) return FileOperationResult::SourceMissing;
  std::optional<platform::TrashEntry> entry;
  const FileOperationResult trashed = platform::MoveToTrash(request.destination, request.identity, entry);
  if (trashed == FileOperationResult::SourceMissing) {
    // Gone meanwhile (or in the trash since an earlier try that could not
    // put it back, which the request still remembers): nothing to replace.
    return platform::MoveFileNoReplace(request.source, request.destination, &request.stop);
  }
  if (trashed != FileOperationResult::Done) return trashed;
  request.trashed = std::move(entry);
  const FileOperationResult moved = platform::MoveFileNoReplace(request.source, request.destination, &request.stop);
  if (moved != FileOperationResult::Done && request.trashed &&
      platform::RestoreFromTrash(*request.trashed) == FileOperationResult::Done)
    request.trashed.reset();
  return moved;
}

FileOperationResult CarryMove(Request& request) {
  if (!request.replace) return platform::MoveFileNoReplace(request.source, request.destination, &request.stop);
  if (request.toTrash) return MoveReplacingViaTrash(request);
  return platform::MoveFileReplacing(request.source, request.destination, &request.stop, request.identity);
}

bool ToTrash(Disposal disposal) {
  return disposal == Disposal::Trash || (disposal == Disposal::AsSet && MoveDeletedFilesToTrash);
}

void MoveWorker() {
  while (!stopRequested.load()) {
    const std::shared_ptr<Shared> popped = moveQueue.TryPop();
    if (!popped) {
      moveBell.WaitFor(kMovePoll);
      continue;
    }
    Request& request = **popped;
    Carry(request, [&] { return CarryMove(request); }, [] {});
  }
}

Shared NewRequest(Operation operation, std::string source, std::string destination) {
  auto request = std::make_shared<Request>();
  request->id = ++lastId;
  request->operation = operation;
  request->source = std::move(source);
  request->destination = std::move(destination);
  live.emplace(request->id, request);
  pending.fetch_add(1);
  return request;
}

Shared Find(RequestId id) {
  const auto found = live.find(id);
  return found == live.end() ? nullptr : found->second;
}

}  // namespace

RequestId Delete(std::string path, std::optional<platform::FileIdentity> identity, Disposal disposal) {
  Shared request = NewRequest(Operation::Delete, std::move(path), {});
  request->identity = identity;
  request->toTrash = ToTrash(disposal);
  deleteQueue.Push(request);
  deleteBell.Ring();
  return request->id;
}

RequestId Move(std::string source, std::string destination) {
  Shared request = NewRequest(Operation::Move, std::move(source), std::move(destination));
  moveQueue.Push(request);
  moveBell.Ring();
  return request->id;
}

RequestId MoveReplacing(std::string source, std::string destination, std::optional<platform::FileIdentity> replaced,
                        Disposal disposal) {
  Shared request = NewRequest(Operation::Move, std::move(source), std::move(destination));
  request->replace = true;
  request->toTrash = ToTrash(disposal);
  request->identity = replaced;
  moveQueue.Push(request);
  moveBell.Ring();
  return request->id;
}

bool Cancel(RequestId id) {
  const Shared request = Find(id);
  if (!request) return false;
  int expected = kWaiting;
  if (request->state.compare_exchange_strong(expected, kCancelled)) {
    pending.fetch_sub(1);  // no longer anything to finish; the worker only hands in its outcome
    return true;
  }
  if (expected == kInHand) request->stop.store(true);
  return false;
}

bool Waiting(RequestId id) {
  const Shared request = Find(id);
  return request && request->state.load() == kWaiting;
}

void AnnounceMove(std::string source, std::string destination) {
  Outcome outcome;
  outcome.operation = Operation::Move;
  outcome.source = std::move(source);
  outcome.destination = std::move(destination);
  HandIn(std::move(outcome));
}

std::vector<Outcome> TakeOutcomes() {
  std::vector<Outcome> taken;
  taken.swap(outcomes);
  for (const Outcome& outcome : taken) live.erase(outcome.id);
  return taken;
}

void Start() {
  stopRequested.store(false);
  for (auto& [id, request] : live)
    if (request->state.load() == kWaiting) request->stop.store(false);
  workers.deleting = std::thread(DeleteWorker);
  workers.moving = std::thread(MoveWorker);
}

void Stop() {
  stopRequested.store(true);
  deleteBell.Ring();
  moveBell.Ring();
  for (auto& [id, request] : live) request->stop.store(true);  // the one in hand ends between blocks
  if (workers.deleting.joinable()) workers.deleting.join();
  if (workers.moving.joinable()) workers.moving.join();
}

std::optional<std::string> TakeTitle() {
  if (!titleFresh) return std::nullopt;
  titleFresh = false;
  return titleWanted;
}

int32_t Pending() { return pending.load(); }

}  // namespace Commands::Async

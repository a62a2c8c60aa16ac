#include "kit/background_release.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace BackgroundRelease {
namespace {

struct Worker {
  std::mutex lock;
  std::condition_variable wake;
  std::vector<std::unique_ptr<Held>> waiting;
  bool stopping = false;
  std::thread thread;
};
Worker worker;

void Serve() {
  std::unique_lock<std::mutex> hold(worker.lock);
  for (;;) {
    worker.wake.wait(hold, [] { return worker.stopping || !worker.waiting.empty(); });
    std::vector<std::unique_ptr<Held>> taken;
    taken.swap(worker.waiting);
    hold.unlock();
    taken.clear();  // the freeing, outside the lock
    hold.lock();
    if (worker.stopping && worker.waiting.empty()) return;
  }
}

}  // namespace

void Start() {
  std::lock_guard<std::mutex> hold(worker.lock);
  if (worker.thread.joinable()) return;
  worker.stopping = false;
  try {
    worker.thread = std::thread(Serve);
  } catch (const std::system_error&) {
    // No thread to be had: Release frees at once.
  }
}

void Stop() {
  {
    std::lock_guard<std::mutex> hold(worker.lock);
    worker.stopping = true;
    worker.wake.notify_one();
  }
  if (worker.thread.joinable()) worker.thread.join();
}

void ReleaseHeld(std::unique_ptr<Held> held) {
  std::unique_lock<std::mutex> hold(worker.lock);
  if (!worker.thread.joinable() || worker.stopping) {
    hold.unlock();
    held.reset();
    return;
  }
  worker.waiting.push_back(std::move(held));
  worker.wake.notify_one();
}

}  // namespace BackgroundRelease

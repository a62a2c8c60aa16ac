#pragma once
// The queue between the demux thread and a consumer (the screen or the
// sound device): a producer waits while it is full, unless the wait is
// called off (a stop or a seek), in which case the item is dropped.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

template <typename T>
class BoundedQueue {
 public:
  explicit BoundedQueue(size_t capacity) : capacity(capacity) {}

  // Waits for room while cancelled() is false; false (item dropped) when
  // cancelled or the capacity is 0.
  template <typename Cancelled>
  bool Push(T item, Cancelled cancelled) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return items.size() < capacity || cancelled(); });
    if (cancelled() || capacity == 0) return false;
    items.push_back(std::move(item));
    lock.unlock();
    changed.notify_all();
    return true;
  }

  // Takes the front item when there is one.
  bool TryPop(T& out) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (items.empty()) return false;
      out = std::move(items.front());
      items.pop_front();
    }
    changed.notify_all();
    return true;
  }

  // Takes every front item for which due() holds, keeping the last one
  // taken in out; false when none was due.
  template <typename Due>
  bool PopNewestDue(T& out, Due due) {
    bool taken = false;
    {
      std::lock_guard<std::mutex> lock(mutex);
      while (!items.empty() && due(items.front())) {
        out = std::move(items.front());
        items.pop_front();
        taken = true;
      }
    }
    if (taken) changed.notify_all();
    return taken;
  }

  // Waits up to timeout until ready(items queued) holds; its last answer.
  template <typename Ready>
  bool WaitUntil(std::chrono::milliseconds timeout, Ready ready) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return ready(items.size()); });
  }

  // Looks at the front item under the lock; false when empty.
  template <typename Look>
  bool PeekFront(Look look) {
    std::lock_guard<std::mutex> lock(mutex);
    if (items.empty()) return false;
    look(items.front());
    return true;
  }

  void Clear() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      items.clear();
    }
    changed.notify_all();
  }

  // Wakes every waiter so it sees a condition raised before the call.
  void Wake() {
    { std::lock_guard<std::mutex> lock(mutex); }
    changed.notify_all();
  }

  void SetCapacity(size_t value) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      capacity = value;
    }
    changed.notify_all();
  }

  size_t Size() {
    std::lock_guard<std::mutex> lock(mutex);
    return items.size();
  }
  size_t Capacity() {
    std::lock_guard<std::mutex> lock(mutex);
    return capacity;
  }

 private:
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<T> items;
  size_t capacity;
};

#pragma once
// The queues between the player's threads (the demux thread, the picture
// converter, the screen and the sound device): a producer waits while the
// queue is full, unless the wait is called off (a stop or a seek), in which
// case the item is dropped. Full means as many items as the capacity, or,
// with a weight (a picture's bytes), the weight budget spent: an item
// heavier than the whole budget still goes in alone.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

struct EachWeighsOne {
  template <typename T>
  size_t operator()(const T&) const {
    return 1;
  }
};

template <typename T, typename Weigh = EachWeighsOne>
class BoundedQueue {
 public:
  explicit BoundedQueue(size_t capacity, size_t weightBudget = SIZE_MAX)
      : capacity(capacity), weightBudget(weightBudget) {}

  // Waits for room while cancelled() is false; false (item dropped) when
  // cancelled or the capacity is 0.
  template <typename Cancelled>
  bool Push(T item, Cancelled cancelled) {
    const size_t itemWeight = Weigh{}(item);
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return HasRoomFor(itemWeight) || cancelled(); });
    if (cancelled() || capacity == 0) return false;
    weight += itemWeight;
    items.push_back(std::move(item));
    lock.unlock();
    changed.notify_all();
    return true;
  }

  // Takes the front item when there is one.
  bool TryPop(T& out) {
    return TryPopIf(out, [](const T&) { return true; });
  }
  // Takes the front item when there is one and take(it) holds, looked at
  // and taken under one lock.
  template <typename Take>
  bool TryPopIf(T& out, Take take) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (items.empty() || !take(items.front())) return false;
      TakeFront(out);
    }
    changed.notify_all();
    return true;
  }

  // Waits for an item while cancelled() is false.
  template <typename Cancelled>
  bool PopWaiting(T& out, Cancelled cancelled) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return !items.empty() || cancelled(); });
      if (items.empty() || cancelled()) return false;
      TakeFront(out);
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
        TakeFront(out);
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
      weight = 0;
    }
    changed.notify_all();
  }

  // Wakes every waiter so it sees a condition raised before the call.
  void Wake() {
    { std::lock_guard<std::mutex> lock(mutex); }
    changed.notify_all();
  }

  void SetCapacity(size_t value, size_t budget = SIZE_MAX) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      capacity = value;
      weightBudget = budget;
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

  // Waits up to timeout until count items are queued, or no more like the
  // front fit, or cancelled() holds; whether one of them came true.
  template <typename Cancelled>
  bool WaitForLead(std::chrono::milliseconds timeout, size_t count, Cancelled cancelled) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return HasLead(count) || cancelled(); });
  }
  bool HasLeadOf(size_t count) {
    std::lock_guard<std::mutex> lock(mutex);
    return HasLead(count);
  }

 private:
  bool HasLead(size_t count) const {
    return items.size() >= count || (!items.empty() && !HasRoomFor(Weigh{}(items.front())));
  }
  bool HasRoomFor(size_t itemWeight) const {
    return items.size() < capacity && (items.empty() || weight + itemWeight <= weightBudget);
  }
  void TakeFront(T& out) {
    weight -= Weigh{}(items.front());
    out = std::move(items.front());
    items.pop_front();
  }

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<T> items;
  size_t capacity;
  size_t weightBudget;
  size_t weight = 0;  // of the items queued
};

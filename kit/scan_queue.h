#pragma once
// A lock-free FIFO for exactly one producer thread and one consumer thread.
// It always holds an empty dummy node at the tail; the queue is empty when
// head reaches it. Carries walk results to the GUI and file operations to
// their workers.
#include <atomic>
#include <cstdint>
#include <memory>

template <typename T>
class ScanQueue {
 public:
  ScanQueue() {
    Node* dummy = new Node;
    head.store(dummy, std::memory_order_relaxed);
    tail.store(dummy, std::memory_order_relaxed);
  }
  ~ScanQueue() {
    Node* node = head.load(std::memory_order_relaxed);
    while (node) {
      Node* next = node->next;
      delete node;
      node = next;
    }
  }
  ScanQueue(const ScanQueue&) = delete;
  ScanQueue& operator=(const ScanQueue&) = delete;

  // Producer side only.
  void Push(T value) {
    auto shared = std::make_shared<T>(std::move(value));
    Node* fresh = new Node;
    Node* last = tail.load(std::memory_order_relaxed);
    last->value = std::move(shared);
    last->next = fresh;
    tail.exchange(fresh, std::memory_order_acq_rel);  // publishes value and next
    count.fetch_add(1, std::memory_order_release);
  }

  // Consumer side only. Empty pointer when nothing is queued.
  std::shared_ptr<T> TryPop() {
    Node* first = head.load(std::memory_order_relaxed);
    if (first == tail.load(std::memory_order_acquire)) return {};
    head.exchange(first->next, std::memory_order_relaxed);
    std::shared_ptr<T> value = std::move(first->value);
    delete first;
    count.fetch_sub(1, std::memory_order_release);
    return value;
  }

  int32_t Size() const { return count.load(std::memory_order_acquire); }

 private:
  struct Node {
    std::shared_ptr<T> value;
    Node* next = nullptr;
  };
  std::atomic<Node*> head;
  std::atomic<Node*> tail;
  std::atomic<int32_t> count{0};
};

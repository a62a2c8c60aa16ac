#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "kit/scan_queue.h"

TEST(ScanQueue, KeepsArrivalOrderAndCount) {
  ScanQueue<std::string> queue;
  EXPECT_EQ(queue.TryPop(), nullptr);
  EXPECT_EQ(queue.Size(), 0);
  queue.Push("a");
  queue.Push("b");
  queue.Push("c");
  EXPECT_EQ(queue.Size(), 3);
  EXPECT_EQ(*queue.TryPop(), "a");
  queue.Push("d");
  EXPECT_EQ(*queue.TryPop(), "b");
  EXPECT_EQ(*queue.TryPop(), "c");
  EXPECT_EQ(*queue.TryPop(), "d");
  EXPECT_EQ(queue.TryPop(), nullptr);
  EXPECT_EQ(queue.Size(), 0);
}

TEST(ScanQueue, FreesWhatIsStillQueued) {
  auto tracked = std::make_shared<int>(7);
  {
    ScanQueue<std::shared_ptr<int>> queue;
    queue.Push(tracked);
    queue.Push(tracked);
    EXPECT_EQ(tracked.use_count(), 3);
  }
  EXPECT_EQ(tracked.use_count(), 1);
}

TEST(ScanQueue, OneProducerOneConsumerLoseNothing) {
  constexpr int kCount = 200000;
  ScanQueue<int> queue;
  std::thread producer([&] {
    for (int i = 0; i < kCount; ++i) queue.Push(i);
  });
  int expected = 0;
  while (expected < kCount) {
    if (auto value = queue.TryPop()) {
      ASSERT_EQ(*value, expected);
      ++expected;
    }
  }
  producer.join();
  EXPECT_EQ(queue.TryPop(), nullptr);
  EXPECT_EQ(queue.Size(), 0);
}

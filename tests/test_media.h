#pragma once
// The media the test set-up generates, and waiting on the player's threads.
#include <chrono>
#include <string>
#include <thread>

#include "test_paths.h"

inline std::string Media(const std::string& name) { return std::string(SORTIQ_TEST_MEDIA) + "/" + name; }

// Polls until the condition holds; false after 10 s.
template <typename Condition>
bool Eventually(Condition condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

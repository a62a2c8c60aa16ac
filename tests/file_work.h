#pragma once
// What tests of moves and deletions share: a file's bytes on disk, and the
// two file workers running for the test's length.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

#include "kit/file_commands.h"
#include "kit/gui_thread.h"
#include "kit/settings.h"
#include "test_system.h"

inline std::string Bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void Write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// What the GUI thread takes from the workers, as at the start of a frame:
// what they posted, then the outcomes or the title among it.
inline std::vector<Commands::Async::Outcome> TakeOutcomesAsTheGuiDoes() {
  GuiThread::RunPosted();
  return Commands::Async::TakeOutcomes();
}
inline std::optional<std::string> TakeTitleAsTheGuiDoes() {
  GuiThread::RunPosted();
  return Commands::Async::TakeTitle();
}

// Waits (up to 20 s) until the workers have nothing queued or in hand.
inline bool WorkersDone() {
  for (int i = 0; i < 4000 && Commands::Async::Pending() != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return Commands::Async::Pending() == 0;
}

// The workers run and confirmations are asked for, as at start-up.
class WithFileWorkers : public ::testing::Test {
 protected:
  void SetUp() override {
    Commands::Async::Start();
    SkipConfirmations = false;
    // Where nothing can go to the trash, deletions are for good.
    MoveDeletedFilesToTrash = TrashTakesFiles();
  }
  void TearDown() override {
    Commands::Async::Stop();
    SkipConfirmations = false;
    MoveDeletedFilesToTrash = true;
  }
};

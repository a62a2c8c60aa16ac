// The two workers behind every move and deletion, on real folders: order,
// overwrite as a deletion then a move, retries that give up, the title,
// and stopping with requests still queued.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

#include "kit/file_commands.h"
#include "file_work.h"
#include "temp_tree.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {


// Waits (up to 20 s) until the workers have nothing queued or in hand,
// and a little more for the title's last change; collects every title
// they asked for meanwhile.
std::vector<std::string> WaitForWorkers() {
  std::vector<std::string> titles;
  const auto takeTitles = [&] {
    while (auto title = Commands::Async::TakeTitle()) titles.push_back(*title);
  };
  const auto end = Clock::now() + std::chrono::seconds(20);
  while (Clock::now() < end && Commands::Async::Pending() != 0) {
    takeTitles();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  for (int i = 0; i < 60 && (titles.empty() || titles.back() != "Sortiq"); ++i) {
    takeTitles();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return titles;
}

class FileCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    Commands::Async::Start();
    while (Commands::Async::TakeTitle()) {
    }
  }
  void TearDown() override { Commands::Async::Stop(); }
};

}  // namespace

TEST_F(FileCommands, OverwriteReplacesAsTheMoveIsDoneAndATakenPlaceOtherwiseStays) {
  TempTree tree;
  const fs::path root = tree.Root();
  fs::create_directory(root / "Sub");
  for (int round = 0; round < 3; ++round) {
    const std::string name = "clip" + std::to_string(round) + ".mp4";
    Write(root / name, "new " + name);
    Write(root / "Sub" / name, "old");
    Commands::Async::MoveReplacing(root / name, root / "Sub" / name);
  }
  // Without a deletion queued, a taken place stays as it is.
  Write(root / "kept.mp4", "source");
  Write(root / "Sub/kept.mp4", "existing");
  Commands::Async::Move(root / "kept.mp4", root / "Sub/kept.mp4");
  // An overwrite that cannot be done (nothing to move) leaves the old file.
  Write(root / "Sub/orphan.mp4", "old orphan");
  Commands::Async::MoveReplacing(root / "gone.mp4", root / "Sub/orphan.mp4");
  WaitForWorkers();
  ASSERT_EQ(Commands::Async::Pending(), 0);
  for (int round = 0; round < 3; ++round) {
    const std::string name = "clip" + std::to_string(round) + ".mp4";
    EXPECT_EQ(Bytes(root / "Sub" / name), "new " + name);
    EXPECT_FALSE(fs::exists(root / name));
  }
  EXPECT_EQ(Bytes(root / "kept.mp4"), "source");
  EXPECT_EQ(Bytes(root / "Sub/kept.mp4"), "existing");
  EXPECT_EQ(Bytes(root / "Sub/orphan.mp4"), "old orphan");
}

TEST_F(FileCommands, DeletionsGoInOrderNamedInTheTitleAndAMissingFileIsGivenUp) {
  TempTree tree;
  std::vector<std::string> paths;
  Commands::Async::Delete(tree.RootString() + "/missing.mp4");  // five attempts, then dropped
  for (int i = 0; i < 12; ++i) {
    paths.push_back(tree.File("file " + std::to_string(i) + std::string(i == 5 ? "\xff" : "") + ".mp4", 1 << 20));
    Commands::Async::Delete(paths.back());
  }
  const auto start = Clock::now();
  // The title names the file while it is being deleted, not after.
  std::optional<std::string> first;
  while (!first && Clock::now() - start < std::chrono::seconds(2)) {
    first = Commands::Async::TakeTitle();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(*first, "Sortiq: deleting " + tree.RootString() + "/missing.mp4");
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 0.5);
  std::vector<std::string> titles = {*first};
  for (std::string& title : WaitForWorkers()) titles.push_back(std::move(title));
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  for (const std::string& path : paths) EXPECT_FALSE(fs::exists(path)) << path;
  ASSERT_FALSE(titles.empty());
  EXPECT_EQ(titles.front(), "Sortiq: deleting " + tree.RootString() + "/missing.mp4");
  EXPECT_EQ(titles.back(), "Sortiq");
  // Files named in the title come in the order they were queued, shown as
  // UTF-8 (a byte that is not becomes U+FFFD).
  int last = -1;
  for (const std::string& title : titles) {
    for (int i = 0; i < 12; ++i) {
      const std::string shown = "Sortiq: deleting " + tree.RootString() + "/file " + std::to_string(i) +
                                (i == 5 ? "\xEF\xBF\xBD" : "") + ".mp4";
      if (title == shown) {
        EXPECT_GT(i, last);
        last = i;
      }
    }
  }
  // The missing file held the worker for its five attempts (ten calls, a
  // tenth of a second apart); the title changed at most 16 times a second.
  EXPECT_GE(seconds, 0.9);
  EXPECT_LE(static_cast<double>(titles.size()), 16 * seconds + 1);
}

TEST_F(FileCommands, StopFinishesTheRequestInHandAndLeavesTheRestQueued) {
  TempTree tree;
  Commands::Async::Delete(tree.RootString() + "/missing.mp4");
  const std::string a = tree.File("a.mp4"), b = tree.File("b.mp4");
  Commands::Async::Delete(a);
  Commands::Async::Delete(b);
  Commands::Async::Move(tree.File("c.mp4"), tree.Folder("Sub") + "/c.mp4");
  // Once the move is done the delete worker is busy with the missing file
  // for a second: stop then.
  const std::string moved = tree.RootString() + "/Sub/c.mp4";
  const auto end = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < end && !fs::exists(moved)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  Commands::Async::Stop();
  EXPECT_TRUE(fs::exists(a));  // queued behind it: not carried out
  EXPECT_TRUE(fs::exists(b));
  EXPECT_GE(Commands::Async::Pending(), 2);
  // What stayed queued is done once the workers run again.
  Commands::Async::Start();
  WaitForWorkers();
  EXPECT_FALSE(fs::exists(a));
  EXPECT_FALSE(fs::exists(b));
  EXPECT_TRUE(fs::exists(tree.RootString() + "/Sub/c.mp4"));
}

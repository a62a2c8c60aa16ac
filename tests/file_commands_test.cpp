// The two workers behind every move and deletion, on real folders: every
// request ends in one outcome that says what happened, overwrite as the
// move is done, final failures at once, the title, a request called off,
// and stopping with a copy in hand and requests still queued.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <thread>
#include <vector>

#include "file_work.h"
#include "kit/file_commands.h"
#include "kit/settings.h"
#include "temp_tree.h"
#include "test_system.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using platform::FileOperationResult;
using Commands::Async::RequestId;

namespace {

// Waits (up to 20 s) until the workers have nothing queued or in hand,
// and a little more for the title's last change; collects every title
// they asked for meanwhile.
std::vector<std::string> WaitForWorkers() {
  std::vector<std::string> titles;
  const auto takeTitles = [&] {
    while (auto title = TakeTitleAsTheGuiDoes()) titles.push_back(*title);
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

// Every outcome handed in so far, by request; a request with two fails.
std::map<RequestId, Commands::Async::Outcome> Outcomes() {
  std::map<RequestId, Commands::Async::Outcome> byId;
  for (Commands::Async::Outcome& outcome : TakeOutcomesAsTheGuiDoes()) {
    EXPECT_EQ(byId.count(outcome.id), 0u) << "two outcomes for request " << outcome.id;
    byId[outcome.id] = std::move(outcome);
  }
  return byId;
}

class FileCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    Commands::Async::Start();
    while (TakeTitleAsTheGuiDoes()) {
    }
    TakeOutcomesAsTheGuiDoes();
  }
  void TearDown() override {
    Commands::Async::Stop();
    TakeOutcomesAsTheGuiDoes();
  }
};

}  // namespace

TEST_F(FileCommands, EveryRequestSaysWhatHappenedAndFinalFailuresAreNotTriedAgain) {
  TempTree tree;
  const fs::path root = tree.Root();
  fs::create_directory(root / "Sub");
  std::vector<RequestId> overwrites;
  for (int round = 0; round < 3; ++round) {
    const std::string name = "clip" + std::to_string(round) + ".mp4";
    Write(root / name, "new " + name);
    Write(root / "Sub" / name, "old");
    overwrites.push_back(Commands::Async::MoveReplacing(PathText(root / name), PathText(root / "Sub" / name)));
  }
  // Without the user's yes, a taken place stays as it is.
  Write(root / "kept.mp4", "source");
  Write(root / "Sub/kept.mp4", "existing");
  const RequestId taken = Commands::Async::Move(PathText(root / "kept.mp4"), PathText(root / "Sub/kept.mp4"));
  // An overwrite that cannot be done (nothing to move) leaves the old file.
  Write(root / "Sub/orphan.mp4", "old orphan");
  const RequestId orphan = Commands::Async::MoveReplacing(PathText(root / "gone.mp4"), PathText(root / "Sub/orphan.mp4"));
  const RequestId noFolder = Commands::Async::Move(PathText(root / "kept.mp4"), PathText(root / "Gone/kept.mp4"));
  // A deletion hits the file chosen, not another one given its name since.
  Write(root / "chosen.mp4", "chosen");
  const auto identity = platform::IdentityOf(PathText(root / "chosen.mp4"));
  Write(root / "newer.mp4", "newer");
  fs::rename(root / "newer.mp4", root / "chosen.mp4");
  const RequestId other = Commands::Async::Delete(PathText(root / "chosen.mp4"), identity);
  const auto start = Clock::now();
  ASSERT_TRUE(WorkersDone());
  // Final failures are not tried again: the whole lot took no retry sleeps.
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 0.3);
  ASSERT_EQ(Commands::Async::Pending(), 0);

  const auto outcomes = Outcomes();
  for (int round = 0; round < 3; ++round) {
    const std::string name = "clip" + std::to_string(round) + ".mp4";
    const Commands::Async::Outcome& outcome = outcomes.at(overwrites[static_cast<size_t>(round)]);
    if (!TrashTakesFiles()) {  // the old file has nowhere to go: both stay as they were
      EXPECT_EQ(outcome.result, FileOperationResult::NoTrash);
      EXPECT_EQ(Bytes(root / "Sub" / name), "old");
      EXPECT_EQ(Bytes(root / name), "new " + name);
      continue;
    }
    EXPECT_TRUE(outcome.Done());
    EXPECT_EQ(Bytes(root / "Sub" / name), "new " + name);
    EXPECT_FALSE(fs::exists(root / name));
    EXPECT_EQ(outcome.source, PathText(root / name));
    EXPECT_EQ(outcome.destination, PathText(root / "Sub" / name));
  }
  EXPECT_EQ(outcomes.at(taken).result, FileOperationResult::TargetExists);
  EXPECT_EQ(Bytes(root / "kept.mp4"), "source");
  EXPECT_EQ(Bytes(root / "Sub/kept.mp4"), "existing");
  EXPECT_EQ(outcomes.at(orphan).result, FileOperationResult::SourceMissing);
  EXPECT_EQ(Bytes(root / "Sub/orphan.mp4"), "old orphan");
  EXPECT_EQ(outcomes.at(noFolder).result, FileOperationResult::FolderMissing);
  EXPECT_EQ(outcomes.at(other).result, FileOperationResult::OtherFile);
  EXPECT_EQ(Bytes(root / "chosen.mp4"), "newer");
}

TEST_F(FileCommands, DeletionsGoInOrderNamedInTheTitle) {
  TempTree tree;
  const std::string& odd = kOddNamePiece;
  const std::string& oddShown = kOddNamePieceShown;
  // Where nothing can go to the trash, the deletions are the system's own, for good.
  const bool toTrash = MoveDeletedFilesToTrash;
  MoveDeletedFilesToTrash = TrashTakesFiles();
  std::vector<std::string> paths;
  for (int i = 0; i < 12; ++i) paths.push_back(tree.File("file " + std::to_string(i) + (i == 5 ? odd : "") + ".mp4", 1 << 20));
  const RequestId missing = Commands::Async::Delete(tree.RootString() + "/missing.mp4");
  for (const std::string& path : paths) Commands::Async::Delete(path);
  const auto start = Clock::now();
  // The title names the file while it is being deleted, not after.
  std::optional<std::string> first;
  while (!first && Clock::now() - start < std::chrono::seconds(2)) {
    first = TakeTitleAsTheGuiDoes();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(*first, "Sortiq: deleting " + tree.RootString() + "/missing.mp4");
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 0.5);
  std::vector<std::string> titles = {*first};
  for (std::string& title : WaitForWorkers()) titles.push_back(std::move(title));
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  for (const std::string& path : paths) EXPECT_FALSE(fs::exists(PathOf(path))) << path;
  ASSERT_FALSE(titles.empty());
  EXPECT_EQ(titles.back(), "Sortiq");
  // Files named in the title come in the order they were queued, shown as
  // UTF-8 (a byte that is not becomes U+FFFD).
  int last = -1;
  for (const std::string& title : titles) {
    for (int i = 0; i < 12; ++i) {
      const std::string shown = "Sortiq: deleting " + tree.RootString() + "/file " + std::to_string(i) +
                                (i == 5 ? oddShown : "") + ".mp4";
      if (title == shown) {
        EXPECT_GT(i, last);
        last = i;
      }
    }
  }
  EXPECT_LE(static_cast<double>(titles.size()), 16 * seconds + 1);  // at most 16 a second
  // Outcomes come in the order the requests ended: queue order here.
  std::vector<Commands::Async::Outcome> outcomes = TakeOutcomesAsTheGuiDoes();
  std::erase_if(outcomes, [&](const Commands::Async::Outcome& outcome) { return outcome.id < missing; });
  ASSERT_EQ(outcomes.size(), 13u);
  EXPECT_EQ(outcomes[0].id, missing);
  EXPECT_EQ(outcomes[0].result, FileOperationResult::SourceMissing);
  for (size_t i = 1; i < outcomes.size(); ++i) {
    EXPECT_TRUE(outcomes[i].Done());
    EXPECT_EQ(outcomes[i].source, paths[i - 1]);
  }
  MoveDeletedFilesToTrash = toTrash;
}

// A request called off before it began never happens; Stop ends a copy in
// hand between two blocks (the file stays where it was, no copy stays) and
// leaves those behind it queued for the next start.
TEST_F(FileCommands, CalledOffAndStoppedRequestsLeaveTheFilesWhereTheyWere) {
  TempTree tree;
  Commands::Async::Stop();
  const RequestId calledOff = Commands::Async::Move(tree.File("a.mp4", 10), tree.Folder("Sub") + "/a.mp4");
  EXPECT_TRUE(Commands::Async::Waiting(calledOff));
  EXPECT_TRUE(Commands::Async::Cancel(calledOff));
  EXPECT_FALSE(Commands::Async::Waiting(calledOff));
  Commands::Async::Start();
  WaitForWorkers();
  auto outcomes = Outcomes();
  EXPECT_EQ(outcomes.at(calledOff).result, FileOperationResult::Stopped);
  EXPECT_TRUE(fs::exists(tree.Root() / "a.mp4"));
  EXPECT_FALSE(fs::exists(tree.Root() / "Sub/a.mp4"));

  // 1 GB onto another file system takes far longer than a block.
  const fs::path ram = MakeFolderOnAnotherDisk("sortiq-stop-");
  const fs::path big = ram / "big.mp4";
  {
    std::ofstream out(big, std::ios::binary);
    const std::string block(1 << 20, 'b');
    for (int i = 0; i < 1024; ++i) out << block;
  }
  const RequestId copy = Commands::Async::Move(PathText(big), PathText(tree.Root() / "big.mp4"));
  const RequestId behind = Commands::Async::Move(tree.File("b.mp4", 10), PathText(tree.Root() / "Sub/b.mp4"));
  const auto end = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < end && Commands::Async::Waiting(copy)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const auto stopping = Clock::now();
  Commands::Async::Stop();
  // Wine's copy calls no progress routine: there the copy ends whole, and
  // is then not placed.
  if (!UnderWine()) {
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - stopping).count(), 0.5);
  }
  outcomes = Outcomes();
  EXPECT_EQ(outcomes.at(copy).result, FileOperationResult::Stopped);
  EXPECT_EQ(fs::file_size(big), static_cast<uintmax_t>(1) << 30);
  EXPECT_FALSE(fs::exists(tree.Root() / "big.mp4"));
  EXPECT_EQ(outcomes.count(behind), 0u);  // queued behind it: not carried out
  EXPECT_TRUE(fs::exists(tree.Root() / "b.mp4"));
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(tree.Root())) left.push_back(PathText(entry.path().filename()));
  EXPECT_EQ(left.size(), 3u);  // a.mp4, b.mp4, Sub: no copy under any name
  fs::remove_all(ram);

  // What stayed queued is done once the workers run again.
  Commands::Async::Start();
  WaitForWorkers();
  EXPECT_TRUE(Outcomes().at(behind).Done());
  EXPECT_TRUE(fs::exists(tree.Root() / "Sub/b.mp4"));
}

// The desktop's trash, on real folders with a private trash: what goes in
// comes back to its place and nowhere else; what cannot go in stays.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "file_work.h"
#include "kit/file_commands.h"
#include "platform/trash.h"
#include "small_disk.h"
#include "temp_tree.h"

namespace fs = std::filesystem;
using platform::FileOperationResult;
using platform::TrashEntry;

namespace {

fs::path UserTrash() { return fs::path(std::getenv("XDG_DATA_HOME")) / "Trash"; }

std::optional<TrashEntry> Trash(const fs::path& path, FileOperationResult expected = FileOperationResult::Done) {
  std::optional<TrashEntry> entry;
  EXPECT_EQ(platform::MoveToTrash(path.string(), platform::IdentityOf(path.string()), entry), expected) << path;
  return entry;
}

}  // namespace

TEST(Trash, WhatGoesInComesBackToItsPlaceNeverReplacing) {
  TempTree tree;
  Write(tree.Root() / "a.mp4", "first");
  tree.Folder("other");
  Write(tree.Root() / "other/a.mp4", "second");
  const fs::path odd = tree.Root() / std::string("odd\xff name.mp4");
  Write(odd, "odd");

  // The same name twice gets two places in the trash, each with the
  // desktop's note of where it came from (bytes that are not UTF-8 escaped).
  const std::optional<TrashEntry> first = Trash(tree.Root() / "a.mp4");
  const std::optional<TrashEntry> second = Trash(tree.Root() / "other/a.mp4");
  const std::optional<TrashEntry> oddEntry = Trash(odd);
  ASSERT_TRUE(first && second && oddEntry);
  EXPECT_EQ(first->file, (UserTrash() / "files/a.mp4").string());
  EXPECT_EQ(second->file, (UserTrash() / "files/a.2.mp4").string());
  EXPECT_EQ(Bytes(second->file), "second");
  EXPECT_NE(Bytes(second->info).find("Path=" + tree.RootString() + "/other/a.mp4\n"), std::string::npos);
  EXPECT_NE(Bytes(second->info).find("DeletionDate="), std::string::npos);
  EXPECT_NE(Bytes(oddEntry->info).find("/odd%FF%20name.mp4\n"), std::string::npos) << Bytes(oddEntry->info);
  EXPECT_FALSE(fs::exists(tree.Root() / "a.mp4") || fs::exists(odd));

  // A file now in the old place stays; the trashed one waits in the trash.
  Write(tree.Root() / "a.mp4", "newer");
  EXPECT_EQ(platform::RestoreFromTrash(*first), FileOperationResult::TargetExists);
  EXPECT_EQ(Bytes(tree.Root() / "a.mp4"), "newer");
  EXPECT_EQ(Bytes(first->file), "first");
  fs::remove(tree.Root() / "a.mp4");
  for (const auto& entry : {*first, *second, *oddEntry}) {
    EXPECT_EQ(platform::RestoreFromTrash(entry), FileOperationResult::Done);
    EXPECT_FALSE(fs::exists(entry.file) || fs::exists(entry.info));
  }
  EXPECT_EQ(Bytes(tree.Root() / "a.mp4"), "first");
  EXPECT_EQ(Bytes(tree.Root() / "other/a.mp4"), "second");
  EXPECT_EQ(Bytes(odd), "odd");
  // Restored already (or the trash emptied): nothing to bring back.
  EXPECT_EQ(platform::RestoreFromTrash(*second), FileOperationResult::SourceMissing);

  // Only the very file chosen, never a folder.
  std::optional<TrashEntry> entry;
  EXPECT_EQ(platform::MoveToTrash(odd.string(), platform::IdentityOf((tree.Root() / "a.mp4").string()), entry),
            FileOperationResult::OtherFile);
  EXPECT_EQ(platform::MoveToTrash((tree.Root() / "other").string(), std::nullopt, entry), FileOperationResult::Failed);
  EXPECT_EQ(Bytes(odd), "odd");

  // A trash that cannot take files (its folder replaced by a file) leaves
  // the file where it was and says so.
  fs::rename(UserTrash() / "files", UserTrash() / "files.aside");
  Write(UserTrash() / "files", "not a folder");
  Trash(odd, FileOperationResult::TrashBroken);
  EXPECT_EQ(Bytes(odd), "odd");
  fs::remove(UserTrash() / "files");
  fs::rename(UserTrash() / "files.aside", UserTrash() / "files");
}

TEST(Trash, OtherDisksUseTheirOwnTrashOrRefuseWithoutTouchingTheFile) {
  TempTree tree;
  // A memory disk has no trash: nothing happens to the file.
  SmallDisk memory(tree.Root() / "memory", 1 << 20);
  if (!memory.mounted) GTEST_SKIP() << SmallDisk::kWhyNot;
  Write(memory.path / "clip.mp4", "on a memory disk");
  Trash(memory.path / "clip.mp4", FileOperationResult::NoTrash);
  EXPECT_EQ(Bytes(memory.path / "clip.mp4"), "on a memory disk");

  // A disk of its own keeps its trash on itself: nothing is copied.
  LoopDisk stick(tree.Root() / "stick", 4 << 20);
  if (!stick.mounted) GTEST_SKIP() << LoopDisk::kWhyNot;
  const fs::path clip = stick.path / "clip.mp4";
  Write(clip, "on a stick");
  const auto identity = platform::IdentityOf(clip.string());
  const std::optional<TrashEntry> entry = Trash(clip);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->file, (stick.path / (".Trash-" + std::to_string(::geteuid())) / "files/clip.mp4").string());
  EXPECT_EQ(platform::IdentityOf(entry->file), identity);
  EXPECT_FALSE(fs::exists(UserTrash() / "files/clip.mp4"));
  EXPECT_EQ(platform::RestoreFromTrash(*entry), FileOperationResult::Done);
  EXPECT_EQ(Bytes(clip), "on a stick");

  // Reached through a link from the home disk, it is still the stick's.
  fs::create_directories(stick.path / "videos");
  Write(stick.path / "videos/linked.mp4", "linked");
  fs::create_directory_symlink(stick.path / "videos", tree.Root() / "videos");
  const std::optional<TrashEntry> linked = Trash(tree.Root() / "videos/linked.mp4");
  ASSERT_TRUE(linked);
  EXPECT_EQ(Bytes(linked->file), "linked");
  EXPECT_EQ(platform::RestoreFromTrash(*linked), FileOperationResult::Done);
  EXPECT_EQ(Bytes(stick.path / "videos/linked.mp4"), "linked");
}

class TrashThroughTheWorkers : public WithFileWorkers {};

TEST_F(TrashThroughTheWorkers, DeletionsAndOverwritesSayWhereTheFileWent) {
  TempTree tree;
  tree.Folder("into");
  Write(tree.Root() / "gone.mp4", "deleted");
  Write(tree.Root() / "new.mp4", "new");
  Write(tree.Root() / "into/new.mp4", "old");
  Write(tree.Root() / "for good.mp4", "final");
  const auto identity = [&](const char* name) { return platform::IdentityOf((tree.Root() / name).string()); };
  using Commands::Async::Disposal;
  const auto deleted = Commands::Async::Delete((tree.Root() / "gone.mp4").string(), identity("gone.mp4"));
  const auto replaced = Commands::Async::MoveReplacing((tree.Root() / "new.mp4").string(),
                                                       (tree.Root() / "into/new.mp4").string(), identity("into/new.mp4"));
  const auto forGood = Commands::Async::Delete((tree.Root() / "for good.mp4").string(), std::nullopt, Disposal::ForGood);
  // An overwrite whose move cannot be done puts the old file back.
  Write(tree.Root() / "into/kept.mp4", "kept");
  const auto failed = Commands::Async::MoveReplacing((tree.Root() / "missing.mp4").string(),
                                                     (tree.Root() / "into/kept.mp4").string(), identity("into/kept.mp4"));
  ASSERT_TRUE(WorkersDone());
  std::map<Commands::Async::RequestId, Commands::Async::Outcome> outcomes;
  for (Commands::Async::Outcome& outcome : TakeOutcomesAsTheGuiDoes()) outcomes[outcome.id] = outcome;

  ASSERT_TRUE(outcomes[deleted].Done() && outcomes[deleted].trashed);
  EXPECT_EQ(Bytes(outcomes[deleted].trashed->file), "deleted");
  ASSERT_TRUE(outcomes[replaced].Done() && outcomes[replaced].trashed);
  EXPECT_EQ(Bytes(tree.Root() / "into/new.mp4"), "new");
  EXPECT_EQ(Bytes(outcomes[replaced].trashed->file), "old");
  EXPECT_EQ(outcomes[replaced].trashed->originalPath, (tree.Root() / "into/new.mp4").string());
  EXPECT_TRUE(outcomes[forGood].Done());
  EXPECT_FALSE(outcomes[forGood].trashed);
  EXPECT_FALSE(fs::exists(tree.Root() / "for good.mp4") || fs::exists(UserTrash() / "files/for good.mp4"));
  EXPECT_EQ(outcomes[failed].result, FileOperationResult::SourceMissing);
  EXPECT_FALSE(outcomes[failed].trashed);
  EXPECT_EQ(Bytes(tree.Root() / "into/kept.mp4"), "kept");
  EXPECT_FALSE(fs::exists(UserTrash() / "files/kept.mp4"));

  // With the setting off, a deletion as set is for good.
  MoveDeletedFilesToTrash = false;
  Write(tree.Root() / "off.mp4", "off");
  const auto off = Commands::Async::Delete((tree.Root() / "off.mp4").string());
  MoveDeletedFilesToTrash = true;
  ASSERT_TRUE(WorkersDone());
  const auto last = TakeOutcomesAsTheGuiDoes();
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0].id, off);
  EXPECT_TRUE(last[0].Done() && !last[0].trashed);
  EXPECT_FALSE(fs::exists(tree.Root() / "off.mp4") || fs::exists(UserTrash() / "files/off.mp4"));
}

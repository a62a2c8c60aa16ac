#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "kit/folder_scanner.h"
#include "kit/frame_clock.h"
#include "kit/text.h"
#include "temp_tree.h"

namespace {

struct WalkResult {
  std::vector<std::string> folders, files;
  std::vector<uint64_t> sizes;
};

bool WaitUntilIdle(FolderScanner& scanner, std::chrono::seconds limit = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (scanner.scanning) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

WalkResult Walk(FolderScanner& scanner, const std::string& root, bool foldersOnly = false) {
  WalkResult result;
  scanner.Start(root, foldersOnly);
  EXPECT_TRUE(WaitUntilIdle(scanner));
  scanner.Join();
  scanner.Collect(result.folders, result.files, &result.sizes);
  return result;
}

std::set<std::string> AsSet(const std::vector<std::string>& v) { return {v.begin(), v.end()}; }

}  // namespace

TEST(FolderScanner, FlatWalkListsTopLevelOnly) {
  TempTree tree;
  const auto a = tree.File("a.mp4", 10);
  const auto b = tree.File("b c,d%e.mkv", 20);
  const auto sub = tree.Folder("Sorted");
  tree.File("Sorted/deep.mp4");
  FolderScanner scanner(false, false);
  const auto result = Walk(scanner, tree.RootString());
  EXPECT_EQ(AsSet(result.files), (std::set<std::string>{a, b}));
  EXPECT_EQ(AsSet(result.folders), (std::set<std::string>{sub}));
  EXPECT_EQ(result.sizes, (std::vector<uint64_t>{0, 0}));  // sizes not wanted
}

// A capped collection takes whole batches until the cap is reached; the
// rest stays queued, in order, for the next one.
TEST(FolderScanner, CappedCollectionLeavesTheRestQueued) {
  TempTree tree;
  for (int i = 0; i < 600; ++i) tree.File("clip " + std::to_string(i) + ".mp4", static_cast<size_t>(i % 7));
  FolderScanner scanner(false, true);
  scanner.Start(tree.RootString(), false);
  ASSERT_TRUE(WaitUntilIdle(scanner));
  scanner.Join();
  std::vector<std::string> folders, files;
  std::vector<uint64_t> sizes;
  scanner.Collect(folders, files, &sizes, 300);
  EXPECT_GE(files.size(), 300u);
  EXPECT_LT(files.size(), 600u);
  const size_t first = files.size();
  scanner.Collect(folders, files, &sizes, 300);
  scanner.Collect(folders, files, &sizes, 300);
  EXPECT_GT(files.size(), first);
  ASSERT_EQ(files.size(), 600u);
  ASSERT_EQ(sizes.size(), 600u);
  EXPECT_EQ(AsSet(files).size(), 600u);  // none twice, none lost
  for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(sizes[i], std::filesystem::file_size(files[i])) << files[i];
}

TEST(FolderScanner, RecursiveWalkGoesDepthFirstWithSizes) {
  TempTree tree;
  tree.File("top.mp4", 3);
  tree.File("one/two/three/leaf.mp4", 1234);
  tree.File("one/mid.mp4", 5);
  tree.Folder("empty");
  FolderScanner scanner(true, true);
  const auto result = Walk(scanner, tree.RootString() + "/");  // a trailing "/" must not double up
  ASSERT_EQ(result.files.size(), 3u);
  ASSERT_EQ(result.sizes.size(), 3u);
  for (size_t i = 0; i < result.files.size(); ++i) {
    EXPECT_EQ(result.files[i].find("//"), std::string::npos) << result.files[i];
    EXPECT_EQ(result.sizes[i], std::filesystem::file_size(result.files[i]));
  }
  const std::string root = tree.RootString();
  EXPECT_EQ(AsSet(result.folders), (std::set<std::string>{root + "/one", root + "/one/two", root + "/one/two/three",
                                                          root + "/empty"}));
  // Every folder is reported before anything inside it.
  const auto position = [&](const std::string& folder) {
    return std::find(result.folders.begin(), result.folders.end(), folder) - result.folders.begin();
  };
  EXPECT_LT(position(root + "/one"), position(root + "/one/two"));
  EXPECT_LT(position(root + "/one/two"), position(root + "/one/two/three"));
}

TEST(FolderScanner, LeavesOutDotNamesAndEverythingBelowThem) {
  TempTree tree;
  const auto visible = tree.File("clip.mp4");
  tree.File(".hidden.mp4");
  tree.File(".cache/inside.mp4");
  tree.File("ok/.thumbs/x.jpg");
  const auto okFolder = tree.Folder("ok");
  FolderScanner scanner(true, false);
  auto result = Walk(scanner, tree.RootString());
  EXPECT_EQ(result.files, (std::vector<std::string>{visible}));
  EXPECT_EQ(result.folders, (std::vector<std::string>{okFolder}));

  // The rule holds below the root: a root the user picked inside a dot
  // folder, or typed with "." parts, lists its files.
  result = Walk(scanner, tree.RootString() + "/.cache");
  EXPECT_EQ(result.files, (std::vector<std::string>{tree.RootString() + "/.cache/inside.mp4"}));
  result = Walk(scanner, tree.RootString() + "/./.cache/");
  EXPECT_EQ(result.files.size(), 1u);
}

#ifndef _WIN32  // the C++ library of the Windows build makes no links
TEST(FolderScanner, FoldersOnlyAndLinksAreNotFollowed) {
  TempTree tree;
  tree.File("real/file.mp4");
  const auto real = tree.Folder("real");
  std::filesystem::create_directory_symlink(real, tree.Root() / "link");
  FolderScanner scanner(true, true);
  auto result = Walk(scanner, tree.RootString());
  // The link is reported as a file and not entered.
  EXPECT_EQ(AsSet(result.files), (std::set<std::string>{real + "/file.mp4", tree.RootString() + "/link"}));
  EXPECT_EQ(result.folders, (std::vector<std::string>{real}));
  result = Walk(scanner, tree.RootString(), true);
  EXPECT_TRUE(result.files.empty());
  EXPECT_EQ(result.folders, (std::vector<std::string>{real}));
}
#endif

TEST(FolderScanner, MissingOrEmptyRootEndsAtOnce) {
  TempTree tree;
  FolderScanner scanner(true, true);
  for (const std::string& root : {tree.RootString() + "/nope", std::string(), tree.RootString()}) {
    const auto result = Walk(scanner, root);
    EXPECT_TRUE(result.files.empty()) << root;
    EXPECT_TRUE(result.folders.empty()) << root;
    EXPECT_FALSE(scanner.scanning);
  }
}

#ifndef _WIN32  // Windows names are UTF-16: its lone surrogates are tested with its back end
TEST(FolderScanner, NamesThatAreNotUtf8AreReportedAsTheyAre) {
  TempTree tree;
  const auto odd = tree.File("caf\xE9 \xFF.mp4", 4);
  FolderScanner scanner(true, true);
  const auto result = Walk(scanner, tree.RootString());
  ASSERT_EQ(result.files, (std::vector<std::string>{odd}));
  EXPECT_EQ(result.sizes[0], 4u);
  EXPECT_NE(ToUtf8(result.files[0]).find("caf\xEF\xBF\xBD \xEF\xBF\xBD.mp4"), std::string::npos);
}
#endif

TEST(FolderScanner, StopEndsTheWalkAndKeepsWhatWasFound) {
  TempTree tree;
  for (int d = 0; d < 40; ++d)
    for (int f = 0; f < 250; ++f) tree.File("d" + std::to_string(d) + "/f" + std::to_string(f));
  FolderScanner scanner(true, false);
  scanner.Start(tree.RootString(), false);
  while (scanner.filesFound < 10 && scanner.scanning) std::this_thread::yield();
  scanner.scanning = false;
  const auto foundWhenStopped = static_cast<size_t>(scanner.filesFound);
  scanner.Join();
  WalkResult result;
  scanner.Collect(result.folders, result.files);
  EXPECT_GE(result.files.size(), 10u);
  EXPECT_GE(result.files.size(), foundWhenStopped);  // everything found is reported
  EXPECT_LE(result.files.size(), foundWhenStopped + 1);  // and at most one more entry
}

TEST(FolderScanner, AppExitingStopsTheWalk) {
  TempTree tree;
  for (int f = 0; f < 3000; ++f) tree.File("f" + std::to_string(f));
  FolderScanner scanner(true, false);
  AppExiting = true;
  const auto result = Walk(scanner, tree.RootString());
  AppExiting = false;
  EXPECT_TRUE(result.files.empty());
}

TEST(FolderScanner, NewRootStartsClean) {
  TempTree first, second;
  first.File("a.mp4");
  first.Folder("old");
  const auto b = second.File("b.mp4");
  FolderScanner scanner(false, false);
  scanner.Start(first.RootString(), false);
  ASSERT_TRUE(WaitUntilIdle(scanner));  // found, never collected
  const auto result = Walk(scanner, second.RootString());
  EXPECT_EQ(result.files, (std::vector<std::string>{b}));
  EXPECT_TRUE(result.folders.empty());
}

// Under Wine this takes 10 to 16 s alone, and beside the other tests of a
// parallel run it has taken minutes, slowing them as well.
#ifndef _WIN32
TEST(FolderScanner, RootRemovedDuringWalkEndsWithWhatWasFound) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    auto tree = std::make_unique<TempTree>();
    const std::string root = tree->RootString() + "/";
    for (int d = 0; d < 30; ++d)
      for (int f = 0; f < 100; ++f) tree->File("d" + std::to_string(d) + "/f" + std::to_string(f));
    FolderScanner scanner(true, true);
    scanner.Start(tree->RootString(), false);
    tree.reset();  // removes the whole tree while the walk runs
    ASSERT_TRUE(WaitUntilIdle(scanner));
    scanner.Join();
    WalkResult result;
    scanner.Collect(result.folders, result.files, &result.sizes);
    EXPECT_LE(result.files.size(), 3000u);
    EXPECT_EQ(result.files.size(), result.sizes.size());
    // What was found is real: files of that tree, each once, in walk order
    // within their folders.
    std::set<std::string> seen;
    for (const auto& file : result.files) {
      EXPECT_EQ(file.rfind(root, 0), 0u) << file;
      EXPECT_TRUE(seen.insert(file).second) << file;
    }
  }
}
#endif

#ifndef _WIN32
// Permissions do not bind root, so this runs the walk as an ordinary user.
TEST(FolderScanner, UnreadableSubFoldersAreSkippedNotTheWholeWalk) {
  TempTree tree;
  const auto before = tree.File("a/first.mp4");
  tree.File("b/secret.mp4");
  const auto after = tree.File("c/last.mp4");
  tree.File("d/listed-not-entered.mp4");
  const auto locked = tree.Folder("b");
  const auto listedOnly = tree.Folder("d");
  const uid_t nobody = 65534;
  if (::geteuid() == 0) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tree.Root()))
      ASSERT_EQ(::lchown(entry.path().c_str(), nobody, nobody), 0);
    ASSERT_EQ(::chown(tree.Root().c_str(), nobody, nobody), 0);
  }
  ::chmod(locked.c_str(), 0);
  ::chmod(listedOnly.c_str(), 0444);  // its names can be read, nothing in it reached
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto walkAsUser = [&] {
    if (::geteuid() == 0 && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)) ::_exit(3);
    FolderScanner scanner(true, false);
    const auto result = Walk(scanner, tree.RootString());
    const bool ok = AsSet(result.files) == std::set<std::string>{before, after} && AsSet(result.folders).count(locked) == 1;
    ::_exit(ok ? 0 : 1);
  };
  EXPECT_EXIT(walkAsUser(), ::testing::ExitedWithCode(0), "");
}
#endif

// The folder walk and the own folder chooser on file systems that misbehave:
// no entry types, listings that break off, a device error, a folder that
// never answers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include <imgui_internal.h>

#include "kit/folder_chooser.h"
#include "kit/folder_scanner.h"
#include "gui_harness.h"
#include "listing_faults.h"
#include "temp_tree.h"

namespace {

listing_faults::Plan HiddenTypes() {
  listing_faults::Plan plan;
  plan.hideEntryTypes = true;
  return plan;
}
listing_faults::Plan Breaking(const std::string& folder, int error) {
  listing_faults::Plan plan;
  plan.breakingFolder = folder;
  plan.failError = error;
  return plan;
}
listing_faults::Plan Slow(const std::string& folder) {
  listing_faults::Plan plan;
  plan.slowFolder = folder;
  return plan;
}

struct Found {
  std::set<std::string> folders;
  std::map<std::string, uint64_t> files;  // path -> size
};

Found WalkOnce(const std::string& root) {
  FolderScanner scanner(true, true);
  scanner.Start(root, false);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (scanner.scanning && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(scanner.scanning) << "the walk did not end";
  scanner.Join();
  std::vector<std::string> folders, files;
  std::vector<uint64_t> sizes;
  scanner.Collect(folders, files, &sizes);
  Found found;
  found.folders = {folders.begin(), folders.end()};
  for (size_t i = 0; i < files.size(); ++i) found.files[files[i]] = sizes[i];
  return found;
}

// a/ and c/ with three files each, b/ with twelve, and a file at the top.
struct ThreeFolders {
  TempTree tree;
  std::set<std::string> outsideB;
  std::set<std::string> inB;
  std::string b;

  ThreeFolders() {
    outsideB.insert(tree.File("top.mp4", 1));
    for (int i = 0; i < 3; ++i) {
      outsideB.insert(tree.File("a/" + std::to_string(i) + ".mp4", 2));
      outsideB.insert(tree.File("c/" + std::to_string(i) + ".mkv", 3));
    }
    for (int i = 10; i < 22; ++i) inB.insert(tree.File("b/f" + std::to_string(i) + ".mp4", 4));
    b = tree.Folder("b");
  }
  std::set<std::string> ReadOfB() const {
    std::set<std::string> read;
    for (const auto& name : listing_faults::NamesBeforeFailure()) read.insert(b + "/" + name);
    return read;
  }
};

std::set<std::string> Paths(const Found& found) {
  std::set<std::string> paths;
  for (const auto& [path, size] : found.files) paths.insert(path);
  return paths;
}

class ListingFaults : public ::testing::Test {
 protected:
  void TearDown() override { listing_faults::Clear(); }
};

}  // namespace

TEST_F(ListingFaults, WithoutEntryTypesTheWalkFindsTheSameFoldersFilesAndSizes) {
  TempTree tree;
  tree.File("top.jpg", 5);
  tree.File("a/one.mp4", 10);
  tree.File("a/deep/two.mkv", 20);
  tree.File("a/.hidden/three.mp4", 30);
  tree.File(".dot/four.mp4", 40);
  std::filesystem::create_directory_symlink(tree.Root() / "a", tree.Root() / "link");
  ::mkfifo((tree.Root() / "a" / "pipe").c_str(), 0600);
  const Found typed = WalkOnce(tree.RootString());
  ASSERT_EQ(typed.files.size(), 5u);  // top.jpg, one, two, link, pipe

  listing_faults::Set(HiddenTypes());
  const Found untyped = WalkOnce(tree.RootString());
  EXPECT_EQ(untyped.folders, typed.folders);
  EXPECT_EQ(untyped.files, typed.files);
}

// Permissions do not bind root, so this part walks as an ordinary user.
TEST_F(ListingFaults, WithoutEntryTypesUnreadableAndUnenterableFoldersAreSkipped) {
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
  ::chmod(listedOnly.c_str(), 0444);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto walkAsUser = [&] {
    if (::geteuid() == 0 && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)) ::_exit(3);
    listing_faults::Set(HiddenTypes());
    const Found found = WalkOnce(tree.RootString());
    const bool ok = Paths(found) == std::set<std::string>{before, after} && found.folders.count(locked) == 1;
    ::_exit(ok ? 0 : 1);
  };
  EXPECT_EXIT(walkAsUser(), ::testing::ExitedWithCode(0), "");
}

// A folder removed or broken while it is read: what was read of it stays,
// the rest of the tree is still walked.
TEST_F(ListingFaults, ListingThatBreaksOffKeepsWhatWasReadAndWalksOn) {
  for (const int error : {ENOENT, EINVAL, EACCES}) {
    SCOPED_TRACE(std::strerror(error));
    ThreeFolders tree;
    listing_faults::Set(Breaking(tree.b, error));
    const Found found = WalkOnce(tree.tree.RootString());
    const auto readOfB = tree.ReadOfB();
    ASSERT_FALSE(readOfB.empty());
    ASSERT_LT(readOfB.size(), tree.inB.size());  // the listing did break off
    std::set<std::string> expected = tree.outsideB;
    expected.insert(readOfB.begin(), readOfB.end());
    EXPECT_EQ(Paths(found), expected);
    EXPECT_EQ(found.folders.size(), 3u);
  }
}

// A failing device, or a process out of memory or descriptors: the walk
// ends at once and what it found stays reported.
TEST_F(ListingFaults, DeviceAndResourceErrorsEndTheWalkWithWhatWasFound) {
  for (const int error : {EIO, ENOMEM, EMFILE, ENFILE}) {
    SCOPED_TRACE(std::strerror(error));
    ThreeFolders tree;
    listing_faults::Set(Breaking(tree.b, error));
    const Found found = WalkOnce(tree.tree.RootString());
    const auto readOfB = tree.ReadOfB();
    ASSERT_FALSE(readOfB.empty());
    EXPECT_EQ(listing_faults::CallsAfterFailure(), 0) << "the walk went on listing";
    for (const auto& path : readOfB) EXPECT_EQ(found.files.count(path), 1u) << path;
    for (const auto& path : Paths(found))
      EXPECT_TRUE(tree.outsideB.count(path) || readOfB.count(path)) << path;
  }
}

namespace {

// A chooser drawn alone, answered into chosen.
struct ChooserUnderTest {
  std::string savedHome;
  GuiHarness gui;
  std::optional<std::optional<std::string>> chosen;

  explicit ChooserUnderTest(const std::string& home) : savedHome(std::getenv("HOME") ? std::getenv("HOME") : "") {
    ::setenv("HOME", home.c_str(), 1);
    OpenFolderChooser("Pick", [this](std::optional<std::string> folder) { chosen = std::move(folder); });
  }
  ~ChooserUnderTest() {
    if (!chosen) gui.Click("Cancel", [] { DrawFolderChooser(); });
    ::setenv("HOME", savedHome.c_str(), 1);
  }
  void Frame() {
    gui.Frame([] { DrawFolderChooser(); });
  }
  void Frames(int count) {
    for (int i = 0; i < count; ++i) Frame();
  }
  template <typename Condition>
  bool FramesUntil(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition() && std::chrono::steady_clock::now() < end) {
      Frame();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
  }
};

}  // namespace

TEST_F(ListingFaults, ChooserDrawsOnWhileAFolderTakesItsTimeToList) {
  TempTree tree;
  tree.Folder("slow/inner");
  tree.Folder("other/one");
  const std::string slow = tree.RootString() + "/slow";
  listing_faults::Set(Slow(slow));
  ChooserUnderTest chooser(slow);
  ASSERT_TRUE(chooser.FramesUntil(listing_faults::SlowReaderWaiting));
  for (int i = 0; i < 10; ++i) chooser.Frame();  // each frame returns while the folder is still being read
  EXPECT_FALSE(chooser.gui.Drawn("inner"));
  listing_faults::Release();
  ASSERT_TRUE(chooser.FramesUntil([&] { return chooser.gui.Drawn("inner"); }));
  // The text box had the keyboard before the listing came; it shows the
  // folder all the same, and Up goes up from there.
  chooser.Frame();
  EXPECT_NE(chooser.gui.WindowText("Pick##FolderChooser").find(slow), std::string::npos);
  ASSERT_TRUE(chooser.gui.Click("Up", [] { DrawFolderChooser(); }));
  ASSERT_TRUE(chooser.FramesUntil([&] { return chooser.gui.Drawn("other"); }));

  // A typed folder that is slow to answer: Select chooses it once it has.
  listing_faults::Set(Slow(tree.RootString() + "/other"));
  ASSERT_TRUE(chooser.gui.Click("##ChooserPath", [] { DrawFolderChooser(); }));
  if (ImGuiInputTextState* state = ImGui::GetInputTextState(ImGui::GetActiveID())) state->ClearText();
  chooser.gui.TypeText((tree.RootString() + "/other/").c_str());
  chooser.Frame();
  ASSERT_TRUE(chooser.gui.Click("Select", [] { DrawFolderChooser(); }));
  ASSERT_TRUE(chooser.FramesUntil(listing_faults::SlowReaderWaiting));
  for (int i = 0; i < 10; ++i) chooser.Frame();
  EXPECT_FALSE(chooser.chosen.has_value());
  listing_faults::Release();
  ASSERT_TRUE(chooser.FramesUntil([&] { return chooser.chosen.has_value(); }));
  EXPECT_EQ(*chooser.chosen, tree.RootString() + "/other");
}

// What the user starts typing while a slow folder is read is theirs: the
// listing that comes afterwards does not replace it.
TEST_F(ListingFaults, LateListingLeavesTypedTextAlone) {
  TempTree tree;
  tree.Folder("slow/inner");
  const std::string slow = tree.RootString() + "/slow";
  listing_faults::Set(Slow(slow));
  ChooserUnderTest chooser(slow);
  ASSERT_TRUE(chooser.FramesUntil(listing_faults::SlowReaderWaiting));
  chooser.Frames(3);  // the text box takes the keyboard on opening
  chooser.gui.TypeText("/media/usb");
  chooser.Frame();
  listing_faults::Release();
  ASSERT_TRUE(chooser.FramesUntil([&] { return chooser.gui.Drawn("inner"); }));
  chooser.Frame();
  EXPECT_NE(chooser.gui.WindowText("Pick##FolderChooser").find("/media/usb"), std::string::npos);
  EXPECT_EQ(chooser.gui.WindowText("Pick##FolderChooser").find(slow), std::string::npos);
}

// A folder that never answers (a dead network mount) must not keep the
// program from ending.
TEST_F(ListingFaults, ProgramEndsWhileAListingIsStuck) {
  TempTree tree;
  const std::string stuck = tree.Folder("stuck");
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto openThenExit = [&] {
    ::alarm(10);  // a hang shows as a death by SIGALRM
    listing_faults::Set(Slow(stuck));
    ChooserUnderTest chooser(stuck);
    chooser.FramesUntil(listing_faults::SlowReaderWaiting);
    std::exit(0);
  };
  EXPECT_EXIT(openThenExit(), ::testing::ExitedWithCode(0), "");
}

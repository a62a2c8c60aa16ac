// The Classifier on real folders, driven through the window's own drawing:
// folder buttons in order, moves, skips, deletions with their question,
// renames and what is refused, undo, overwrite, and the history.
#include <gtest/gtest.h>
#include <imgui_internal.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>

#include "app/tabs.h"
#include "classifier/classifier_rules.h"
#include "classifier/history.h"
#include "file_work.h"
#include "gui_harness.h"
#include "kit/file_commands.h"
#include "kit/icons.h"
#include "kit/settings.h"
#include "player/media_player.h"
#include "scripted_shell.h"
#include "small_disk.h"
#include "test_media.h"
#include "temp_tree.h"
#include "test_system.h"

namespace fs = std::filesystem;

namespace {

constexpr int kF2 = 0x71, kF5 = 0x74;
constexpr int kEnterIndex = 40;  // where the window's back end keeps Enter
const std::string kUndo = ICON_UNDO " Undo";

class ClassifierTest : public WithFileWorkers {
 protected:
  void TearDown() override {
    WithFileWorkers::TearDown();
    ClassifierTab.scanner.Join();
    ClassifierTab.Reset();
    ClassifierTab.history.filter.Clear();
    Player.Unload();
  }
  // Picks the tree as the root on the Classifier and waits for its files
  // (the first one current) and its sorted folders.
  void PickRoot(size_t files) {
    gui.Tap(kF2);
    gui.Frame();
    shell.folders.push_back(tree.RootString());
    ASSERT_TRUE(gui.Click(ICON_SCAN_ROOT " Scan Root Folder"));
    ASSERT_EQ(ClassifierTab.RootPath(), tree.RootString());
    // Until the walk has ended and what it found is collected and sorted.
    ASSERT_TRUE(FramesUntil(gui, [&] {
      return !ClassifierTab.scanner.scanning && !ClassifierTab.CurrentPath.empty() &&
             ClassifierTab.fileList.size() + 1 == files &&
             ClassifierTab.sortedFolderCount == ClassifierTab.folderList.size();
    }));
    gui.Frames(2);
  }
  std::string Current() const { return ClassifierTab.CurrentPath; }
  // Skips round the queue until the file of that name is current.
  std::string MakeCurrent(const std::string& name) {
    for (size_t turns = 0; fs::path(Current()).filename() != name && turns <= ClassifierTab.fileList.size(); ++turns) {
      ClassifierTab.fileList.push_back(Current());
      ClassifierTab.NextFile();
    }
    return Current();
  }
  std::string HistoryText() { return gui.WindowText("##History"); }

  ScriptedShell shell;
  TempTree tree;
  GuiHarness gui;
};

}  // namespace

TEST(ClassifierRules, DestinationReplacesOnlyTheLeadingRoot) {
  // The root's text comes again where the file's name begins ("/a" + "/a.mp4").
  EXPECT_EQ(MoveDestination("/a/a.mp4", "/a", "/a/Sub"), "/a/Sub/a.mp4");
  EXPECT_EQ(MoveDestination("/a/a", "/a", "/a/a"), "/a/a/a");
  EXPECT_EQ(MoveDestination("/clip.mp4", "/", "/Sub"), "/Sub/clip.mp4");
  EXPECT_EQ(MoveDestination("/elsewhere/clip.mp4", "/a", "/a/Sub"), "");
  EXPECT_EQ(MoveDestination("/ab/clip.mp4", "/a", "/a/Sub"), "");
  for (const char* refused : {"", ".", "..", "a/b", "/", "sub/../x"}) EXPECT_FALSE(IsAcceptableName(refused)) << refused;
  EXPECT_FALSE(IsAcceptableName(std::string("a\0b", 3)));
  for (const char* fine : {"a", "clip 100%.mp4", "Ünï", "-x", ".hidden"}) EXPECT_TRUE(IsAcceptableName(fine)) << fine;
#ifdef _WIN32
  EXPECT_TRUE(IsDirectlyIn("C:/clip.mp4", "C:/"));
  EXPECT_FALSE(IsDirectlyIn("C:/a/clip.mp4", "C:/"));
  EXPECT_EQ(MoveDestination("C:/clip.mp4", "C:/", "C:/Sub"), "C:/Sub/clip.mp4");
#else
  EXPECT_TRUE(IsAcceptableName("..."));  // Windows would drop the trailing dots
#endif
}

TEST(ClassifierHistory, KeepsTheNewest1024AndFiltersOnBothPaths) {
  History history;
  for (int i = 0; i < 1025; ++i) history.Add(HistoryKind::Move, "/r/Sub/" + std::to_string(i), "/r/" + std::to_string(i));
  ASSERT_EQ(history.Records().size(), 1024u);
  EXPECT_EQ(history.Records().front().source, "/r/1024");
  EXPECT_EQ(history.Records().back().source, "/r/1");
  history.Add(HistoryKind::Rename, std::string("/r/new\xff"), "/r/old");
  EXPECT_EQ(history.Records().front().targetText, "/r/new\xEF\xBF\xBD");
  EXPECT_EQ(history.Records().back().source, "/r/2");
  history.Remove(history.Records().back());
  EXPECT_EQ(history.Records().back().source, "/r/3");
}

TEST_F(ClassifierTest, SortsWithButtonsAndKeysAndUndoesAMove) {
#ifdef _WIN32
  const char* lower = "c";  // "b" beside "B" is the same folder there
#else
  const char* lower = "b";
#endif
  for (const char* folder : {lower, "B", "a", ".hidden", "x##y"}) tree.Folder(folder);
  for (const char* file : {"one.mp4", "two.mp4", "three.mp4", "four.mp4"}) tree.File(file, 100);
  PickRoot(4);
  // Buttons in byte order; dot folders get none.
  ASSERT_TRUE(gui.Drawn("B") && gui.Drawn("a") && gui.Drawn(lower));
  EXPECT_FALSE(gui.Drawn(".hidden"));
  const std::string root = tree.RootString();
  EXPECT_EQ(ClassifierTab.folderList,
            (std::vector<std::string>{root + "/B", root + "/a", root + "/" + lower, root + "/x##y"}));  // no dot folders
  EXPECT_TRUE(gui.Drawn("x##y"));  // shown as it is, not cut at "##"
  EXPECT_NE(gui.WindowText("##Folders").find("x##y"), std::string::npos);

  // A click moves the current file into the folder and plays the next.
  const std::string first = Current();
  const std::string firstName = PathText(PathOf(first).filename());
  ASSERT_TRUE(gui.Click("a"));
  EXPECT_NE(Current(), first);
  ASSERT_TRUE(WorkersDone());
  EXPECT_TRUE(fs::exists(tree.Root() / "a" / firstName));
  gui.Frame();
  EXPECT_NE(HistoryText().find("[MoveFrom]" + tree.RootString()), std::string::npos) << HistoryText();

  // Undo puts it back and makes it current again; the file shown before comes next.
  const fs::path moved = tree.Root() / "a" / firstName;
  const std::string second = Current();
  ASSERT_TRUE(gui.Click(kUndo));
  EXPECT_TRUE(fs::exists(first));
  EXPECT_FALSE(fs::exists(moved));
  EXPECT_EQ(Current(), first);
  EXPECT_EQ(ClassifierTab.fileList.front(), second);
  EXPECT_TRUE(ClassifierTab.history.Records().empty());

  // 2 skips without touching the file; 4 asks, and No keeps the file.
  gui.Tap('2');
  gui.Frame();
  EXPECT_EQ(Current(), second);
  EXPECT_TRUE(fs::exists(first));
  shell.answer = platform::Answer::No;
  gui.Tap('4');
  gui.Frame();
  ASSERT_EQ(shell.questions.size(), 1u);
  EXPECT_EQ(shell.questions[0], "Are-you sure you want to delete this file ?|" + second);
  EXPECT_EQ(Current(), second);
  const fs::path trash = ReadableTrash();
  if (trash.empty()) GTEST_SKIP() << "the rest reads the desktop's trash";
  shell.answer = platform::Answer::Yes;
  gui.Frame();  // the key up, seen before the next press
  gui.Tap('4');
  gui.Frame();
  ASSERT_EQ(shell.questions.size(), 2u);
  ASSERT_TRUE(WorkersDone());
  EXPECT_FALSE(fs::exists(second));
  gui.Frame();
  EXPECT_NE(HistoryText().find("[DeleteFile]" + second + "inthetrash"), std::string::npos) << HistoryText();
  // In the trash, with the desktop's note of where it came from; Undo puts
  // it back, current again, and the trash no longer lists it.
  const fs::path trashed = trash / "files" / fs::path(second).filename();
  EXPECT_EQ(Bytes(trashed).size(), 100u);
  EXPECT_NE(Bytes(trash / "info" / (PathText(trashed.filename()) + ".trashinfo")).find("Path=" + second),
            std::string::npos);
  const std::string third = Current();
  ASSERT_TRUE(gui.Click(kUndo));
  EXPECT_EQ(Bytes(second).size(), 100u);
  EXPECT_FALSE(fs::exists(trashed));
  EXPECT_TRUE(fs::is_empty(trash / "info"));
  EXPECT_EQ(Current(), second);
  EXPECT_EQ(ClassifierTab.fileList.front(), third);
  EXPECT_TRUE(ClassifierTab.history.Records().empty());

  // With the trash switched off a deletion is for good, and cannot be undone.
  MoveDeletedFilesToTrash = false;
  gui.Frame();
  gui.Tap('4');
  gui.Frame();
  ASSERT_TRUE(WorkersDone());
  gui.Frame();
  EXPECT_FALSE(fs::exists(second));
  EXPECT_TRUE(fs::is_empty(trash / "files"));
  EXPECT_NE(HistoryText().find("[DeleteFile]" + second + "deletedforgood"), std::string::npos) << HistoryText();
  EXPECT_FALSE(gui.Drawn(kUndo));
  MoveDeletedFilesToTrash = true;

  // On another tab the digit keys leave the Classifier alone.
  const std::string now = Current();
  gui.Tap(kF5);
  gui.Frame();
  gui.Tap('2');
  gui.Frame();
  EXPECT_EQ(Current(), now);
}

TEST_F(ClassifierTest, RenameTakesOnlyRealFreeNamesAndUndoes) {
  tree.File("clip.mp4", 10);
  tree.File("taken.mp4", 10);
  const std::string oddName = "odd" + kOddNamePiece + ".mp4";
#ifdef _WIN32  // shown as it is; "\\" cannot be in a name
  const std::string oddShown = oddName, keptTyped = "odd" + kOddNamePiece + " kept.mp4", kept = keptTyped;
#else  // shown as an escape, typed back as one, and "\\" is a "\\"
  const std::string oddShown = "odd\\xff.mp4", keptTyped = "odd\\xff \\\\ kept.mp4", kept = "odd\xff \\ kept.mp4";
#endif
  tree.File(oddName, 10);
  PickRoot(3);
  // Whatever came first, rename each of the files in turn until the odd one is current.
  while (PathText(PathOf(Current()).filename()) != oddName) {
    gui.Tap('2');
    gui.Frame();
    ASSERT_FALSE(Current().empty());
  }
  const std::string odd = Current();
  // The box opens with the whole name selected, every time: typing replaces it.
  for (const char* typed : {"first", "second.mp4"}) {
    gui.Tap('5');
    gui.Frames(2);
    gui.TypeText(typed);
    gui.Frame();
    EXPECT_STREQ(ClassifierTab.renameBuffer, typed);
    ASSERT_TRUE(gui.Click(ICON_CANCEL " Cancel Renaming"));
  }
  // A byte that is not UTF-8 shows as an escape and comes back as itself.
  gui.Tap('5');
  gui.Frame();
  EXPECT_EQ(ClassifierTab.renameBuffer, oddShown);
  ASSERT_TRUE(gui.Drawn("##Rename"));
  std::snprintf(ClassifierTab.renameBuffer, sizeof ClassifierTab.renameBuffer, "%s", keptTyped.c_str());
  ASSERT_TRUE(ClassifierTab.Rename());
  EXPECT_EQ(Bytes(tree.Root() / PathOf(kept)).size(), 10u);
  ASSERT_TRUE(ClassifierTab.Undo(ClassifierTab.history.Records().front()));
  ASSERT_EQ(Current(), odd);
  gui.Frames(2);  // the closed box lets go of the keyboard
  gui.Tap('5');
  gui.Frame();
  // Applied unchanged, the name shown is the same name: nothing happens.
  ASSERT_TRUE(gui.Click(ICON_APPLY " Apply Renaming"));
  EXPECT_TRUE(ClassifierTab.renaming);
  EXPECT_TRUE(fs::exists(PathOf(odd)));

  // Typing a digit into the box types it; it does not delete.
  ASSERT_TRUE(gui.Click("##Rename"));
  gui.Tap('4');
  gui.TypeText("4");
  gui.Frames(2);
  EXPECT_TRUE(shell.questions.empty());
  EXPECT_TRUE(fs::exists(PathOf(odd)));

  for (const std::string refused : {"", ".", "..", "../escaped.mp4", "Sub/x.mp4", "taken.mp4"}) {
    std::snprintf(ClassifierTab.renameBuffer, sizeof ClassifierTab.renameBuffer, "%s", refused.c_str());
    EXPECT_FALSE(ClassifierTab.Rename()) << refused;
    EXPECT_TRUE(ClassifierTab.renaming);
    gui.Frame();
    const std::string why = refused == "taken.mp4" ? "cannotrename:afileofthatnameisalreadythere" : "cannotrename:aname";
    EXPECT_NE(gui.WindowText("##leftclassify").find(why), std::string::npos) << gui.WindowText("##leftclassify");
    EXPECT_TRUE(fs::exists(PathOf(odd)));
    EXPECT_EQ(Bytes(tree.Root() / "taken.mp4").size(), 10u);
  }
  EXPECT_FALSE(fs::exists(tree.Root().parent_path() / "escaped.mp4"));

  // Enter in the box applies the name, at once.
  ImGui::GetIO().ClearInputCharacters();
  ASSERT_TRUE(gui.Click("##Rename"));
  if (ImGuiInputTextState* state = ImGui::GetInputTextState(ImGui::GetActiveID())) state->ClearText();
  gui.TypeText("renamed 100%.mp4");
  gui.Frame();
  ImGuiIO& io = ImGui::GetIO();
  io.KeyMap[ImGuiKey_Enter] = kEnterIndex;
  io.KeysDown[kEnterIndex] = true;
  gui.Frame();
  io.KeysDown[kEnterIndex] = false;
  gui.Frame();
  const fs::path renamed = tree.Root() / "renamed 100%.mp4";
  ASSERT_TRUE(fs::exists(renamed));
  EXPECT_FALSE(fs::exists(PathOf(odd)));
  EXPECT_EQ(Current(), PathText(renamed));
  EXPECT_FALSE(ClassifierTab.renaming);

  // Undo gives the old name back, byte for byte, and makes it current.
  ClassifierTab.fileList.clear();
  ClassifierTab.fileList.push_back(tree.RootString() + "/clip.mp4");  // keeps the history drawn
  gui.Frame();
  ASSERT_TRUE(gui.Click(kUndo));
  EXPECT_TRUE(fs::exists(PathOf(odd)));
  EXPECT_FALSE(fs::exists(renamed));
  EXPECT_EQ(Current(), odd);
  // Next comes what came next before, not the name it just lost.
  EXPECT_EQ(ClassifierTab.fileList, std::deque<std::string>{tree.RootString() + "/clip.mp4"});
}

TEST_F(ClassifierTest, OverwriteIsAskedNoChangesNothingAndUndoIntoATakenPlaceSaysWhy) {
  tree.Folder("Sub");
  for (const char* name : {"a.mp4", "b.mp4", "c.mp4"}) {
    std::ofstream(tree.Root() / name) << "new " << name;
    std::ofstream(tree.Root() / "Sub" / name) << "old";
  }
  PickRoot(3);
  const std::string sub = tree.RootString() + "/Sub";
  const auto inSub = [&](const std::string& path) { return Bytes(sub + path.substr(path.rfind('/'))); };
  const auto moveCurrent = [&](platform::Answer answer) {
    shell.answer = answer;
    const std::string path = Current();
    ClassifierTab.MoveToFolder(sub);
    return path;
  };
  const std::string yes = moveCurrent(platform::Answer::Yes);
  // No and Cancel queue nothing, record nothing, and the file stays current.
  const std::string no = moveCurrent(platform::Answer::No);
  moveCurrent(platform::Answer::Cancel);
  EXPECT_EQ(Current(), no);
  ASSERT_TRUE(WorkersDone());
  EXPECT_EQ(inSub(no), "old");
  EXPECT_EQ(Bytes(no), "new " + PathText(PathOf(no).filename()));
  EXPECT_EQ(ClassifierTab.history.Records().size(), 1u);
  if (!TrashTakesFiles()) GTEST_SKIP() << kNoTrashHere;  // where the old files go
  SkipConfirmations = true;
  moveCurrent(platform::Answer::No);
  ASSERT_TRUE(WorkersDone());
  ASSERT_EQ(shell.questions.size(), 3u);
  EXPECT_EQ(shell.questions[0], "Do you want to overwrite this file?|" + sub + yes.substr(yes.rfind('/')));
  EXPECT_EQ(inSub(yes), "new " + PathText(PathOf(yes).filename()));
  EXPECT_FALSE(fs::exists(yes));
  EXPECT_EQ(inSub(no), "new " + PathText(PathOf(no).filename()));
  ASSERT_EQ(ClassifierTab.history.Records().size(), 2u);

  // Undo of a move whose old place is taken again: refused, and the row says why.
  gui.Frames(2);
  EXPECT_NE(HistoryText().find("done"), std::string::npos) << HistoryText();
  std::ofstream(yes) << "came later";
  ClassifierTab.fileList.push_back(tree.RootString() + "/c.mp4");
  gui.Frame();
  EXPECT_FALSE(ClassifierTab.Undo(ClassifierTab.history.Records().back()));
  gui.Frame();
  EXPECT_NE(HistoryText().find("cannotundo:afileofthatnameisalreadythere"), std::string::npos) << HistoryText();
  EXPECT_EQ(ClassifierTab.history.Records().size(), 2u);
  EXPECT_EQ(Bytes(yes), "came later");

  // The old files went to the trash; undo of an overwrite is whole: the
  // moved file back, and the old one back in its place.
  EXPECT_NE(HistoryText().find("done;thefileitreplacedisinthetrash"), std::string::npos) << HistoryText();
  const fs::path trash = ReadableTrash();
  if (trash.empty()) GTEST_SKIP() << "the rest reads the desktop's trash";
  EXPECT_EQ(std::distance(fs::directory_iterator(trash / "files"), {}), 2);
  fs::remove(yes);
  for (const std::string& undone : {no, yes}) {
    ASSERT_TRUE(ClassifierTab.Undo(ClassifierTab.history.Records().front()));
    EXPECT_EQ(Bytes(undone), "new " + PathText(PathOf(undone).filename()));
    EXPECT_EQ(inSub(undone), "old");
    EXPECT_EQ(Current(), undone);
  }
  EXPECT_TRUE(ClassifierTab.history.Records().empty());
  EXPECT_TRUE(fs::is_empty(trash / "files") && fs::is_empty(trash / "info"));
}

// A move that cannot be done says so in its record and puts the file back
// first in the queue; an undo before the worker gets to a move calls it
// off; the history stays on the last file and after it.
TEST_F(ClassifierTest, FailedMovesComeBackAndUndoBeforeTheWorkerCallsTheMoveOff) {
  tree.File("big.mp4", 3 << 20);
  tree.File("small.mp4", 10);
  SmallDisk small(tree.Root() / "Small", 1 << 20);
  if (!small.mounted) GTEST_SKIP() << SmallDisk::kWhyNot;
  PickRoot(2);
  const std::string big = MakeCurrent("big.mp4");
  ASSERT_TRUE(gui.Click("Small"));
  EXPECT_NE(Current(), big);
  ASSERT_TRUE(FramesUntil(gui, [&] { return HistoryText().find("failed:notenoughspace") != std::string::npos; }))
      << HistoryText();
  EXPECT_TRUE(fs::exists(big));
  EXPECT_TRUE(fs::is_empty(small.path));
  EXPECT_EQ(ClassifierTab.fileList.front(), big);  // back first in the queue
  EXPECT_EQ(ClassifierTab.history.Records().front().state, RecordState::Failed);
  EXPECT_FALSE(gui.Drawn(kUndo));  // nothing to undo

  // The last file: moved while the worker is held back, then undone.
  const std::string last = Current();
  Commands::Async::Stop();
  ASSERT_TRUE(gui.Click("Small"));
  gui.Frames(2);
  EXPECT_NE(HistoryText().find("waiting"), std::string::npos) << HistoryText();
  ASSERT_TRUE(gui.Click(kUndo));
  EXPECT_EQ(Current(), last);
  Commands::Async::Start();
  ASSERT_TRUE(WorkersDone());
  gui.Frames(2);
  EXPECT_TRUE(fs::exists(last));
  EXPECT_FALSE(fs::exists(small.path / fs::path(last).filename()));
  EXPECT_EQ(ClassifierTab.history.Records().size(), 1u);

  // Moving what is left: the big file fails again, after which it is the
  // only one; the history is still there, with both failures.
  ASSERT_TRUE(gui.Click("Small"));  // the small file fits
  ASSERT_TRUE(WorkersDone());
  gui.Frames(2);
  EXPECT_EQ(Current(), big);
  EXPECT_TRUE(ClassifierTab.fileList.empty());
  ASSERT_TRUE(gui.Click("Small"));
  ASSERT_TRUE(FramesUntil(gui, [&] { return ClassifierTab.history.Records().front().state == RecordState::Failed; }));
  gui.Frames(2);
  EXPECT_TRUE(gui.Drawn("##historyFilter"));
  EXPECT_EQ(Current(), big);
  EXPECT_TRUE(fs::exists(small.path / "small.mp4"));
}

TEST_F(ClassifierTest, CreateFolderTakesTheFilterTextAndReScanRebuildsTheButtons) {
  tree.File("clip.mp4");
  tree.File("other.mp4");
  PickRoot(2);
  for (const char* refused : {"", "..", "x/y"}) {
    std::snprintf(ClassifierTab.folderFilter.InputBuf, sizeof ClassifierTab.folderFilter.InputBuf, "%s", refused);
    EXPECT_FALSE(ClassifierTab.CreateFolder()) << refused;
  }
  EXPECT_FALSE(fs::exists(tree.Root() / "x"));
  ClassifierTab.folderFilter.Clear();
  // A digit typed into the filter box is text, not the key that deletes.
  ASSERT_TRUE(gui.Click("##folderFilter"));
  gui.Tap('4');
  gui.TypeText("Keep 4");
  gui.Frame();
  EXPECT_TRUE(shell.questions.empty());
  ASSERT_TRUE(gui.Click(ICON_CREATE_FOLDER " Create Folder:"));
  EXPECT_TRUE(fs::is_directory(tree.Root() / "Keep 4"));
  EXPECT_STREQ(ClassifierTab.folderFilter.InputBuf, "");
  gui.Frames(2);
  EXPECT_TRUE(gui.Drawn("Keep 4"));

  // Folders made or removed elsewhere: Re-Scan rebuilds the buttons, the
  // current file and the queue stay.
  fs::remove(tree.Root() / "Keep 4");
  tree.Folder("Made Elsewhere");
  const std::string current = Current();
  const size_t queued = ClassifierTab.fileList.size();
  ASSERT_TRUE(gui.Click(ICON_RESCAN " Re-Scan Folders"));
  ASSERT_TRUE(FramesUntil(gui, [&] { return gui.Drawn("Made Elsewhere"); }));
  EXPECT_FALSE(gui.Drawn("Keep 4"));
  EXPECT_EQ(Current(), current);
  EXPECT_EQ(ClassifierTab.fileList.size(), queued);

  // The last file can have a folder made for it too.
  ASSERT_TRUE(gui.Click(ICON_NEXT_FILE " Next File"));
  ASSERT_TRUE(ClassifierTab.fileList.empty());
  ASSERT_TRUE(gui.Click("##folderFilter"));
  gui.TypeText("Last");
  ASSERT_TRUE(gui.Click(ICON_CREATE_FOLDER " Create Folder:"));
  EXPECT_TRUE(fs::is_directory(tree.Root() / "Last"));
}

// Folder buttons, the current file and the history show names in other
// scripts letter by letter, none as U+FFFD, once their glyphs arrive.
TEST_F(ClassifierTest, NamesInOtherScriptsShowOnButtonsAndInTheHistory) {
  tree.File("日本の歌.mp4");
  tree.File("เพลง.mp3");
  tree.File("Ελληνικά.mkv");  // the history shows while files wait in the queue
  tree.Folder("音楽");
  tree.Folder("영화");
  PickRoot(3);
  const auto shows = [&](const char* window, const std::vector<std::string>& names) {
    return FramesUntil(gui, [&] {
      const std::string text = gui.WindowText(window);
      for (const std::string& name : names)
        if (text.find(name) == std::string::npos) return false;
      return text.find("\uFFFD") == std::string::npos;
    });
  };
  EXPECT_TRUE(shows("##Folders", {"音楽", "영화"})) << gui.WindowText("##Folders");
  const std::string current = PathText(PathOf(Current()).filename());
  EXPECT_TRUE(shows("##leftclassify", {current})) << gui.WindowText("##leftclassify");
  ASSERT_TRUE(gui.Click("音楽"));
  EXPECT_TRUE(shows("##History", {"音楽/" + current})) << HistoryText();
}

// Undo across disks never holds the window: a move still copying is
// stopped between blocks and the file is current again where it was; a
// move that is done is copied back by the worker, its record waiting.
TEST_F(ClassifierTest, UndoAcrossDisksStopsACopyInHandOrCopiesBackOnTheWorker) {
  {
    std::ofstream out(tree.Root() / "big.mp4", std::ios::binary);
    const std::string block(1 << 20, 'b');
    for (int i = 0; i < 768; ++i) out << block;
  }
  tree.File("small.mp4", 1000);
  SmallDisk ram(tree.Root() / "Ram", size_t{1} << 30);
  if (!ram.mounted) GTEST_SKIP() << SmallDisk::kWhyNot;
  PickRoot(2);
  const std::string big = MakeCurrent("big.mp4");
  ASSERT_TRUE(gui.Click("Ram"));
  const Commands::Async::RequestId copy = ClassifierTab.history.Records().front().request;
  ASSERT_TRUE(FramesUntil(gui, [&] { return !Commands::Async::Waiting(copy); }));
  gui.Frame();
  const auto undoAsked = std::chrono::steady_clock::now();
  ASSERT_TRUE(gui.Click(kUndo));
  // Meanwhile another tab plays a file: the undo ending later leaves it alone.
  gui.Tap(0x73);
  gui.Frame();
  const std::string other = Media("h264_aac.mp4");
  Player.Play(other, kGroupingTab);
  ASSERT_TRUE(FramesUntil(gui, [&] { return ClassifierTab.history.Empty(); }));
  EXPECT_TRUE(Player.MediaLoaded());
  EXPECT_EQ(Player.CurrentPath(), other);
  gui.Tap(0x71);
  ASSERT_TRUE(FramesUntil(gui, [&] { return Current() == big; }));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - undoAsked).count(), 1.0);
  EXPECT_EQ(fs::file_size(big), static_cast<uintmax_t>(768) << 20);
  EXPECT_TRUE(fs::is_empty(ram.path));
  EXPECT_TRUE(ClassifierTab.history.Empty());

  // Done, then undone: back through the worker.
  ClassifierTab.NextFile();
  const std::string small = Current();
  ASSERT_EQ(fs::path(small).filename(), "small.mp4");
  ASSERT_TRUE(gui.Click("Ram"));
  ASSERT_TRUE(WorkersDone());
  gui.Frames(2);
  EXPECT_TRUE(fs::exists(ram.path / "small.mp4"));
  ASSERT_TRUE(gui.Click(kUndo));
  EXPECT_NE(ClassifierTab.history.Records().front().undoRequest, 0u);  // on the worker, not in this frame
  ASSERT_TRUE(FramesUntil(gui, [&] { return Current() == small; }));
  EXPECT_EQ(Bytes(small).size(), 1000u);
  EXPECT_TRUE(fs::is_empty(ram.path));
  EXPECT_TRUE(ClassifierTab.history.Empty());
}

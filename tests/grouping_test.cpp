// Grouping by the words of file names and duplicate downloads by platform
// identifier: the rules on their own, then both tabs on real folders,
// driven through the window's own drawing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/tabs.h"
#include "grouping/duplicate_groups.h"
#include "grouping/tag_groups.h"
#include "file_work.h"
#include "gui_harness.h"
#include "kit/file_commands.h"
#include "kit/icons.h"
#include "kit/settings.h"
#include "platform/trash.h"
#include "player/media_player.h"
#include "scripted_shell.h"
#include "small_disk.h"
#include "test_media.h"
#include "temp_tree.h"
#include "test_system.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Tags(const std::string& name) {
  std::string lowered;
  std::vector<std::string_view> views;
  TagsOfName(name, lowered, views);
  return {views.begin(), views.end()};
}

// Indexes files given as (path, size) at once.
void IndexAll(TagGroups& groups, std::vector<std::string> paths, std::vector<uint64_t> sizes = {}) {
  sizes.resize(paths.size());
  groups.Queue(paths, sizes);
  while (groups.Queued() > 0) groups.Index(std::chrono::microseconds(1000));
}

std::string GroupLine(const TagGroups& groups) {
  std::string line;
  for (uint32_t index : groups.Order()) {
    line += groups.Groups()[index].tag + "(" + std::to_string(groups.Groups()[index].items.size()) + ") ";
  }
  return line;
}

}  // namespace

TEST(GroupingRules, TagsAndSizeTexts) {
  EXPECT_EQ(Tags("Cat_Dog-cat.MP4"), (std::vector<std::string>{"cat", "dog", "cat", "mp4"}));
  EXPECT_EQ(Tags("caf\xC3\xA9.mp4"), (std::vector<std::string>{"caf", "mp4"}));
  EXPECT_EQ(Tags("2023-01-05 clip.mkv"), (std::vector<std::string>{"2023", "01", "05", "clip", "mkv"}));
  EXPECT_TRUE(Tags("----.").empty());
  EXPECT_EQ(Tags("cat dog.txt"), (std::vector<std::string>{"cat", "dog", "txt"}));
  const std::pair<uint64_t, const char*> sizes[] = {
      {0, "0B"},       {512, "512B"},      {1023, "1023B"},         {1024, "1KB"},
      {1025, "1.1KB"}, {1536, "1.5KB"},    {1048575, "1024KB"},     {1048576, "1MB"},
      {1100000, "1.1MB"}, {1073741824, "1GB"}, {~uint64_t{0}, "16EB"}};
  for (const auto& [bytes, text] : sizes) EXPECT_EQ(FileSizeText(bytes), text) << bytes;
}

TEST(GroupingRules, GroupsInByteOrderOnceEachAndTheSliderMaximum) {
  TagGroups groups;
  IndexAll(groups, {"/r/Cat_Dog-cat.MP4", "/r/catalog/clip.mkv", "/r/2023-01-05 cat.mkv", "/r/01 cat.mp4",
                    "/r/----.", std::string("/r/bad\xff name.mp4")});
  // Folder names give no tags; "cat" three times in one name counts once.
  EXPECT_EQ(GroupLine(groups),
            "01(2) 05(1) 2023(1) bad(1) cat(3) clip(1) dog(1) mkv(2) mp4(3) name(1) ");
  EXPECT_EQ(groups.Files(), 6u);  // the name without words is kept, in no group
  EXPECT_EQ(groups.maxGroupSize, 2);  // the largest group's size before its last file joined

  // Indexing spread over many small budgets gives the same groups.
  TagGroups spread;
  std::vector<std::string> paths;
  for (int i = 0; i < 5000; ++i) paths.push_back("/r/clip " + std::to_string(i % 97) + " [id" + std::to_string(i) + "].mp4");
  std::vector<std::string> copy = paths;
  std::vector<uint64_t> sizes(paths.size(), 10);
  spread.Queue(copy, sizes);
  EXPECT_TRUE(spread.Index(std::chrono::microseconds(0)));  // at least some, never all at once
  EXPECT_GT(spread.Queued(), 0u);
  EXPECT_LT(spread.Queued(), 5000u);
  while (spread.Queued() > 0) spread.Index(std::chrono::microseconds(0));
  TagGroups whole;
  IndexAll(whole, paths);
  EXPECT_EQ(GroupLine(spread), GroupLine(whole));
  EXPECT_EQ(spread.maxGroupSize, 4999);
}

TEST(SimilarityRules, PlatformIdentifierKeys) {
  EXPECT_EQ(ExtractPlatformId("/v/Title [X9yZ8wV7uT6].mkv"), "6Tu7Vw8Zy9X");
  EXPECT_EQ(ExtractPlatformId("/w/x.y/Other title - X9yZ8wV7uT6.webm"), "6Tu7Vw8Zy9X");
  EXPECT_NE(ExtractPlatformId("/v/a x9yz8wv7ut6.mp4"), ExtractPlatformId("/v/a X9yZ8wV7uT6.mp4"));  // case counts
  // Names too short for an identifier stand alone; folders lend them nothing.
  EXPECT_EQ(ExtractPlatformId("/Videos/a.mp4"), "");
  EXPECT_EQ(ExtractPlatformId("/v/\xe7\x8c\xab.mp4"), "");
  EXPECT_EQ(ExtractPlatformId("/v.old/clip X9yZ8wV7uT6"), "6Tu7Vw8Zy9X");  // a folder's dot cuts nothing
  EXPECT_EQ(ExtractPlatformId("/post 1234567890123456789.mp4"), "98765432109");
  EXPECT_EQ(ExtractPlatformId("/a/Title X9yZ8wV7uT6 (1).mp4"), "16Tu7Vw8Zy9");  // a copy's "(1)" is part of it
  EXPECT_EQ(ExtractPlatformId(""), "");
}

class GroupingTabs : public WithFileWorkers {
 protected:
  void TearDown() override {
    WithFileWorkers::TearDown();
    for (Base* tab : std::initializer_list<Base*>{&GroupingTab, &SimilarityTab}) {
      tab->scanner.Join();
      tab->Reset();
    }
    GroupingTab.groupFilter.Clear();
    GroupingTab.groupThreshold = 0;
    SimilarityTab.similarityFilter.Clear();
    Player.Unload();
  }
  void Pick(int functionKey, const std::function<bool()>& ready) {
    gui.Tap(functionKey);
    gui.Frame();
    shell.folders.push_back(tree.RootString());
    ASSERT_TRUE(gui.Click(ICON_SCAN_ROOT " Scan Root Folder"));
    ASSERT_TRUE(FramesUntil(gui, ready));
    gui.Frames(2);
  }
  std::string ListText(const char* child) { return gui.WindowText(child); }

  ScriptedShell shell;
  TempTree tree;
  GuiHarness gui;
};

TEST_F(GroupingTabs, GroupingDeletesFilesFromEveryGroupEightAFrame) {
  // One name in twenty folders (folder names give no tags).
  for (int i = 0; i < 20; ++i) tree.File("d" + std::to_string(i) + "/holiday clip.mp4", 100);
  tree.File("Other/holiday notes.txt", 10);
  tree.File("Other/holiday bad" + kOddNamePiece + ".mkv", 10);
  Pick(0x73, [&] { return !GroupingTab.scanner.scanning && GroupingTab.model.Files() == 22 && GroupingTab.model.Queued() == 0; });
  EXPECT_EQ(GroupingTab.model.maxGroupSize, 21);
  std::string list = ListText("##GroupFilter");
  EXPECT_NE(list.find("holiday(22)"), std::string::npos) << list;
  EXPECT_NE(list.find("clip(20)"), std::string::npos);

  // The threshold's buttons stop at 0 and at the maximum.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(gui.Click(ICON_MINUS));
  EXPECT_EQ(GroupingTab.groupThreshold, 0);
  // An icon alone names its action on hover.
  ASSERT_TRUE(gui.Hover(ICON_PLUS));
  gui.Frames(2);
  EXPECT_EQ(gui.Tooltip(), "Showonlylargergroups");
  GroupingTab.groupThreshold = 20;
  gui.Frame();
  ASSERT_TRUE(gui.Click(ICON_PLUS));
  ASSERT_TRUE(gui.Click(ICON_PLUS));
  EXPECT_EQ(GroupingTab.groupThreshold, 21);
  gui.Frame();
  list = ListText("##GroupFilter");  // only groups larger than the threshold
  EXPECT_NE(list.find("holiday(22)"), std::string::npos) << list;
  EXPECT_EQ(list.find("clip("), std::string::npos) << list;
  GroupingTab.groupThreshold = 19;
  ASSERT_TRUE(gui.Click(ICON_MINUS));
  EXPECT_EQ(GroupingTab.groupThreshold, 18);
  gui.Frame();
  list = ListText("##GroupFilter");
  EXPECT_NE(list.find("clip(20)"), std::string::npos) << list;
  EXPECT_NE(list.find("mp4(20)"), std::string::npos) << list;
  EXPECT_EQ(list.find("txt("), std::string::npos) << list;
  GroupingTab.groupThreshold = 0;

  // Filters: an excluding term hides every tag holding it, terms are alternatives.
  ASSERT_TRUE(gui.Click("##groupFilter"));
  gui.TypeText("-mp4,-txt");
  gui.Frames(2);
  list = ListText("##GroupFilter");
  EXPECT_EQ(list.find("mp4("), std::string::npos) << list;
  EXPECT_EQ(list.find("txt("), std::string::npos) << list;
  EXPECT_NE(list.find("holiday(22)"), std::string::npos) << list;
  ASSERT_TRUE(gui.Click(ICON_CLEAR));  // leaves the box, empties it
  EXPECT_STREQ(GroupingTab.groupFilter.InputBuf, "");
  ASSERT_TRUE(gui.Click("##groupFilter"));
  gui.TypeText("clip,notes");
  gui.Frames(2);
  list = ListText("##GroupFilter");
  EXPECT_NE(list.find("clip(20)"), std::string::npos) << list;
  EXPECT_NE(list.find("notes(1)"), std::string::npos) << list;
  EXPECT_EQ(list.find("holiday("), std::string::npos) << list;

  // Delete All Files on "clip" always asks, naming the group and its
  // count; Yes queues all 20. Rows leave only as their deletions are done,
  // 8 a frame; one whose name another file took meanwhile stays, saying why.
  SkipConfirmations = true;
  shell.answer = platform::Answer::Yes;
  ASSERT_TRUE(gui.Click("clip"));  // open the group
  gui.Frame();
  Commands::Async::Stop();
  ASSERT_TRUE(gui.Click(ICON_DELETE " Delete All Files"));
  ASSERT_EQ(shell.questions.size(), 1u);
  EXPECT_EQ(shell.questions[0], "Delete all 20 files in the group 'clip'?|Delete All Files From This Group");
  const auto holiday = [&] {
    for (const auto& group : GroupingTab.model.Groups())
      if (group.tag == "holiday") return group.items.size();
    return size_t{0};
  };
  gui.Frames(2);
  EXPECT_EQ(holiday(), 22u);  // nothing is done yet
  EXPECT_NE(ListText("##GroupFilter").find("deleting[100B]holidayclip.mp4"), std::string::npos);
  const fs::path taken = tree.Root() / "d7/holiday clip.mp4";
  Write(tree.Root() / "d7/newer", "newer");
  fs::rename(tree.Root() / "d7/newer", taken);
  Commands::Async::Start();
  ASSERT_TRUE(WorkersDone());
  std::vector<size_t> sizes;
  for (int frame = 0; frame < 4; ++frame) {
    gui.Frame();
    sizes.push_back(holiday());
  }
  EXPECT_EQ(sizes, (std::vector<size_t>{14, 6, 3, 3}));
  for (int i = 0; i < 20; ++i) {
    if (i == 7) continue;
    EXPECT_FALSE(fs::exists(tree.Root() / ("d" + std::to_string(i)) / "holiday clip.mp4"));
  }
  EXPECT_EQ(Bytes(taken), "newer");
  EXPECT_NE(ListText("##GroupFilter").find("cannotdelete:anotherfilehasthatnamenow"), std::string::npos)
      << ListText("##GroupFilter");

  // One file with an odd name, deleted without a question (switched off).
  const TagGroups::Entry* bad = nullptr;
  for (const auto& group : GroupingTab.model.Groups())
    if (group.tag.starts_with("bad")) bad = group.items.at(0);
  ASSERT_NE(bad, nullptr);
  GroupingTab.DeleteFile(bad);
  EXPECT_EQ(shell.questions.size(), 1u);
  gui.Frame();
  ASSERT_TRUE(WorkersDone());
  gui.Frame();
  EXPECT_FALSE(fs::exists(tree.Root() / "Other" / PathOf("holiday bad" + kOddNamePiece + ".mkv")));
  EXPECT_EQ(holiday(), 2u);
  EXPECT_TRUE(fs::exists(tree.Root() / "Other/holiday notes.txt"));
}

TEST_F(GroupingTabs, SimilarityListsDuplicatesDeletesAndSkips) {
  tree.File("Cat video [X9yZ8wV7uT6].mp4", 10);
  tree.File("old.stuff/Cat video - X9yZ8wV7uT6.webm", 10);
  tree.File("Cat video copy X9yZ8wV7uT6.mkv", 10);
  tree.File("Dog [Ab1Cd2Ef3Gh].mp4", 10);
  tree.File("Dog again Ab1Cd2Ef3Gh.mp4", 10);
  tree.File("alone Zz9Yy8Xx7Ww.mp4", 10);
  tree.File("Folder Of Short Names/\xe7\x8c\xab.mp4", 10);  // no identifier: no copies of each other
  tree.File("Folder Of Short Names/\xe7\x8a\xac.mp4", 10);
  tree.File("Folder Of Short Names/----.mkv", 10);
  Pick(0x72, [&] { return !SimilarityTab.scanner.scanning && SimilarityTab.model.Candidates().size() == 2; });
  std::string list = ListText("##Filter");
  EXPECT_NE(list.find("[10B]Catvideo[X9yZ8wV7uT6].mp4"), std::string::npos) << list;  // below the root
  EXPECT_NE(list.find("old.stuff/Catvideo-X9yZ8wV7uT6.webm"), std::string::npos) << list;
  EXPECT_EQ(list.find("alone"), std::string::npos);
  EXPECT_EQ(list.find("FolderOfShortNames"), std::string::npos) << list;

  // "-mp4" hides a group only when every path holds it.
  std::snprintf(SimilarityTab.similarityFilter.InputBuf, sizeof SimilarityTab.similarityFilter.InputBuf, "%s", "-mp");
  ASSERT_TRUE(gui.Click("##similarityFilter"));
  gui.TypeText("4");
  gui.Frames(2);
  list = ListText("##Filter");
  EXPECT_NE(list.find("X9yZ8wV7uT6"), std::string::npos) << list;
  EXPECT_EQ(list.find("Ab1Cd2Ef3Gh"), std::string::npos) << list;

  // Delete from the group of three (the last row's button), answered No, then Yes.
  shell.answer = platform::Answer::No;
  ASSERT_TRUE(gui.Click(ICON_DELETE));
  EXPECT_EQ(shell.questions.size(), 1u);
  EXPECT_EQ(SimilarityTab.model.Candidates()[0]->size(), 3u);
  shell.answer = platform::Answer::Yes;
  ASSERT_TRUE(gui.Click(ICON_DELETE));
  const std::string deleted = SimilarityTab.CurrentPath;
  ASSERT_TRUE(WorkersDone());
  EXPECT_FALSE(fs::exists(deleted));
  gui.Frame();
  list = ListText("##Filter");
  EXPECT_NE(list.find("X9yZ8wV7uT6"), std::string::npos);  // two left: still listed
  // With confirmations off, the next delete acts at the first click; one
  // file left and the group is gone.
  SkipConfirmations = true;
  ASSERT_TRUE(gui.Click(ICON_DELETE));
  ASSERT_TRUE(WorkersDone());
  gui.Frame();
  EXPECT_EQ(ListText("##Filter").find("X9yZ8wV7uT6"), std::string::npos);
  EXPECT_EQ(shell.questions.size(), 2u);

  // Skip takes a group off the list and touches no file.
  SimilarityTab.similarityFilter.Clear();
  ASSERT_TRUE(gui.Click("##similarityFilter"));
  gui.TypeText("Dog");
  gui.Frames(2);
  ASSERT_TRUE(gui.Click(ICON_NEXT_FILE " Skip"));
  gui.Frame();
  EXPECT_EQ(ListText("##Filter").find("Ab1Cd2Ef3Gh"), std::string::npos);
  EXPECT_TRUE(fs::exists(tree.Root() / "Dog [Ab1Cd2Ef3Gh].mp4"));
  EXPECT_TRUE(fs::exists(tree.Root() / "Dog again Ab1Cd2Ef3Gh.mp4"));
}

// A root whose name is not UTF-8 and a name holding line breaks: rows show
// the path below the root on one line each.
#ifndef _WIN32  // Windows names hold no newline
TEST_F(GroupingTabs, SimilarityRowsBelowAnOddRootStayOnOneLine) {
  const std::string root = tree.Folder("r\xffoot");
  tree.File("r\xffoot/first\nsecond [Ab1Cd2Ef3Gh].mp4", 10);
  tree.File("r\xffoot/sub/other Ab1Cd2Ef3Gh.mkv", 10);
  tree.File("r\xffoot/x [Zz9Yy8Xx7Ww].mp4", 10);
  tree.File("r\xffoot/y [Zz9Yy8Xx7Ww].webm", 10);
  gui.Tap(0x72);
  gui.Frame();
  shell.folders.push_back(root);
  ASSERT_TRUE(gui.Click(ICON_SCAN_ROOT " Scan Root Folder"));
  ASSERT_TRUE(FramesUntil(gui, [&] { return !SimilarityTab.scanner.scanning && SimilarityTab.model.Candidates().size() == 2; }));
  gui.Frames(2);
  const std::string list = ListText("##Filter");
  EXPECT_NE(list.find("[10B]first\xEF\xBF\xBDsecond[Ab1Cd2Ef3Gh].mp4"), std::string::npos) << list;
  EXPECT_NE(list.find("[10B]sub/otherAb1Cd2Ef3Gh.mkv"), std::string::npos) << list;
  EXPECT_EQ(list.find("oot/"), std::string::npos) << list;  // nothing of the root
  // Both groups are drawn in full: the second one's rows are not covered.
  EXPECT_NE(list.find("[10B]y[Zz9Yy8Xx7Ww].webm"), std::string::npos) << list;
}
#endif

// Names of one file (a link and its target, two hard links) are never
// offered as duplicates of each other, and links say where they point. A
// deletion in one tab takes the file off every tab's lists, and stops the
// player only when it shows that very file.
TEST_F(GroupingTabs, LinksAreNoDuplicatesAndEveryTabHearsOfADeletion) {
  tree.File("Cat [X9yZ8wV7uT6].mp4", 10);
  if (!MakeLink("Cat [X9yZ8wV7uT6].mp4", tree.Root() / "Cat link X9yZ8wV7uT6.mp4", false))
    GTEST_SKIP() << "this system makes no links here";
  fs::create_hard_link(tree.Root() / "Cat [X9yZ8wV7uT6].mp4", tree.Root() / "Cat hard X9yZ8wV7uT6.mkv");
  tree.File("Dog [Ab1Cd2Ef3Gh].mp4", 10);
  fs::copy_file(Media("h264_aac.mp4"), tree.Root() / "Dog copy Ab1Cd2Ef3Gh.mp4");
  ASSERT_TRUE(MakeLink("Dog [Ab1Cd2Ef3Gh].mp4", tree.Root() / "Dog link Ab1Cd2Ef3Gh.mp4", false));
  Pick(0x72, [&] { return !SimilarityTab.scanner.scanning && SimilarityTab.model.Candidates().size() == 2; });
  std::string list = ListText("##Filter");
  EXPECT_EQ(list.find("X9yZ8wV7uT6"), std::string::npos) << list;  // one file under three names
  EXPECT_NE(list.find("[link][10B]DoglinkAb1Cd2Ef3Gh.mp4"), std::string::npos) << list;
  ASSERT_TRUE(gui.Hover("[link]"));
  gui.Frames(2);  // a tooltip takes its size on its second frame
  EXPECT_EQ(gui.Tooltip(), "LinktoDog[Ab1Cd2Ef3Gh].mp4");
  Pick(0x73, [&] { return !GroupingTab.scanner.scanning && GroupingTab.model.Files() == 6 && GroupingTab.model.Queued() == 0; });

  // The copy plays from Similarity; "Dog [Ab1Cd2Ef3Gh].mp4" goes from Grouping.
  const std::string copy = PathText(tree.Root() / "Dog copy Ab1Cd2Ef3Gh.mp4");
  Player.Play(copy, kSimilarityTab);
  ASSERT_TRUE(Player.MediaLoaded());
  SkipConfirmations = true;
  ASSERT_TRUE(gui.Click("ab1cd2ef3gh"));
  gui.Frame();
  EXPECT_NE(ListText("##GroupFilter").find("[link][10B]DoglinkAb1Cd2Ef3Gh.mp4"), std::string::npos);
  const TagGroups::Entry* dog = GroupingTab.model.Find(tree.RootString() + "/Dog [Ab1Cd2Ef3Gh].mp4");
  ASSERT_NE(dog, nullptr);
  GroupingTab.DeleteFile(dog);
  EXPECT_TRUE(Player.MediaLoaded());  // another file: it plays on
  EXPECT_EQ(Player.CurrentPath(), copy);
  ASSERT_TRUE(WorkersDone());
  gui.Frames(2);
  EXPECT_FALSE(fs::exists(tree.Root() / "Dog [Ab1Cd2Ef3Gh].mp4"));
  EXPECT_EQ(ListText("##GroupFilter").find("Dog[Ab1Cd2Ef3Gh]"), std::string::npos);
  const auto* group = SimilarityTab.model.GroupOf(copy);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->size(), 2u);  // the copy and the link: gone from Similarity too
  for (const FileItem& item : *group) EXPECT_NE(item.text.find("Dog "), 0u);
  // A link met before its target marks itself, never the real file.
  DuplicateGroups order;
  std::vector<std::string> paths = {"/r/link Ab1Cd2Ef3Gh.mp4", "/r/real Ab1Cd2Ef3Gh.mp4", "/r/hard Ab1Cd2Ef3Gh.mkv"};
  std::vector<uint64_t> none(3, 10);
  std::vector<FileMark> marks = {{{1, 7}, true}, {{1, 7}, false}, {{1, 7}, false}};
  order.Queue(paths, none, &marks);
  order.Index(std::chrono::seconds(1));
  const DuplicateGroups::Items& names = *order.GroupOf("/r/real Ab1Cd2Ef3Gh.mp4");
  ASSERT_EQ(names.size(), 3u);
  EXPECT_FALSE(DuplicateGroups::HoldsDuplicates(names));
  EXPECT_EQ(DuplicateGroups::SameFileBefore(names, 1), nullptr);
  EXPECT_EQ(DuplicateGroups::SameFileBefore(names, 2), &names[1]);

  // Deleting the file that plays stops it.
  GroupingTab.DeleteFile(GroupingTab.model.Find(copy));
  EXPECT_FALSE(Player.MediaLoaded());
  ASSERT_TRUE(WorkersDone());
  gui.Frame();
  EXPECT_EQ(group->size(), 1u);
}

// A disk without a trash: the tab asks once for all the files that came
// back refused, once the last has, No keeps them with the reason on their rows, Yes deletes
// them for good.
TEST_F(GroupingTabs, DeletionsOnADiskWithoutTrashAskOnceBeforeGoingForGood) {
  SmallDisk memory(tree.Root() / "memory", 1 << 20);
  if (!memory.mounted) GTEST_SKIP() << SmallDisk::kWhyNot;
  for (const char* name : {"party clip.mp4", "party song.mp3", "party photo.jpg"}) Write(memory.path / name, name);
  Pick(0x73, [&] { return !GroupingTab.scanner.scanning && GroupingTab.model.Files() == 3 && GroupingTab.model.Queued() == 0; });
  ASSERT_TRUE(gui.Click("party"));
  gui.Frame();
  const auto deleteAll = [&](platform::Answer forGood) {
    shell.answer = platform::Answer::Yes;
    EXPECT_TRUE(gui.Click(ICON_DELETE " Delete All Files"));
    shell.answer = forGood;
    // Outcomes come over several frames; the question comes once, after the last.
    for (int frame = 0; frame < 400 && Commands::Async::Pending() != 0; ++frame) gui.Frame();
    gui.Frame();
    EXPECT_TRUE(WorkersDone());
    gui.Frames(3);
  };
  deleteAll(platform::Answer::No);
  ASSERT_EQ(shell.questions.size(), 2u);
  EXPECT_EQ(shell.questions[1], "These 3 files cannot be moved to the " + std::string(platform::TrashName()) +
                                    ". Delete them for good?|Delete For Good");
  for (const char* name : {"party clip.mp4", "party song.mp3", "party photo.jpg"})
    EXPECT_EQ(Bytes(memory.path / name), name);
  const std::string list = ListText("##GroupFilter");
  size_t notes = 0;
  for (size_t at = list.find("cannotdelete:thatdiskhasnotrash"); at != std::string::npos;
       at = list.find("cannotdelete:thatdiskhasnotrash", at + 1))
    ++notes;
  EXPECT_EQ(notes, 3u) << list;

  deleteAll(platform::Answer::Yes);
  ASSERT_EQ(shell.questions.size(), 4u);
  EXPECT_EQ(shell.questions[3], shell.questions[1]);
  EXPECT_TRUE(fs::is_empty(memory.path));
  EXPECT_EQ(ListText("##GroupFilter").find("party("), std::string::npos) << ListText("##GroupFilter");
}

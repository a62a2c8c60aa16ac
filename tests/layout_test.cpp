// The content tabs as they are laid out at the smallest and the largest
// font size, and what they say when they have nothing to list: driven
// through the window's own drawing on real folders.
#include <gtest/gtest.h>
#include <imgui_internal.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "app/tabs.h"
#include "file_work.h"
#include "gui_harness.h"
#include "kit/icons.h"
#include "kit/settings.h"
#include "player/media_player.h"
#include "scripted_shell.h"
#include "temp_tree.h"
#include "test_system.h"
#include "test_media.h"
#include "test_voice.h"

namespace fs = std::filesystem;

namespace {

constexpr int kF1 = 0x70;
const std::string kScan = ICON_SCAN_ROOT " Scan Root Folder";

std::string Compact(std::string text) {
  std::erase(text, ' ');
  return text;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\n  " + line;
  return text;
}

class LayoutTest : public WithFileWorkers {
 protected:
  void TearDown() override {
    WithFileWorkers::TearDown();
    for (Base* tab : std::initializer_list<Base*>{&ViewerTab, &ClassifierTab, &SimilarityTab, &GroupingTab}) {
      tab->scanner.Join();
      tab->Reset();
    }
    ViewerTab.model.entriesFilter.Clear();
    GroupingTab.groupFilter.Clear();
    SimilarityTab.similarityFilter.Clear();
    Player.Unload();
    SaveFontSize(0);
  }
  // Shows the tab (F1 + index) and, when given, chooses its root and waits
  // until the walk has ended and its last batch is in the lists.
  void Open(int tab, const std::string& root = {}) {
    gui.Tap(kF1 + tab);
    gui.Frames(2);
    if (root.empty()) return;
    shell.folders.push_back(root);
    ASSERT_TRUE(gui.Click(kScan));
    Base* const contentTabs[] = {&ViewerTab, &ClassifierTab, &SimilarityTab, &GroupingTab};
    Base& shown = *contentTabs[tab];
    ASSERT_TRUE(FramesUntil(gui, [&] { return !shown.scanner.scanning && shown.scanner.fileQueue.Size() == 0; }));
    ASSERT_TRUE(FramesUntil(gui, [&] { return gui.Drawn(kScan); }));  // the spinner has stopped
    gui.Frames(3);
  }
  std::string Text() {
    std::string text;
    for (const ImGuiWindow* window : GImGui->Windows)
      if (window->Active && !(window->Flags & ImGuiWindowFlags_Tooltip)) text += gui.WindowText(window->Name);
    return text;
  }

  TestVoiceScope voices;
  ScriptedShell shell;
  TempTree tree;
  GuiHarness gui;
};

// Every button, slider and box is whole in every content tab, with a file
// playing, at X-Small and XX-Large; rows of buttons wrap instead of
// running past their pane, and only lists have scrollbars.
TEST_F(LayoutTest, EveryControlIsWholeAtTheSmallestAndLargestFontSize) {
  const std::string longName = "A really very long title recorded live at the big hall one summer 1234567890123456789";
  tree.Folder("Sorted");
  tree.Folder("a folder name long enough to be wider than the whole pane at the largest size of all");
  fs::copy_file(Media("h264_aac.mp4"), tree.Root() / (longName + ".mp4"));
  fs::copy_file(Media("h264_aac.mp4"), tree.Root() / "Sorted" / (longName + ".mkv"));
  fs::copy_file(Media("fmt_mp3.mp3"), tree.Root() / "clip 1 X9yZ8wV7uT6.mp3");
  fs::copy_file(Media("fmt_mp3.mp3"), tree.Root() / "Sorted" / "clip 2 X9yZ8wV7uT6.mp3");
  gui.Frame();
  for (int tab = 0; tab < 4; ++tab) Open(tab, tree.RootString());

  for (int size : {0, 5}) {
    SaveFontSize(size);
    gui.Frames(3);
    for (int tab = 0; tab < 4; ++tab) {
      Open(tab);
      if (tab == 3) {
        ASSERT_TRUE(gui.Click("1234567890123456789"));  // open the group
        gui.Frames(2);
      }
      ASSERT_TRUE(gui.Click(tab < 2 ? ICON_PLAY " Play" : ICON_PLAY)) << "tab " << tab;
      gui.Frames(3);
      EXPECT_TRUE(gui.LayoutFaults().empty()) << "tab " << tab << " at size " << size << ":"
                                              << Joined(gui.LayoutFaults());
      // The time and the volume are drawn whole on their sliders.
      const std::string text = Compact(Text());
      EXPECT_TRUE(std::regex_search(text, std::regex("\\d\\d:\\d\\d:\\d\\d/\\d\\d:\\d\\d:\\d\\d")))
          << "tab " << tab << " at size " << size << ": " << text;
      EXPECT_TRUE(std::regex_search(text, std::regex("Volume:\\d+%"))) << "tab " << tab << " at size " << size;
      if (tab == 3) {
        ASSERT_TRUE(gui.Click("1234567890123456789"));  // and close it again
      }
    }
    Open(4);  // Settings: its long option labels wrap
    EXPECT_TRUE(gui.LayoutFaults().empty()) << "Settings at size " << size << ":" << Joined(gui.LayoutFaults());
  }
  // At the largest size the Classifier's long folder button keeps its
  // end, and its actions wrap onto more rows within the pane; with the
  // rename row open too, the folder buttons keep two rows' room (the pane
  // scrolls to them).
  Open(1);
  const std::string folders = Compact(gui.WindowText("##Folders"));
  EXPECT_NE(folders.find("Sorted..."), std::string::npos) << folders;
  EXPECT_NE(folders.find("largestsizeofall"), std::string::npos) << folders;
  EXPECT_EQ(folders.find("afoldername"), std::string::npos) << folders;
  EXPECT_NE(Compact(gui.WindowText("##leftclassify")).find("RenameFile"), std::string::npos);
  ASSERT_TRUE(gui.Click(ICON_RENAME " Rename File"));
  gui.Frames(2);
  bool seen = false;
  for (const ImGuiWindow* window : GImGui->Windows) {
    if (!window->Active || std::string(window->Name).find("/##Folders_") == std::string::npos) continue;
    seen = true;
    EXPECT_GE(window->Size.y, 2 * ImGui::GetFrameHeightWithSpacing());
  }
  EXPECT_TRUE(seen);
}

// A root with nothing in it, a filter that hides everything and a group
// list whose files are all gone each say so; the root shows once chosen,
// and a long one keeps its end.
TEST_F(LayoutTest, EmptyListsSayWhy) {
  const std::string empty = tree.Folder(std::string(200, 'x') + " nothing here");
  const std::string root = Compact(empty);
  gui.Frame();
  for (int tab = 0; tab < 4; ++tab) {
    Open(tab, empty);
    const std::string text = Compact(Text());
    EXPECT_NE(text.find("Nofilesfoundin..."), std::string::npos) << "tab " << tab << ": " << text;
    EXPECT_NE(text.find("xxxnothinghere"), std::string::npos) << "tab " << tab << ": " << text;
    EXPECT_EQ(text.find(root), std::string::npos) << "tab " << tab << ": " << text;  // too long for the line
  }

  // Files, but no copies among them; then a filter that passes nothing.
  tree.File("photos/cat.jpg", 10);
  tree.File("photos/dog.jpg", 10);
  const std::string photos = PathText(tree.Root() / "photos");
  Open(0, photos);
  Open(2, photos);
  EXPECT_NE(Compact(Text()).find("Noduplicatesin" + Compact(photos)), std::string::npos) << Text();
  Open(0);
  ASSERT_TRUE(gui.Click("##entriesFilter"));
  gui.TypeText("zebra");
  gui.Frames(3);
  EXPECT_NE(Compact(Text()).find("Nofilematchesthefilter"), std::string::npos) << Text();

  // Every file of the groups deleted: the list says none is left, with a
  // filter typed too, and so does the Viewer.
  Open(3, photos);
  shell.answer = platform::Answer::Yes;
  ASSERT_TRUE(gui.Click("jpg"));
  gui.Frames(2);
  ASSERT_TRUE(gui.Click(ICON_DELETE " Delete All Files"));
  ASSERT_TRUE(FramesUntil(gui, [&] {
    return Compact(Text()).find("Nofilesleftin" + Compact(photos)) != std::string::npos;
  })) << Text();
  EXPECT_FALSE(fs::exists(tree.Root() / "photos/cat.jpg") || fs::exists(tree.Root() / "photos/dog.jpg"));
  ASSERT_TRUE(gui.Click("##groupFilter"));
  gui.TypeText("zebra");
  gui.Frames(3);
  EXPECT_NE(Compact(Text()).find("Nofilesleftin" + Compact(photos)), std::string::npos) << Text();
  // The Viewer heard of the deletions: its files are gone, not never found.
  Open(0);
  EXPECT_NE(Compact(Text()).find("Nofilesleftin" + Compact(photos)), std::string::npos) << Text();
}

// The walk's end shows where the groups are: the spinner turns until the
// last files found are in them, and only then does the scan button return.
TEST_F(LayoutTest, TheSpinnerTurnsUntilTheLastBatchIsInTheGroups) {
  tree.File("first clip.mp4", 10);
  gui.Frame();
  Open(3, tree.RootString());
  std::vector<std::string> paths;
  for (int i = 0; i < 60000; ++i) paths.push_back(tree.RootString() + "/late clip " + std::to_string(i) + ".mp4");
  std::vector<uint64_t> sizes(paths.size(), 10);
  GroupingTab.model.Queue(paths, sizes);  // as the walk's last batch comes in
  gui.Frame();
  EXPECT_FALSE(gui.Drawn(kScan));
  ASSERT_TRUE(FramesUntil(gui, [&] { return gui.Drawn(kScan); }));
  EXPECT_EQ(GroupingTab.model.Queued(), 0u);
  EXPECT_EQ(GroupingTab.model.maxGroupSize, 60000);
}

}  // namespace

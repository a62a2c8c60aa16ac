// The Viewer: its model (next, random, the two filters) and the tab driven
// through the headless GUI (keys, filter box, new roots).
#include <gtest/gtest.h>
#include <imgui_internal.h>

#include <chrono>
#include <thread>

#include "kit/icons.h"
#include "app/tabs.h"
#include "gui_harness.h"
#include "player/media_player.h"
#include "scripted_shell.h"
#include "temp_tree.h"
#include "test_voice.h"
#include "viewer/viewer_model.h"

namespace {

ViewerModel ModelOf(const std::string& root, std::vector<std::string> paths) {
  ViewerModel model;
  model.Append(paths, root.size() + 1);
  return model;
}

void SetFilter(ViewerModel& model, const char* text) {
  std::snprintf(model.entriesFilter.InputBuf, sizeof model.entriesFilter.InputBuf, "%s", text);
  model.FilterChanged();
}

}  // namespace

TEST(ViewerModel, NextFileStepsThroughPassingEntriesWithoutWrapping) {
  auto model = ModelOf("/m", {"/m/a.mp4", "/m/b.jpg", "/m/c.mp4", "/m/d.mp4"});
  EXPECT_EQ(model.NextFile(""), 0u);  // nothing current: the first
  EXPECT_EQ(model.NextFile("/m/a.mp4"), 1u);
  EXPECT_EQ(model.NextFile("/m/d.mp4"), std::nullopt);  // the last: no wrap-around
  SetFilter(model, "mp4");
  EXPECT_EQ(model.NextFile("/m/a.mp4"), 2u);  // b.jpg is skipped
  EXPECT_EQ(model.NextFile("/m/b.jpg"), 2u);  // current hidden by the filter: on from its place
  EXPECT_EQ(model.NextFile("/m/gone.mp4"), std::nullopt);
  SetFilter(model, "-c.mp4,-d.mp4");
  EXPECT_EQ(model.NextFile("/m/a.mp4"), 1u);
  EXPECT_EQ(model.NextFile("/m/b.jpg"), std::nullopt);
  EXPECT_EQ(model.NextFile("/m/c.mp4"), std::nullopt);
}

// A slow walk of a big tree is collected a little at a time: the list must
// grow by doubling, not move every entry at every collection.
TEST(ViewerModel, AppendingCostsWhatIsNew) {
  ViewerModel model;
  int moves = 0;
  const ViewerEntry* storage = nullptr;
  for (int i = 0; i < 20000; ++i) {
    std::vector<std::string> one = {"/m/" + std::to_string(i) + ".mp4"};
    model.Append(one, 3);
    if (model.entries.data() != storage) ++moves;
    storage = model.entries.data();
  }
  EXPECT_LT(moves, 40);
}

// An excluding term excludes wherever it stands among the terms.
TEST(ViewerModel, ExcludingTermsWorkInAnyPlace) {
  auto model = ModelOf("/m", {"/m/odd names/x.mp4", "/m/y.mp4", "/m/z.jpg"});
  for (const char* filter : {"mp4,-odd", "-odd,mp4", " -ODD , mp4"}) {
    SetFilter(model, filter);
    EXPECT_EQ(model.Listed(), (std::vector<size_t>{1})) << filter;
    EXPECT_EQ(model.NextFile(""), 1u) << filter;
    EXPECT_EQ(model.PlayRandom([] { return 0; }), 1u) << filter;
  }
  SetFilter(model, "-odd");  // only excluding: everything else passes
  EXPECT_EQ(model.Listed(), (std::vector<size_t>{1, 2}));
}

TEST(ViewerModel, PlayRandomDrawsThirtyBitsAmongPassingEntries) {
  auto model = ModelOf("/m", {"/m/a.mp4", "/m/b.jpg", "/m/c.mp4", "/m/d.mp4", "/m/e.mp4"});
  SetFilter(model, "zzz");
  int calls = 0;
  const auto counting = [&] { return ++calls, 7; };
  EXPECT_EQ(model.PlayRandom(counting), std::nullopt);
  EXPECT_EQ(calls, 0);
  SetFilter(model, "jpg");
  for (int value : {0, 1, 32767}) EXPECT_EQ(model.PlayRandom([=] { return value; }), 1u);  // the only one
  SetFilter(model, "mp4");  // a, c, d, e
  std::vector<int> draws = {5, 1};  // low bits first: (1 << 15 | 5) % 4 = 1 -> c
  size_t next = 0;
  EXPECT_EQ(model.PlayRandom([&] { return draws[next++]; }), 2u);
  draws = {32767, 32767};  // 2^30 - 1, % 4 = 3 -> e
  next = 0;
  EXPECT_EQ(model.PlayRandom([&] { return draws[next++]; }), 4u);
}

TEST(ViewerModel, ListNextAndRandomFilterThePathBelowTheRoot) {
  auto model = ModelOf("/media/Holiday", {"/media/Holiday/beach.mp4", "/media/Holiday/sub/pool 100%.mp4"});
  EXPECT_EQ(model.entries[1].relative, "sub/pool 100%.mp4");
  // The list, Next and Random all filter the path below the root.
  SetFilter(model, "Holiday");  // only in the root
  EXPECT_TRUE(model.Listed().empty());
  EXPECT_EQ(model.NextFile(""), std::nullopt);
  EXPECT_EQ(model.PlayRandom([] { return 1; }), std::nullopt);
  SetFilter(model, "-Holiday");
  EXPECT_EQ(model.Listed(), (std::vector<size_t>{0, 1}));
  EXPECT_EQ(model.NextFile(""), 0u);
  EXPECT_EQ(model.PlayRandom([] { return 1; }), 1u);
  SetFilter(model, "sub");
  EXPECT_EQ(model.Listed(), (std::vector<size_t>{1}));
  // Entries that arrive later are filtered as they come.
  std::vector<std::string> more = {"/media/Holiday/sub/x.mp4", "/media/Holiday/y.mp4"};
  model.Append(more, 15);
  EXPECT_EQ(model.Listed(), (std::vector<size_t>{1, 2}));
  // A root whose name is not valid UTF-8 still gives clean relative paths.
  auto odd = ModelOf("/m/\xFF", {"/m/\xFF/a.mp4"});
  EXPECT_EQ(odd.entries[0].relative, "a.mp4");
  EXPECT_EQ(odd.entries[0].text, "/m/\xEF\xBF\xBD/a.mp4");
}

class ViewerTabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ViewerTab.Reset();
    ViewerTab.model.entriesFilter.Clear();
    ViewerTab.model.FilterChanged();
    for (const char* name : {"a.mp4", "b.mp4", "c d,e%f.mp4"}) tree.File(std::string("clips/") + name, 10);
    other.File("other.mp4");
  }
  void TearDown() override {
    ViewerTab.scanner.Join();
    ViewerTab.Reset();
    ViewerTab.draw15 = nullptr;
    Player.Unload();
  }
  // Picks a root through the scan button and waits for its files.
  void PickRoot(const TempTree& root, size_t files) {
    shell.folders = {root.RootString()};
    ASSERT_TRUE(gui.Click(ICON_SCAN_ROOT " Scan Root Folder"));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ViewerTab.model.entries.size() < files && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      gui.Frame();
    }
    gui.Frame();
  }
  TestVoiceScope voices;
  ScriptedShell shell;
  TempTree tree, other;
  GuiHarness gui;
};

TEST_F(ViewerTabTest, KeysActWhileShownButNotWhileTypingInTheFilter) {
  gui.Tap(0x70);  // F1
  gui.Frame();
  PickRoot(tree, 3);
  ASSERT_EQ(ViewerTab.model.entries.size(), 3u);
  EXPECT_EQ(ViewerTab.CurrentPath, "");  // nothing plays until the user acts
  gui.Tap('2');
  gui.Frame();
  const std::string first = ViewerTab.model.entries[0].path;
  EXPECT_EQ(ViewerTab.CurrentPath, first);
  EXPECT_EQ(Player.CurrentPath(), first);
  gui.Tap('3');
  gui.Frame();
  EXPECT_EQ(shell.revealed, (std::vector<std::string>{first}));
  int draws = 0;
  ViewerTab.draw15 = [&draws] { return draws++ == 0 ? 1 : 0; };  // low 1, high 0: 1 % 3 = 1
  gui.Tap('4');
  gui.Frame();
  EXPECT_EQ(ViewerTab.CurrentPath, ViewerTab.model.entries[1].path);

  // Typing "2" into the filter box filters; it does not step.
  ASSERT_TRUE(gui.Click("##entriesFilter"));
  const std::string before = ViewerTab.CurrentPath;
  gui.Tap('2');
  gui.TypeText("2");
  gui.Frame();
  gui.Frame();
  EXPECT_EQ(ViewerTab.CurrentPath, before);
  EXPECT_STREQ(ViewerTab.model.entriesFilter.InputBuf, "2");
  EXPECT_TRUE(ViewerTab.model.Listed().empty());

  // On another tab the Viewer's keys do nothing.
  ViewerTab.model.entriesFilter.Clear();
  ViewerTab.model.FilterChanged();
  gui.Tap(0x74);  // F5
  gui.Frame();
  gui.Tap('2');
  gui.Frame();
  EXPECT_EQ(ViewerTab.CurrentPath, before);
}

TEST_F(ViewerTabTest, NewRootReplacesTheList) {
  gui.Tap(0x70);
  gui.Frame();
  PickRoot(tree, 3);
  ASSERT_EQ(ViewerTab.model.entries.size(), 3u);
  PickRoot(other, 1);
  ASSERT_EQ(ViewerTab.model.entries.size(), 1u);
  EXPECT_EQ(ViewerTab.model.entries[0].relative, "other.mp4");
  EXPECT_EQ(ViewerTab.RootPath(), other.RootString());
}

// A path near the file system's limit shows in full, its last characters
// (several bytes each) whole.
TEST_F(ViewerTabTest, LongPathsShowInFull) {
  std::string deep;
  while (tree.RootString().size() + deep.size() < 3500) deep += "Ünïcödé-folder-" + std::to_string(deep.size()) + "/";
  const std::string name = deep + "ÉndÖfNäme.mp4";
  tree.File(name);
  ImGui::GetIO().DisplaySize = ImVec2(80000, 800);  // wide enough for the whole row on screen
  gui.Tap(0x70);
  gui.Frame();
  PickRoot(tree, 4);
  ASSERT_EQ(ViewerTab.model.entries.size(), 4u);
  std::string text;
  for (int i = 0; i < 30 && text.find("ÉndÖfNäme.mp4]") == std::string::npos; ++i) {
    gui.Frame();
    text.clear();
    for (const ImGuiWindow* window : GImGui->Windows)
      if (window->Active && std::string(window->Name).find("##entriesViewer") != std::string::npos)
        text += gui.WindowText(window->Name);
  }
  std::string expected = "[" + name + "]";
  std::erase(expected, ' ');
  EXPECT_NE(text.find(expected), std::string::npos);

  // In a window of the usual size the row keeps its end, the file's name,
  // after "..."; hovering it shows the whole path.
  ImGui::GetIO().DisplaySize = ImVec2(1280, 800);
  gui.Frames(2);
  const std::string cut = gui.WindowText("##entriesViewer");
  EXPECT_NE(cut.find("[..."), std::string::npos) << cut;
  EXPECT_NE(cut.find("/ÉndÖfNäme.mp4]"), std::string::npos) << cut;
  EXPECT_EQ(cut.find("Ünïcödé-folder-0/"), std::string::npos) << cut;
  EXPECT_TRUE(gui.Tooltip().empty());
  ASSERT_TRUE(gui.Hover("[" + name + "]", 0.01f));
  gui.Frames(2);
  std::string whole = tree.RootString() + "/" + name;
  std::erase(whole, ' ');
  EXPECT_EQ(gui.Tooltip(), whole);
}

// Names in other scripts, as downloads are often named: every letter shows
// in the list a moment after the walk finds it, none as U+FFFD.
TEST_F(ViewerTabTest, NamesInOtherScriptsShowTheirOwnLetters) {
  const std::vector<std::string> names = {"日本語のタイトル [dQw4w9WgXcQ].mp4", "한국어 노래.mkv", "เพลงไทย.mp3",
                                          "שיר עברי.webm", "Ελληνικά.jpg"};
  for (const std::string& name : names) tree.File("名前/" + name, 10);
  gui.Tap(0x70);
  gui.Frame();
  PickRoot(tree, 8);
  ASSERT_EQ(ViewerTab.model.entries.size(), 8u);
  const auto listText = [&] {
    std::string text;
    for (const ImGuiWindow* window : GImGui->Windows)
      if (window->Active && std::string(window->Name).find("##entriesViewer") != std::string::npos)
        text += gui.WindowText(window->Name);
    return text;
  };
  const auto everyNameShown = [&] {
    const std::string text = listText();
    for (std::string name : names) {
      std::erase(name, ' ');
      if (text.find("[名前/" + name + "]") == std::string::npos) return false;
    }
    return true;
  };
  EXPECT_TRUE(FramesUntil(gui, everyNameShown)) << listText();
  EXPECT_EQ(listText().find("\uFFFD"), std::string::npos) << listText();
}

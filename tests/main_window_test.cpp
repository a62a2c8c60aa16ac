#include <gtest/gtest.h>
#include <imgui_internal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "views/about_tab.h"
#include "kit/folder_chooser.h"
#include "kit/fonts.h"
#include "kit/frame_clock.h"
#include "kit/icons.h"
#include "kit/settings.h"
#include "app/tabs.h"
#include "gui_harness.h"
#include "platform/settings_store.h"
#include "scripted_shell.h"
#include "temp_tree.h"
#include "test_system.h"

namespace {

constexpr int kF1 = 0x70, kF3 = 0x72, kF5 = 0x74, kF6 = 0x75;
const std::string kViewer = ICON_VIEWER_TAB "Viewer";
const std::string kSimilarity = ICON_SIMILARITY_TAB "Similarity";
const std::string kSettings = ICON_SETTINGS_TAB "Settings";
const std::string kAbout = ICON_ABOUT_TAB "About";

// The label of the tab the bar shows as selected.
std::string SelectedTab() {
  ImGuiContext& g = *GImGui;
  for (int i = 0; i < g.TabBars.GetMapSize(); ++i) {
    const ImGuiTabBar* bar = g.TabBars.TryGetMapData(i);
    if (!bar) continue;
    for (const ImGuiTabItem& tab : bar->Tabs)
      if (tab.ID == bar->SelectedTabId) return bar->GetTabName(&tab);
  }
  return {};
}

std::string WindowTextOf(const GuiHarness& gui, const char* window) { return gui.WindowText(window); }

std::string WithoutSpaces(std::string text) {
  std::erase(text, ' ');
  return text;
}

// HOME set for the test's lifetime (where the own chooser opens).
class ScopedHome {
 public:
  explicit ScopedHome(const std::string& home) : saved(Get("HOME")), savedProfile(Get("USERPROFILE")) {
    SetEnvironment("HOME", home);
    SetEnvironment("USERPROFILE", home);  // Windows' own name for it
  }
  ~ScopedHome() {
    SetEnvironment("HOME", saved);
    SetEnvironment("USERPROFILE", savedProfile);
  }

 private:
  static std::string Get(const char* name) { return std::getenv(name) ? std::getenv(name) : ""; }
  std::string saved, savedProfile;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ForgetSettings(); }
  // Every test leaves the Viewer as it found it: no walk, no root.
  void TearDown() override {
    CancelFolderChooser();  // one failed test leaves no chooser waiting for the next
    SaveFontSize(0);
    ViewerTab.scanner.Join();
    ViewerTab.Reset();
  }
};

}  // namespace

TEST_F(MainWindowTest, FunctionKeySelectsItsTabOnTheSameFrameAndOnlyOnce) {
  GuiHarness gui;
  gui.Frames(2);
  EXPECT_EQ(SelectedTab(), kViewer);
  gui.KeyDown(kF3);
  gui.Frame();
  EXPECT_EQ(SelectedTab(), kSimilarity);
  // Still held: picking another tab with the mouse is not undone by F3.
  ASSERT_TRUE(gui.Click(kViewer));
  gui.Frames(3);
  EXPECT_EQ(SelectedTab(), kViewer);
  gui.KeyUp(kF3);
  gui.Frame();
  // A tap whose press and release fall in one frame still counts.
  gui.Tap(kF6);
  gui.Frame();
  EXPECT_EQ(SelectedTab(), kAbout);
  gui.KeyDown(kF1);
  gui.Frame();
  gui.KeyUp(kF1);
  gui.Frame();
  EXPECT_EQ(SelectedTab(), kViewer);
}

TEST_F(MainWindowTest, TabTooltipNamesItsKey) {
  GuiHarness gui;
  gui.Frames(2);  // tabs have their places from the second frame on
  ASSERT_TRUE(gui.Hover(kSettings));
  gui.Frames(2);
  EXPECT_EQ(gui.Tooltip(), WithoutSpaces("[F5] " + kSettings));
}

TEST_F(MainWindowTest, FontSizeChangeRebuildsTheAtlasOnceOnTheNextFrame) {
  GuiHarness gui;
  gui.Frame();
  EXPECT_EQ(gui.FontAtlasBuilds(), 1);
  gui.KeyDown(kF5);
  gui.Frame();
  gui.KeyUp(kF5);
  gui.Frame();
  ASSERT_TRUE(gui.Click("XX-Large"));  // only the Fonts row has it
  EXPECT_EQ(FontSizeApplied, 5);
  EXPECT_EQ(gui.FontAtlasBuilds(), 1);  // the atlas is refilled after the frame...
  gui.Frame();
  EXPECT_EQ(gui.FontAtlasBuilds(), 2);  // ...and built at the start of the next
  EXPECT_EQ(ImGui::GetFont()->FontSize, 36.0f);
  gui.Frames(5);
  EXPECT_EQ(gui.FontAtlasBuilds(), 2);

  // Two sizes in consecutive frames: two rebuilds, the last one wins.
  SaveFontSize(3);
  gui.Frame();
  SaveFontSize(0);
  gui.Frame();
  gui.Frame();
  EXPECT_EQ(gui.FontAtlasBuilds(), 4);
  EXPECT_EQ(ImGui::GetFont()->FontSize, 16.0f);
  EXPECT_EQ(FontSizeIndexFromText(ReadSettingText("FontSize")), 0);
}

TEST_F(MainWindowTest, ScrollbarSizeAppliesAtOnceAndIsStored) {
  GuiHarness gui;
  gui.Tap(kF5);
  gui.Frames(2);
  // Both rows have "Large"; the one drawn last, which the harness finds, is
  // the scrollbar row's.
  ASSERT_TRUE(gui.Click("Large"));
  EXPECT_EQ(ImGui::GetStyle().ScrollbarSize, 24.0f);
  EXPECT_EQ(FontSizeApplied, 0);
  EXPECT_EQ(LoadScrollbarSize(), 24.0f);
  ASSERT_TRUE(gui.Click("X-Small"));
  EXPECT_EQ(ImGui::GetStyle().ScrollbarSize, 12.0f);
  EXPECT_EQ(LoadScrollbarSize(), 12.0f);
}

TEST_F(MainWindowTest, DigitTypedIntoTextFieldPressesNoButton) {
  GuiHarness gui;
  int pressed = 0;
  char text[64] = "";
  bool focusText = false;
  const auto body = [&] {
    if (ShortcutButton("Delete File", kVirtualKeyDigit1)) ++pressed;
    if (focusText) ImGui::SetKeyboardFocusHere();
    focusText = false;
    ImGui::InputText("##name", text, sizeof text);
  };
  gui.Frame(body);
  gui.Tap('1');
  gui.Frame(body);
  EXPECT_EQ(pressed, 1);  // the key works while nobody types
  focusText = true;  // the user is now typing in the text field
  gui.Frame(body);
  gui.Frame(body);
  ASSERT_NE(GImGui->ActiveId, 0u);
  gui.Tap('1');
  gui.TypeText("1");
  gui.Frame(body);
  gui.Frame(body);
  EXPECT_EQ(pressed, 1);
  EXPECT_STREQ(text, "1");
}

TEST_F(MainWindowTest, ScanRowPicksFolderShowsSpinnerAndStops) {
  ScriptedShell shell;
  TempTree tree;
  for (int f = 0; f < 5000; ++f) tree.File("d" + std::to_string(f % 50) + "/f" + std::to_string(f));
  GuiHarness gui;
  gui.Tap(kF1);
  gui.Frame();
  EXPECT_TRUE(gui.Drawn(ICON_SCAN_ROOT " Scan Root Folder"));
  shell.folders = {std::nullopt, tree.RootString()};
  ASSERT_TRUE(gui.Click(ICON_SCAN_ROOT " Scan Root Folder"));  // cancelled
  EXPECT_EQ(ViewerTab.RootPath(), "");
  // The walk must be caught running: the frame right after the pick shows
  // the stop button and the hourglass; a walk too quick to catch is tried
  // again, and at least one must be caught.
  bool caught = false;
  for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
    if (attempt > 0) shell.folders = {tree.RootString()};
    // After a stopped walk the hourglass turns until its last batch is
    // collected (a quarter second at most), then the scan button is back.
    ASSERT_TRUE(FramesUntil(gui, [&] { return gui.Drawn(ICON_SCAN_ROOT " Scan Root Folder"); }));
    ASSERT_TRUE(gui.Click(ICON_SCAN_ROOT " Scan Root Folder"));
    EXPECT_EQ(ViewerTab.RootPath(), tree.RootString());
    gui.Frame();
    if (ViewerTab.scanner.scanning && gui.Drawn(ICON_STOP_SCANNING " Stop Scanning ")) {
      caught = true;
      ASSERT_TRUE(gui.Click(ICON_STOP_SCANNING " Stop Scanning "));
      EXPECT_FALSE(ViewerTab.scanner.scanning);
    }
    ViewerTab.scanner.Join();
    gui.Frame();
  }
  EXPECT_TRUE(caught);
  EXPECT_TRUE(FramesUntil(gui, [&] { return gui.Drawn(ICON_SCAN_ROOT " Scan Root Folder"); }));
  // Collection happens at most four times a second.
  std::this_thread::sleep_for(std::chrono::milliseconds(260));
  gui.Frame();
  // Everything the stopped walk found is listed, nothing more.
  const size_t collected = ViewerTab.model.entries.size();
  EXPECT_EQ(collected, ViewerTab.scanner.filesFound.load());
  EXPECT_LT(collected, 5000u);
  ViewerTab.Reset();
}

TEST_F(MainWindowTest, AboutUnrollsOnceOverTwoSeconds) {
  ScriptedShell shell;
  GuiHarness gui;
  AboutReveal = 0.0f;
  gui.Tap(kF6);
  gui.Frames(61);  // the first frame builds the icon, then one second
  EXPECT_NEAR(AboutReveal, 0.5f, 0.02f);
  // A frame after a long rest moves it by one frame's worth, not a second's.
  const float before = AboutReveal;
  LastFrameDelta = 1.0f;
  gui.Frame();
  EXPECT_LT(AboutReveal - before, 0.02f);
  gui.Frames(80);
  EXPECT_EQ(AboutReveal, 1.0f);
  ASSERT_TRUE(gui.Click(ICON_WEBSITE " Sortiq Website"));
  EXPECT_EQ(shell.opened, (std::vector<std::string>{kWebsiteAddress}));
  gui.Tap(kF1);
  gui.Frame();
  gui.Tap(kF6);
  gui.Frame();
  EXPECT_EQ(AboutReveal, 1.0f);  // the final layout at once
}

TEST_F(MainWindowTest, OwnFolderChooserStandsInWhenTheDesktopHasNone) {
  ScriptedShell shell;
  shell.desktopChooser = false;
  TempTree home;
  home.File("Music/song.mp3");
  home.Folder(".config");
  ScopedHome scopedHome(home.RootString());
  GuiHarness gui;
  gui.Tap(kF1);
  gui.Frame();
  ASSERT_TRUE(gui.Click(ICON_SCAN_ROOT " Scan Root Folder"));
  gui.Frame();
  ASSERT_TRUE(gui.Drawn("Select"));
  // Keys pressed while it is open act on nothing underneath.
  gui.Tap(kF6);
  gui.Frame();
  gui.Tap('1');
  gui.Frame();
  EXPECT_EQ(SelectedTab(), kViewer);
  EXPECT_TRUE(gui.Drawn("Select"));
  EXPECT_TRUE(ViewerTab.CurrentPath.empty());
  ASSERT_TRUE(gui.Click("Cancel"));
  gui.Frame();
  EXPECT_FALSE(gui.Drawn("Select"));
  EXPECT_EQ(ViewerTab.RootPath(), "");

  ASSERT_TRUE(gui.Click(ICON_SCAN_ROOT " Scan Root Folder"));
  ASSERT_TRUE(FramesUntil(gui, [&] { return gui.Drawn("Music"); }));  // the listing comes from a worker
  EXPECT_FALSE(gui.Drawn(".config"));
  ASSERT_TRUE(gui.Click("Select"));  // the folder it opened at: home
  EXPECT_EQ(ViewerTab.RootPath(), home.RootString());
}

TEST_F(MainWindowTest, BrokenDesktopChooserGivesWayToTheOwnOne) {
  ScriptedShell shell;
  shell.breaksDown = true;
  GuiHarness gui;
  gui.Tap(kF1);
  gui.Frame();
  ASSERT_TRUE(gui.Click(ICON_SCAN_ROOT " Scan Root Folder"));
  gui.Frame();
  EXPECT_TRUE(gui.Drawn("Select"));
  ASSERT_TRUE(gui.Click("Cancel"));
  gui.Frame();
  EXPECT_EQ(ViewerTab.RootPath(), "");
}

// The program's own chooser: typed paths are taken absolute and normal,
// "Up" after a trailing "/" goes up, Select takes a typed existing folder,
// odd names show as they are, links to folders are not listed.
TEST_F(MainWindowTest, OwnFolderChooserTakesTypedPathsAndOddNames) {
  ScriptedShell shell;
  shell.desktopChooser = false;
  TempTree home;
  home.File("a##b/x.mp4");
  home.File("deep/er/y.mp4");
  home.File("映画/z.mp4");
  const bool linked = MakeLink(home.Root() / "deep", home.Root() / "link", true);
  ScopedHome scopedHome(home.RootString() + "/deep/");  // a trailing "/"
  GuiHarness gui;
  gui.Tap(kF1);
  gui.Frame();
  const char* popup = "Select folder to parse...##FolderChooser";
  const auto openChooser = [&] {
    EXPECT_TRUE(FramesUntil(gui, [&] { return gui.Drawn(ICON_SCAN_ROOT " Scan Root Folder"); }));
    EXPECT_TRUE(gui.Click(ICON_SCAN_ROOT " Scan Root Folder"));
    EXPECT_TRUE(FramesUntil(gui, [&] { return gui.Drawn("er"); }));
  };
  const auto typeAndSelect = [&](const std::string& text) {
    EXPECT_TRUE(gui.Click("##ChooserPath"));
    if (ImGuiInputTextState* state = ImGui::GetInputTextState(ImGui::GetActiveID())) state->ClearText();
    gui.TypeText(text.c_str());
    gui.Frame();
    EXPECT_TRUE(gui.Click("Select"));
    // Chosen once the typed folder's listing comes, or refused with a word why.
    FramesUntil(gui, [&] {
      const std::string shown = WithoutSpaces(WindowTextOf(gui, popup));
      return !gui.Drawn("Select") || shown.find("Typeafullpath") != std::string::npos ||
             shown.find("Nosuchfolder") != std::string::npos;
    });
    gui.Frames(3);
  };

  openChooser();  // opened at HOME, deep/
  ASSERT_TRUE(gui.Click("Up"));  // after the trailing "/": up to the tree
  ASSERT_TRUE(FramesUntil(gui, [&] { return gui.Drawn("a##b"); }));
  const std::string shown = WithoutSpaces(gui.WindowText(popup));
  EXPECT_NE(shown.find("a##b"), std::string::npos);  // shown as it is
  if (linked) {
    EXPECT_NE(shown.find("link(link)"), std::string::npos);  // a link to a folder, marked as one
  }
  EXPECT_TRUE(gui.Drawn("deep"));
  // A name in another script shows in its own letters once their glyphs come.
  EXPECT_TRUE(FramesUntil(gui, [&] { return gui.WindowText(popup).find("映画") != std::string::npos; }))
      << gui.WindowText(popup);
  ASSERT_TRUE(gui.Click("Cancel"));
  gui.Frame();

  openChooser();
  typeAndSelect(home.RootString() + "/deep/./er/../");  // chosen in its normal form
  ViewerTab.scanner.Join();
  EXPECT_EQ(ViewerTab.RootPath(), home.RootString() + "/deep");

  // A relative or mistyped path is refused with a word why; nothing is walked.
  for (const std::string& typed : {std::string("er"), home.RootString() + "/deep/missing"}) {
    SCOPED_TRACE(typed);
    openChooser();
    typeAndSelect(typed);
    EXPECT_TRUE(gui.Drawn("Select"));  // still open
    const std::string why = WithoutSpaces(gui.WindowText(popup));
    EXPECT_TRUE(why.find("Typeafullpath") != std::string::npos || why.find("Nosuchfolder") != std::string::npos) << why;
    ASSERT_TRUE(gui.Click("Cancel"));
    gui.Frame();
    EXPECT_EQ(ViewerTab.RootPath(), home.RootString() + "/deep");
  }

  // A link to a folder can be entered and chosen.
  if (!linked) return;  // this system made none
  openChooser();
  ASSERT_TRUE(gui.Click("Up"));
  ASSERT_TRUE(FramesUntil(gui, [&] { return gui.Drawn("link"); }));
  ASSERT_TRUE(gui.Click("link"));
  ASSERT_TRUE(gui.Click("Select"));
  ASSERT_TRUE(FramesUntil(gui, [&] { return !gui.Drawn("Select"); }));
  // The walk is left to end by itself (joining would stop it at once).
  ASSERT_TRUE(FramesUntil(gui, [&] { return !ViewerTab.scanner.scanning; }));
  EXPECT_EQ(ViewerTab.RootPath(), home.RootString() + "/link");
  EXPECT_TRUE(FramesUntil(gui, [&] { return ViewerTab.model.entries.size() == 1; }));  // er/y.mp4 through the link
}

// The pick pauses the file playing; a digit pressed after clicking a folder
// in the chooser must not step on to another file underneath.
TEST_F(MainWindowTest, DigitsUnderTheChooserLeaveTheCurrentFileAlone) {
  ScriptedShell shell;
  shell.desktopChooser = false;
  TempTree home;
  home.File("a.mp4");
  home.File("b.mp4");
  home.Folder("sub");
  ScopedHome scopedHome(home.RootString());
  GuiHarness gui;
  gui.Tap(kF1);
  gui.Frame();
  ASSERT_TRUE(gui.Click(ICON_SCAN_ROOT " Scan Root Folder"));
  ASSERT_TRUE(FramesUntil(gui, [&] { return gui.Drawn("sub"); }));
  ASSERT_TRUE(gui.Click("Select"));
  ASSERT_TRUE(FramesUntil(gui, [&] { return ViewerTab.model.entries.size() == 2; }));
  gui.Tap('2');
  gui.Frame();
  const std::string current = ViewerTab.CurrentPath;
  ASSERT_FALSE(current.empty());
  ASSERT_TRUE(gui.Click(ICON_SCAN_ROOT " Scan Root Folder"));
  ASSERT_TRUE(FramesUntil(gui, [&] { return gui.Drawn("sub"); }));
  ASSERT_TRUE(gui.Click("sub"));  // a folder clicked: the list has the focus, not a text box
  for (int key : {'2', '4', '1'}) {
    gui.Tap(key);
    gui.Frame();
  }
  EXPECT_EQ(ViewerTab.CurrentPath, current);
  ASSERT_TRUE(gui.Click("Cancel"));
}

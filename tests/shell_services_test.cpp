#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "kit/settings.h"
#include "kit/shell_services.h"
#include "kit/tab_base.h"
#include "platform/process.h"
#include "scripted_shell.h"
#include "temp_tree.h"

namespace {

class RecordingTab final : public Base {
 public:
  RecordingTab() : Base(true, false) {}
  void Reset() override {
    Base::Reset();
    ++resets;
  }
  void Draw() override {}
  int resets = 0;
};

void WaitForWalk(Base& tab) {
  while (tab.scanner.scanning) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

TEST(ShellServices, PickRootFolderStoresRootAndStartsTheWalk) {
  ScriptedShell shell;
  TempTree tree;
  const auto clip = tree.File("clip.mp4");
  RecordingTab tab;
  shell.folders = {tree.RootString()};
  // The file system's root keeps its one "/" (set directly: no test walks it).
  RecordingTab top;
  ASSERT_TRUE(top.SetRoot("/"));
  EXPECT_EQ(top.RootPrefixLength, 1u);

  ASSERT_TRUE(PickRootFolder(tab));
  EXPECT_EQ(shell.titles.back(), "Select folder to parse...");
  EXPECT_EQ(tab.resets, 1);
  EXPECT_EQ(tab.RootPrefixLength, tree.RootString().size() + 1);
  WaitForWalk(tab);
  std::vector<std::string> folders, files;
  tab.scanner.Collect(folders, files);
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files.back(), clip);
  EXPECT_EQ(files.back().substr(tab.RootPrefixLength), "clip.mp4");
}

TEST(ShellServices, CancelledChooserChangesNothing) {
  ScriptedShell shell;
  TempTree tree;
  RecordingTab tab;
  shell.folders = {tree.RootString(), std::nullopt};
  ASSERT_TRUE(PickRootFolder(tab));
  tab.CurrentPath = tree.RootString() + "/x.mp4";
  EXPECT_FALSE(PickRootFolder(tab));
  EXPECT_EQ(tab.resets, 1);
  EXPECT_EQ(tab.RootPath(), tree.RootString());
  EXPECT_EQ(tab.CurrentPath, tree.RootString() + "/x.mp4");
}

TEST(ShellServices, RootTooLongToStoreLeavesTheTabEmpty) {
  ScriptedShell shell;
  RecordingTab tab;
  shell.folders = {"/" + std::string(kMaxRootPathLength, 'a')};
  EXPECT_TRUE(PickRootFolder(tab));
  EXPECT_EQ(tab.RootPath(), "");
  EXPECT_EQ(tab.RootPrefixLength, 0u);
  EXPECT_FALSE(tab.scanner.scanning);
}

TEST(ShellServices, ConfirmationAsksUnlessSwitchedOffAndOnlyYesConsents) {
  ScriptedShell shell;
  SkipConfirmations = false;
  for (auto answer : {platform::Answer::No, platform::Answer::Cancel}) {
    shell.answer = answer;
    EXPECT_FALSE(ConfirmFileAction("Are-you sure you want to delete this file ?", "/m/a\xFF.mp4"));
  }
  shell.answer = platform::Answer::Yes;
  EXPECT_TRUE(ConfirmFileAction("Are-you sure you want to delete this file ?", "/m/a.mp4"));
  ASSERT_EQ(shell.questions.size(), 3u);
  EXPECT_EQ(shell.questions[0], "Are-you sure you want to delete this file ?|/m/a\xEF\xBF\xBD.mp4");

  SkipConfirmations = true;
  shell.answer = platform::Answer::No;
  EXPECT_TRUE(ConfirmFileAction("Do you want to overwrite this file?", "/m/a.mp4"));
  EXPECT_EQ(shell.questions.size(), 3u);  // not asked
  EXPECT_EQ(AskYesNoCancel("Are-you sure you want to delete all files from this group ?",
                           "Delete All Files From This Group"),
            platform::Answer::No);  // the group question always asks
  EXPECT_EQ(shell.questions.size(), 4u);
  SkipConfirmations = false;
}

TEST(ShellServices, PathsAndAddressesPassVerbatim) {
  ScriptedShell shell;
  const std::string odd = "/m/it's \"a\", b; $(rm -rf ~) %d.mp4";
  ShowInExplorer(odd);
  ShowInExplorer("");  // nothing current: nothing to show
  OpenWebPage("https://sortiq.example.org/");
  EXPECT_EQ(shell.revealed, (std::vector<std::string>{odd}));
  EXPECT_EQ(shell.opened, (std::vector<std::string>{"https://sortiq.example.org/"}));
  EXPECT_EQ(platform::FileUriForPath("/a b/c,d%\xFF.mp4"), "file:///a%20b/c%2Cd%25%FF.mp4");
}

namespace {

struct Finished {
  int exitCode = -2;
  std::string output;
};

void WaitForProcesses() {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (platform::ProcessesRunning() && std::chrono::steady_clock::now() < end) {
    platform::PollProcesses();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace

TEST(Processes, ArgumentsReachTheProgramAsTheyAreAndExitCodesComeBack) {
  const std::string odd = "a b'c\"d;$(echo no)`x`*\\";
  Finished printed, failed, missing;
  const auto record = [](Finished& into) {
    return [&into](int code, const std::string& output, const std::string&) {
      into.exitCode = code;
      into.output = output;
    };
  };
  platform::StartProcess({"printf", "%s|%s", odd, "--second"}, record(printed), platform::ProcessOutput::Read);
  platform::StartProcess({"sh", "-c", "exit 3"}, record(failed));
  platform::StartProcess({"sortiq-no-such-program"}, record(missing));
  EXPECT_EQ(missing.exitCode, -1);  // known at once
  WaitForProcesses();
  EXPECT_EQ(printed.exitCode, 0);
  EXPECT_EQ(printed.output, odd + "|--second");
  EXPECT_EQ(failed.exitCode, 3);
  EXPECT_TRUE(platform::ProgramOnPath("printf"));
  EXPECT_FALSE(platform::ProgramOnPath("sortiq-no-such-program"));
}

namespace {

// Stand-ins for the desktop's programs, first on PATH: each records its
// arguments and where its standard input and output lead, then does what
// the test asked (exit code, words on standard error, a folder).
class StandIns {
 public:
  StandIns() : savedPath(std::getenv("PATH") ? std::getenv("PATH") : "") {
    ::setenv("PATH", (bin.RootString() + ":" + savedPath).c_str(), 1);
  }
  ~StandIns() { ::setenv("PATH", savedPath.c_str(), 1); }
  void Program(const std::string& name, const std::string& behaviour) {
    const std::string script = bin.RootString() + "/" + name;
    std::ofstream(script) << "#!/bin/sh\n"
                          << "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << log.RootString() << "/" << name
                          << ".args'\n"
                          << "printf '%s\\n%s\\n' \"$(readlink /proc/$$/fd/0)\" \"$(readlink /proc/$$/fd/1)\" > '"
                          << log.RootString() << "/" << name << ".fds'\n"
                          << behaviour << "\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  }
  std::string Log(const std::string& file) {
    std::ifstream in(log.RootString() + "/" + file);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  TempTree bin, log;
  std::string savedPath;
};

}  // namespace

// The real desktop services through recording stand-ins: arguments arrive
// whole, only the chooser's output is read, and a chooser that breaks down
// (no display, killed, an odd exit) gives way to the program's own.
TEST(DesktopShell, HelperProgramsGetArgumentsWholeAndNoPipes) {
  StandIns programs;
  programs.Program("dbus-send", "exit 1");  // no file manager answers
  programs.Program("xdg-open", "exit 0");
  const std::string odd = "/m/it's \"a\", b; $(x) %d.mp4";
  platform::Shell().RevealInFileManager(odd);
  WaitForProcesses();
  WaitForProcesses();  // the fallback started from the first one's end
  EXPECT_NE(programs.Log("dbus-send.args").find("array:string:" + platform::FileUriForPath(odd) + "\n"),
            std::string::npos);
  EXPECT_EQ(programs.Log("xdg-open.args"), "/m\n");
  EXPECT_EQ(programs.Log("dbus-send.fds"), "/dev/null\n/dev/null\n");
  EXPECT_EQ(programs.Log("xdg-open.fds"), "/dev/null\n/dev/null\n");
  platform::Shell().OpenAddress("https://sortiq.example.org/?a=1&b=2");
  WaitForProcesses();
  EXPECT_EQ(programs.Log("xdg-open.args"), "https://sortiq.example.org/?a=1&b=2\n");

  struct Case {
    std::string behaviour;
    const char* expected;  // "chosen", "cancelled" or "failed"
  };
  for (const Case& c : {Case{"echo /picked/folder; exit 0", "chosen"}, Case{"exit 1", "cancelled"},
                        Case{"echo 'cannot open display: :99' >&2; exit 1", "failed"},
                        Case{"kill -9 $$", "failed"}, Case{"exit 255", "failed"}}) {
    programs.Program("zenity", c.behaviour);
    std::string outcome = "none";
    ASSERT_TRUE(platform::Shell().ChooseFolder(
        "Select folder to parse...",
        [&](std::optional<std::string> folder) { outcome = folder ? "chosen:" + *folder : "cancelled"; },
        [&] { outcome = "failed"; }));
    WaitForProcesses();
    EXPECT_EQ(outcome.substr(0, outcome.find(':')), c.expected) << c.behaviour;
    if (std::string(c.expected) == "chosen") {
      EXPECT_EQ(outcome, "chosen:/picked/folder");
    }
  }
  EXPECT_EQ(programs.Log("zenity.args"), "--file-selection\n--directory\n--title=Select folder to parse...\n");
}

#pragma once
// Desktop services answered by the test: the folder chooser returns what the
// test queued, questions get the queued answer, launches are recorded.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/shell.h"

class ScriptedShell final : public platform::ShellBackend {
 public:
  ScriptedShell() { platform::SetShell(this); }
  ~ScriptedShell() override { platform::SetShell(nullptr); }

  // Answers at once with the next queued folder.
  bool ChooseFolder(const std::string& title, platform::FolderChosen onChosen, platform::ChooserFailed onFailed) override {
    titles.push_back(title);
    if (!desktopChooser) return false;
    if (breaksDown) {
      onFailed();
      return true;
    }
    std::optional<std::string> folder;
    if (!folders.empty()) {
      folder = folders.front();
      folders.pop_front();
    }
    onChosen(folder);
    return true;
  }
  platform::Answer AskYesNoCancel(const std::string& question, const std::string& caption) override {
    questions.push_back(question + "|" + caption);
    return answer;
  }
  int AskChoice(const std::string& question, const std::string& caption, const std::vector<std::string>& buttons,
                int safe) override {
    std::string asked = question + "|" + caption;
    for (const std::string& button : buttons) asked += "|" + button;
    questions.push_back(asked);
    if (choices.empty()) return safe;
    const int chosen = choices.front();
    choices.pop_front();
    return chosen;
  }
  void RevealInFileManager(const std::string& path) override { revealed.push_back(path); }
  void OpenAddress(const std::string& address) override { opened.push_back(address); }

  bool desktopChooser = true;                        // false: a desktop without a chooser
  bool breaksDown = false;                           // true: the desktop's chooser fails
  std::deque<std::optional<std::string>> folders;  // nullopt = the user cancels
  platform::Answer answer = platform::Answer::No;
  std::deque<int> choices;  // AskChoice's answers in turn; none left: the safe one
  std::vector<std::string> titles, questions, revealed, opened;
};

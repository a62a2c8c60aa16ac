// Desktop services on Linux: zenity or kdialog for the folder chooser, an SDL
// message box for questions, the freedesktop FileManager1 D-Bus call (xdg-open
// on the folder when it fails) and xdg-open for web pages.
#include <SDL.h>

#include <filesystem>

#include "platform/process.h"
#include "platform/shell.h"

namespace platform {
namespace {

std::string TrimNewline(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// Both choosers exit with 1 when the user cancels, and with 1 as well when
// they cannot open the display, saying so. Any other end is a breakdown.
bool ChooserBrokeDown(int exitCode, const std::string& errors) {
  if (exitCode == 0) return false;
  if (exitCode != 1) return true;
  return errors.find("annot open display") != std::string::npos;
}

class DesktopShell final : public ShellBackend {
 public:
  bool ChooseFolder(const std::string& title, FolderChosen onChosen, ChooserFailed onFailed) override {
    std::vector<std::string> argv;
    if (ProgramOnPath("zenity")) {
      argv = {"zenity", "--file-selection", "--directory", "--title=" + title};
    } else if (ProgramOnPath("kdialog")) {
      argv = {"kdialog", "--title", title, "--getexistingdirectory"};
    } else {
      return false;
    }
    StartProcess(
        argv,
        [onChosen, onFailed](int exitCode, const std::string& output, const std::string& errors) {
          std::string folder = TrimNewline(output);
          if (exitCode == 0 && !folder.empty()) {
            onChosen(std::move(folder));
          } else if (ChooserBrokeDown(exitCode, errors)) {
            onFailed();
          } else {
            onChosen(std::nullopt);  // the user cancelled
          }
        },
        ProcessOutput::Read);
    return true;
  }

  Answer AskYesNoCancel(const std::string& question, const std::string& caption) override {
    // Every question here deletes or replaces: only a deliberate Yes does.
    const int chosen = AskChoice(question, caption, {"Yes", "No", "Cancel"}, 1);
    return chosen == 0 ? Answer::Yes : chosen == 2 ? Answer::Cancel : Answer::No;
  }

  int AskChoice(const std::string& question, const std::string& caption, const std::vector<std::string>& labels,
                int safe) override {
    std::vector<SDL_MessageBoxButtonData> buttons;
    for (size_t i = 0; i < labels.size(); ++i) {
      const bool isSafe = static_cast<int>(i) == safe;
      const Uint32 flags = isSafe ? SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT : 0;
      buttons.push_back({flags, static_cast<int>(i), labels[i].c_str()});
    }
    SDL_MessageBoxData data{};
    data.flags = SDL_MESSAGEBOX_INFORMATION;
    data.window = SDL_GL_GetCurrentWindow();
    data.title = caption.c_str();
    data.message = question.c_str();
    data.numbuttons = static_cast<int>(buttons.size());
    data.buttons = buttons.data();
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) != 0) return safe;
    return pressed >= 0 && pressed < static_cast<int>(labels.size()) ? pressed : safe;  // -1: the box was closed
  }

  void RevealInFileManager(const std::string& path) override {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    StartProcess({"dbus-send", "--session", "--print-reply", "--reply-timeout=3000",
                  "--dest=org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                  "org.freedesktop.FileManager1.ShowItems", "array:string:" + FileUriForPath(path), "string:"},
                 [folder](int exitCode, const std::string&, const std::string&) {
                   if (exitCode != 0) StartProcess({"xdg-open", folder.empty() ? "/" : folder});
                 });
  }

  void OpenAddress(const std::string& address) override { StartProcess({"xdg-open", address}); }
};

DesktopShell desktopShell;
ShellBackend* current = &desktopShell;

}  // namespace

ShellBackend& Shell() { return *current; }

void SetShell(ShellBackend* backend) { current = backend ? backend : &desktopShell; }

}  // namespace platform

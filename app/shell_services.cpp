#include "app/shell_services.h"

#include "app/settings.h"
#include "app/tab_base.h"
#include "app/text.h"
#include "player/media_player.h"

bool PickRootFolder(Base& tab) {
  Player.Pause();  // not resumed afterwards
  const auto chosen = platform::Shell().ChooseFolder("Select folder to parse...");
  if (!chosen) return false;
  tab.Reset();
  if (!tab.SetRoot(*chosen)) return true;  // too long to keep: the tab stays empty
  tab.scanner.Start(tab.RootPath(), false);
  return true;
}

void ShowInExplorer(std::string path) {
  Player.Unload();
  platform::Shell().RevealInFileManager(path);
}

void OpenWebPage(const std::string& address) { platform::Shell().OpenAddress(address); }

bool ConfirmFileAction(const std::string& question, const std::string& path) {
  if (SkipConfirmations) return true;
  return AskYesNoCancel(question, ToUtf8(path)) == platform::Answer::Yes;
}

platform::Answer AskYesNoCancel(const std::string& question, const std::string& caption) {
  return platform::Shell().AskYesNoCancel(question, caption);
}

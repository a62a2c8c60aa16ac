#include "kit/shell_services.h"

#include <memory>

#include "kit/folder_chooser.h"
#include "kit/settings.h"
#include "kit/tab_base.h"
#include "kit/text.h"
#include "platform/trash.h"

namespace {

bool pickPending = false;  // a chooser is open; another click waits for it
std::function<void(MediaRelease)> mediaReleaseHook;

void ReleaseMedia(MediaRelease how) {
  if (mediaReleaseHook) mediaReleaseHook(how);
}

// The user has chosen a folder for the tab: forget the old root and walk the new one.
void UseRootFolder(Base& tab, const std::string& folder) {
  tab.Reset();
  if (!tab.SetRoot(folder)) return;  // too long to keep: the tab stays empty
  tab.scanner.Start(tab.RootPath(), false);
}

}  // namespace

void SetMediaReleaseHook(std::function<void(MediaRelease)> hook) { mediaReleaseHook = std::move(hook); }

bool PickRootFolder(Base& tab) {
  ReleaseMedia(MediaRelease::Pause);  // not resumed afterwards
  if (pickPending) return false;
  // The chooser answers later, from the frame loop, so the window keeps
  // drawing while it is open; a scripted one may answer at once.
  auto picked = std::make_shared<bool>(false);
  platform::FolderChosen onChosen = [&tab, picked](std::optional<std::string> folder) {
    pickPending = false;
    if (!folder) return;  // cancelled: the tab keeps its root, lists and walk
    UseRootFolder(tab, *folder);
    *picked = true;
  };
  pickPending = true;
  static const std::string title = "Select folder to parse...";
  // A desktop chooser that breaks down is replaced by the program's own.
  const platform::ChooserFailed onFailed = [onChosen] { OpenFolderChooser(title, onChosen); };
  if (!platform::Shell().ChooseFolder(title, onChosen, onFailed)) OpenFolderChooser(title, onChosen);
  return *picked;
}

void ShowInExplorer(std::string path) {
  ReleaseMedia(MediaRelease::Unload);
  if (path.empty()) return;  // nothing current: no file manager opened on some folder by surprise
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

bool ConfirmDeleteForGood(const std::vector<std::string>& paths) {
  if (paths.empty()) return false;
  if (paths.size() == 1)
    return AskYesNoCancel("This file cannot be moved to the " + std::string(platform::TrashName()) +
                              ". Delete it for good?",
                          ToUtf8(paths.front())) == platform::Answer::Yes;
  return AskYesNoCancel("These " + CountText(paths.size()) + " files cannot be moved to the " + platform::TrashName() +
                            ". Delete them for good?",
                        "Delete For Good") == platform::Answer::Yes;
}

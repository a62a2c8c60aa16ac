#pragma once
// How the tabs reach the desktop: the root-folder chooser, the file
// manager, the browser, and the question before a destructive action.
#include <functional>
#include <string>
#include <vector>

#include "platform/shell.h"

class Base;

// What happens to the media on show before the desktop or the file system
// acts: paused for a folder pick, unloaded (its file let go) before a
// reveal. The tabs let go of a file they move or delete themselves, through
// the player. The host installs it; without one nothing happens.
enum class MediaRelease { Pause, Unload };
void SetMediaReleaseHook(std::function<void(MediaRelease)> hook);

// Pauses the media on show and asks for a folder; once one is chosen, resets the
// tab, stores the root and starts its walk. True when that happened before
// returning (the desktop chooser answers later, from the frame loop).
bool PickRootFolder(Base& tab);
// Lets go of the file on show, then shows it in the file manager.
void ShowInExplorer(std::string path);
void OpenWebPage(const std::string& address);
// True to proceed: at once when confirmations are switched off, else when
// the user answers Yes.
bool ConfirmFileAction(const std::string& question, const std::string& path);
platform::Answer AskYesNoCancel(const std::string& question, const std::string& caption);
// Files the trash turned away (their disk has none): one question for all
// of them, asked whatever the confirmation setting says, since they would
// be gone for good. True only for Yes.
bool ConfirmDeleteForGood(const std::vector<std::string>& paths);

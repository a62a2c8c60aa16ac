#pragma once
// How the tabs reach the desktop: the root-folder chooser, the file
// manager, the browser, and the question before a destructive action.
#include <string>

#include "platform/shell.h"

class Base;

// Pauses the player and asks for a folder; once one is chosen, resets the
// tab, stores the root and starts its walk. True when that happened before
// returning (the desktop chooser answers later, from the frame loop).
bool PickRootFolder(Base& tab);
// Releases the file in the player, then shows it in the file manager.
void ShowInExplorer(std::string path);
void OpenWebPage(const std::string& address);
// True to proceed: at once when confirmations are switched off, else when
// the user answers Yes.
bool ConfirmFileAction(const std::string& question, const std::string& path);
platform::Answer AskYesNoCancel(const std::string& question, const std::string& caption);

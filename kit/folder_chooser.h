#pragma once
// The program's own folder chooser, for desktops that offer none: a modal
// window listing sub-folders, drawn over the tabs.
#include <string>

#include "platform/shell.h"

// Opens the chooser at the user's home folder; onChosen runs when the user
// selects a folder or cancels.
void OpenFolderChooser(const std::string& title, platform::FolderChosen onChosen);
// Drawn once per frame, after the main window.
void DrawFolderChooser();
// Closes the chooser as if cancelled (when it is open).
void CancelFolderChooser();

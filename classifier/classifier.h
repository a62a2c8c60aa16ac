#pragma once
// The Classifier tab: sorts the top-level files of a folder into its
// sub-folders one at a time. The current file plays; a folder button (or
// a digit key for the actions) moves it, deletes it, renames it or skips
// it, and every operation is listed in a history that can undo moves and
// renames.
#include <imgui.h>

#include <deque>
#include <string>
#include <vector>

#include "classifier/history.h"
#include "kit/tab_base.h"

class Classifier : public Base {
 public:
  Classifier() : Base(false, false) {}
  void Reset() override;
  void Draw() override;

  // The next file of the queue becomes current and plays (nothing plays
  // when the queue is empty).
  void NextFile();
  // Queues the current file's move into a folder of folderList (asking
  // first when the place is taken) and goes on to the next file.
  void MoveToFolder(const std::string& folder);
  // Asks, then queues the current file's deletion and goes on.
  void DeleteCurrent();
  // Starts the rename row with the current file's name.
  void BeginRenaming();
  // Gives the current file the name in renameBuffer, at once. False (the row
  // stays open, nothing touched) when the name is refused or taken.
  bool Rename();
  // Makes a sub-folder of the root named by the folder filter's text.
  bool CreateFolder();
  // Puts a moved or renamed file back; false when its old place is taken
  // or the file is not where the record says.
  bool Undo(const HistoryRecord& record);
  // Collects what the walk found and sorts the folders once it has ended.
  void CollectAndSort();

  std::deque<std::string> fileList;  // still to be shown, in walk order
  std::vector<std::string> folderList;
  size_t sortedFolderCount = 0;
  CollectTimer collectTimer;
  ImGuiTextFilter folderFilter;
  char renameBuffer[4096] = "";
  bool renaming = false;
  bool renameBoxWantsFocus = false;
  History history;

 private:
  void DrawCurrentFile(float paneHeight);
  void DrawActionRow();
  void DrawRenameRow();
  void DrawFolderButtons();
  void DrawFolderTools();
};

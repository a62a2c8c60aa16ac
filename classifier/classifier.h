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
  // Records learn how their requests ended; a failed move or deletion puts
  // its file back first in the queue; files gone or moved by any tab leave
  // the queue.
  void FilesChanged(const std::vector<Commands::Async::Outcome>& outcomes) override;

  // The next file of the queue becomes current and plays (nothing plays
  // when the queue is empty).
  void NextFile();
  // Queues the current file's move into a folder of folderList and goes on
  // to the next file. When the place is taken it asks first; anything but
  // Yes leaves everything as it was.
  void MoveToFolder(const std::string& folder);
  // Asks, then queues the current file's deletion and goes on.
  void DeleteCurrent();
  // Starts the rename row with the current file's name.
  void BeginRenaming();
  // Gives the current file the name in renameBuffer, at once. False (the row
  // stays open saying why, nothing touched) when the name is refused or taken.
  bool Rename();
  // Makes a sub-folder of the root named by the folder filter's text.
  bool CreateFolder();
  // Puts a moved or renamed file back and makes it current, or a deleted
  // one back from the trash (an overwrite: both files). A move still
  // waiting is called off; one in hand is undone once it ends; one onto
  // another disk is moved back by the worker. False (the record says why)
  // when it cannot be done.
  bool Undo(HistoryRecord& record);
  // Collects what the walk found and sorts the folders once it has ended.
  void CollectAndSort();

  std::deque<std::string> fileList;  // still to be shown, in walk order
  std::vector<std::string> folderList;
  size_t sortedFolderCount = 0;
  CollectTimer collectTimer;
  ImGuiTextFilter folderFilter;
  char renameBuffer[4096] = "";
  bool renameEscaped = false;  // the box shows bytes that are not UTF-8 as escapes
  std::string renameRefused;   // why the last rename did not happen
  bool renaming = false;
  bool renameBoxWantsFocus = false;
  float foldersTop = 0.0f;  // where the folder buttons began in the pane last frame
  int renameBoxes = 0;  // each box opened is a new one: its selection and caret start afresh
  History history;

 private:
  void DrawCurrentFile(float paneHeight);
  void DrawActionRow();
  void DrawRenameRow();
  void DrawFolderButtons();
  void DrawFolderTools();
  // The file comes back into the queue, first (it becomes current when
  // nothing else is).
  void BackIntoQueue(const std::string& path);
  // The restored file is current and plays; the one current before comes next.
  // playNow: at the user's click; otherwise (ended in the background) it
  // plays once the tab shows, leaving another tab's playback alone.
  void MakeCurrentAgain(const std::string& path, const std::string& formerPath, bool playNow);
  // A move back once the record's own move is done.
  bool MoveBack(HistoryRecord& record, bool playNow);
  bool MovedBack(HistoryRecord& record, bool playNow);
  // A deleted file back from the trash, current again.
  bool RestoreDeleted(HistoryRecord& record, bool playNow);
  void Failed(HistoryRecord& record, const Commands::Async::Outcome& outcome);
  bool DeletionsOut() const;
  void DeleteForGoodIfAgreed();
  // Deletions the trash turned away, held until the tab's last deletion has
  // ended, so that they are asked about once.
  std::vector<Commands::Async::Outcome> refusedByTrash;
  void ForeignChange(const Commands::Async::Outcome& outcome);
};

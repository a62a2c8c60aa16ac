#pragma once
// Moves into folders and deletions, carried out off the GUI thread by two
// workers in the order they were asked for. Every request ends in exactly
// one outcome, handed back to the GUI thread: done, or why not. Only
// failures that may pass (a busy file) are tried again; the rest are final
// at once. Callers ask before overwriting and let go of the file on show
// first.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_operations.h"
#include "platform/trash.h"

namespace Commands::Async {

using RequestId = uint64_t;  // 0: none
enum class Operation { Delete, Move };
// Where a deleted file, or the old file an overwrite replaces, goes: as the
// "Move deleted files to the trash" setting says when the request is made,
// or the trash or nowhere whatever it says.
enum class Disposal { AsSet, Trash, ForGood };

struct Outcome {
  RequestId id = 0;  // 0: done at once on the GUI thread (a rename, an undo)
  Operation operation = Operation::Delete;
  std::string source;       // the file deleted or moved
  std::string destination;  // where it went (moves)
  platform::FileOperationResult result = platform::FileOperationResult::Done;
  // The file deleted, or the one an overwrite replaced, as it was asked for.
  std::optional<platform::FileIdentity> identity;
  // Where that file is now when it went to the trash.
  std::optional<platform::TrashEntry> trashed;
  bool Done() const { return result == platform::FileOperationResult::Done; }
  // Its disk has no trash: nothing happened, and deleting for good is the
  // user's call.
  bool TrashRefused() const { return result == platform::FileOperationResult::NoTrash; }
};

// Queue a request and return at once (GUI thread only). A deletion with
// an identity removes only that very file, never another one that holds
// its name by then.
RequestId Delete(std::string path, std::optional<platform::FileIdentity> identity = std::nullopt,
                 Disposal disposal = Disposal::AsSet);
RequestId Move(std::string source, std::string destination);
// A move the user said may overwrite what is at the destination: the old
// file goes only as the new one takes its place, never before; with an
// identity, only the file the user agreed to replace. One that goes to the
// trash goes first; if the move then fails, it is put back.
RequestId MoveReplacing(std::string source, std::string destination,
                        std::optional<platform::FileIdentity> replaced = std::nullopt,
                        Disposal disposal = Disposal::AsSet);

// A request not begun yet is never carried out (true; its outcome says
// Stopped). One in hand is asked to stop: a copy between two blocks, with
// nothing changed; a quicker step simply ends. False then, and for a
// request that has ended: its outcome says what happened.
bool Cancel(RequestId id);
// Whether the request is queued and not begun yet.
bool Waiting(RequestId id);

// A move (a rename, an undo, a file back from the trash) the GUI thread
// did itself, told to every tab with the workers' outcomes.
void AnnounceMove(std::string source, std::string destination);
// The outcomes since the last call, in the order they ended (GUI thread).
std::vector<Outcome> TakeOutcomes();

// Starts the delete worker, then the move worker.
void Start();
// Stops both: a request in hand ends at once (a copy between two blocks,
// its copy removed, the file where it was); those queued behind it stay
// queued and are not carried out.
void Stop();

// The window title the delete worker asks for ("Sortiq: deleting <path>"
// while it deletes, "Sortiq" when idle), at most 16 times a second; empty
// when it has not changed since last taken. The GUI thread sets it.
std::optional<std::string> TakeTitle();

// Requests queued or in hand.
int32_t Pending();

}  // namespace Commands::Async

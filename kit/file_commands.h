#pragma once
// Moves into folders and deletions, carried out off the GUI thread by two
// workers in the order they were asked for. A request that keeps failing
// is retried a few times and then dropped: the file stays where it was.
// Callers ask before overwriting and let go of the file on show first.
#include <cstdint>
#include <optional>
#include <string>

namespace Commands::Async {

// Queue a request and return at once (GUI thread only).
void Delete(std::string path);
void Move(std::string source, std::string destination);
// A move the user said may overwrite what is at the destination: the old
// file goes only as the new one takes its place, never before.
void MoveReplacing(std::string source, std::string destination);

// Starts the delete worker, then the move worker.
void Start();
// Stops both: a request in hand is finished (all its attempts), the rest
// stay queued and are never carried out.
void Stop();

// The window title the delete worker asks for ("Sortiq: deleting <path>"
// while it deletes, "Sortiq" when idle), at most 16 times a second; empty
// when it has not changed since last taken. The GUI thread sets it.
std::optional<std::string> TakeTitle();

// Requests queued or in hand.
int32_t Pending();

}  // namespace Commands::Async

#pragma once
// Deletions the trash turned away because their disk has none. Nothing
// happened to those files; whether they go for good is the user's call,
// asked once for all that came back together.
#include <vector>

#include "kit/file_commands.h"

// Asks (No unless Yes is pressed). When the user agrees, each deletion (or
// overwrite) is queued again, for good, and its new request is returned in
// the same order; otherwise nothing is queued and the list is empty.
std::vector<Commands::Async::RequestId> DeleteForGoodIfAgreed(const std::vector<Commands::Async::Outcome>& refused);

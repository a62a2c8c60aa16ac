#pragma once
// Folder listings as a failing or slow file system would give them. The
// test binary that links listing_faults.cpp answers the program's own
// getdents64 and readdir calls itself: it passes them to the kernel and then
// hides entry types, breaks a folder's listing off with an error, or holds a
// folder's reader until released. With nothing planned every call passes
// through unchanged.
#include <string>
#include <vector>

namespace listing_faults {

struct Plan {
  // Every entry comes back without a type (DT_UNKNOWN), as on file systems
  // that do not store types.
  bool hideEntryTypes = false;
  // This folder's listing returns a few entries, then fails with failError.
  std::string breakingFolder;
  int failError = 0;
  // Readers of this folder wait until Release().
  std::string slowFolder;
};

void Set(const Plan& plan);  // also forgets what was recorded
void Clear();

// Names the breaking folder's listing gave before it failed.
std::vector<std::string> NamesBeforeFailure();
// Listing calls for any folder made after the failure was given.
int CallsAfterFailure();
// True once a reader waits in the slow folder.
bool SlowReaderWaiting();
void Release();

}  // namespace listing_faults

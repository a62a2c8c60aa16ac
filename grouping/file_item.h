#pragma once
// One file as the Grouping and Similarity tabs list it, and the size text
// they show beside it.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "platform/file_operations.h"

struct FileItem {
  std::string path;      // full path as the walk found it (file system bytes)
  std::string text;      // the UTF-8 text shown: its name (Grouping) or full path (Similarity)
  std::string sizeText;  // "1.5KB"
  platform::FileIdentity identity;  // of what the path leads to; {0, 0} when unknown
  bool link = false;                // the entry is a symbolic link
};

// The identity a deletion of the item must find: the file the walk saw,
// or for a link (whose identity is its target's) the link as it is now.
std::optional<platform::FileIdentity> IdentityToDelete(const FileItem& item);

// 1024-based, one decimal rounded up, no trailing zeros: 1536 -> "1.5KB".
void FormatFileSize(std::ostream& out, uint64_t bytes);
std::string FileSizeText(uint64_t bytes);

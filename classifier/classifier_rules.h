#pragma once
// The Classifier's rules that need no window: where a move sends a file,
// which names may be given, how folder buttons are ordered and labelled.
#include <string>
#include <vector>

// The full path a file of the root gets in one of its folders: the root at
// the start of the path is replaced by the folder (the root text may come
// again in the file's own name; that stays). Empty when the file is not
// below the root.
std::string MoveDestination(const std::string& file, const std::string& root, const std::string& folder);

// A name the user typed for a file or a new folder: not empty, not "." or
// "..", no "/" and no NUL byte (it would land outside the folder).
bool IsAcceptableName(const std::string& name);

// Folder buttons in byte order of their paths (case-sensitive, no locale):
// "B" before "a" before "b".
void SortFolders(std::vector<std::string>& folders);

// A folder's button label: its path below the root, without the "/" after
// the root.
std::string FolderLabel(const std::string& folderText, size_t rootTextLength);

// The name part of a path (after its last "/"); empty when it has none.
std::string NameOf(const std::string& path);

// A name as the rename box shows it. A valid UTF-8 name shows as it is;
// in one that is not, each byte that is not UTF-8 shows as \xHH and a
// backslash as \\, so the bytes the user leaves alone come back exactly.
struct EditableName {
  std::string text;
  bool escaped = false;
};
EditableName NameForEditing(const std::string& name);
// The bytes of an edited name (escapes turned back where the box used them).
std::string NameFromEditing(const std::string& text, bool escaped);

// Whether the path names an entry of the folder itself (not deeper).
bool IsDirectlyIn(const std::string& path, const std::string& folder);

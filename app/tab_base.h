#pragma once
// What the four content tabs share: the root folder, its walk, and the
// tab's current item.
#include <cstdint>
#include <list>
#include <string>

#include "app/folder_scanner.h"

// Index of each tab in the tab bar; the content tabs use it to tell the
// player which tab is drawing.
enum TabIndex : int { kViewerTab = 0, kClassifierTab = 1, kSimilarityTab = 2, kGroupingTab = 3, kSettingsTab = 4,
                      kAboutTab = 5 };

// The content tab being drawn this frame (only the tab that played last
// draws the player panel).
inline int DrawnTabIndex = kViewerTab;

inline constexpr size_t kMaxRootPathLength = 4095;

class Base {
 public:
  Base(bool recursive, bool collectSizes);
  Base(const Base&) = delete;
  Base& operator=(const Base&) = delete;

  // Forgets the root and the current item and stops the walk (without
  // joining it). Tabs extend it to empty their own lists.
  virtual void Reset();

  // Stores a new root ("/" separators); false (and nothing stored) when it
  // is longer than kMaxRootPathLength.
  bool SetRoot(const std::string& root);
  const std::string& RootPath() const { return rootPath; }
  const std::string& RootText() const { return rootText; }  // its UTF-8 text

  // Index where a path relative to the root begins; 0 when no root is set.
  uint64_t RootPrefixLength = 0;
  FolderScanner scanner;
  std::string CurrentPath;  // full path of the current item (file system bytes)
  std::string CurrentText;  // its UTF-8 text

 protected:
  ~Base() = default;

 private:
  std::string rootPath;
  std::string rootText;
};

// Every content tab, in construction order (Classifier, Similarity, Viewer,
// Grouping). Only shutdown walks it.
std::list<Base*>& TabRegistry();

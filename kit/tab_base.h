#pragma once
// What the four content tabs share: the root folder, its walk, and the
// tab's current item.
#include <cstdint>
#include <string>

#include "kit/folder_scanner.h"
#include "kit/view.h"

// Index of each tab in the tab bar; the content tabs use it to tell the
// player which tab plays a file.
enum TabIndex : int { kViewerTab = 0, kClassifierTab = 1, kSimilarityTab = 2, kGroupingTab = 3, kSettingsTab = 4,
                      kAboutTab = 5 };

inline constexpr size_t kMaxRootPathLength = 4095;

class Base : public View {
 public:
  Base(bool recursive, bool collectSizes);

  // Forgets the root and the current item and stops the walk (without
  // joining it). Tabs extend it to empty their own lists.
  virtual void Reset();
  // Waits for the walk (it stops at its next entry once AppExiting is set).
  void Shutdown() override { scanner.Join(); }

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

 private:
  std::string rootPath;
  std::string rootText;
};


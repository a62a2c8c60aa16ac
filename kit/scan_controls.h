#pragma once
#include <string>

class Base;

// The scan row at the top of a content tab: the spinner and " Stop
// Scanning " while its walk runs, else " Scan Root Folder"; once a root is
// chosen, on the same line, `counts` (when given) and "Root Path(<root>)",
// the root keeping its end when the line is too long.
// `stillGrowing`: what the walk found is still on its way into the tab's
// lists, so the spinner goes on turning after the walk ends.
void ScanControls(Base& tab, const std::string& counts = {}, bool stillGrowing = false);

// The help line a tab shows while no root folder is picked, wrapped to
// the window.
void HelpText(const char* text);

// What a tab says in place of a list that has nothing to show: the walk
// found nothing, the filter hides everything, the last group is gone. A
// root after the text keeps its end when the line is too long.
void EmptyText(const std::string& text, const std::string& root = {});
// "No files found in <root>", or "No files left in <root>" once the walk
// found files (or the caller knows of some) that are gone since.
void EmptyText(const Base& tab, bool filesWereFound = false);

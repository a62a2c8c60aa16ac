#pragma once
class Base;

// The scan row at the top of a content tab: the spinner and " Stop
// Scanning " while its walk runs, else " Scan Root Folder".
void ScanControls(Base& tab);

// The help line a tab shows while no root folder is picked.
void HelpText(const char* text);

#pragma once
// The Settings tab: font size, scrollbar size and the confirmation option.
void DrawFontsSection();
void DrawScrollbarSection();
void DrawOptionsSection();

#pragma once
// The GUI font: Noto Sans Mono at one of six sizes with the icon font merged
// in. A size change rebuilds the atlas one frame after the click.
#include <array>

struct ImFont;

inline constexpr std::array<float, 6> FontPixelSizes = {16.0f, 20.0f, 24.0f, 28.0f, 32.0f, 36.0f};

inline int FontSizeRequested = 0;      // set by SaveFontSize
inline int FontSizeApplied = 0;        // the index the atlas was last filled for
inline bool FontRebuildPending = false;
inline ImFont* TextFont = nullptr;     // the text font, carrying the icons

// Re-reads "FontSize" and refills the GUI font atlas (not built here). Not to
// be called between NewFrame and Render.
void LoadFonts();

#pragma once
// The GUI font: Noto Sans Mono at one of six sizes with the icon font merged
// in, and glyphs from the system's fonts for the characters of shown names
// that it lacks. A size change rebuilds the atlas one frame after the click;
// newly shown characters join it between frames, a few times a second.
#include <array>

struct ImFont;

inline constexpr std::array<float, 6> FontPixelSizes = {16.0f, 20.0f, 24.0f, 28.0f, 32.0f, 36.0f};

inline int FontSizeRequested = 0;      // set by SaveFontSize
inline int FontSizeApplied = 0;        // the index the atlas was last filled for
inline bool FontRebuildPending = false;
inline ImFont* TextFont = nullptr;     // the text font, carrying the icons

// Shortest time between two refills for new characters.
inline constexpr double kGlyphRefillInterval = 0.25;

// Re-reads "FontSize" and refills the GUI font atlas. Not to be called
// between NewFrame and Render.
void LoadFonts();

// Between frames: applies a size change, and refills the atlas when glyphs
// for newly shown characters have arrived (at most every
// kGlyphRefillInterval of `now`, in seconds). True when the atlas was
// refilled, so the renderer must make its font texture again.
bool RefreshFontsBetweenFrames(double now);

// Ends the worker that finds glyphs in the system's fonts.
void StopGlyphWork();

// Forgets every character shown and every glyph found for one (tests).
void ForgetShownCharacters();

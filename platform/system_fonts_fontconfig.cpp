#include "platform/system_fonts.h"

#include <fontconfig/fontconfig.h>

#include <cstring>
#include <mutex>

namespace platform {
namespace {

// Only outline formats the atlas can rasterise count; colour fonts (bitmap
// emoji) cannot be drawn in one colour, bitmap fonts not at any size.
bool UsableFace(FcPattern* font) {
  FcBool scalable = FcFalse, colour = FcFalse;
  if (FcPatternGetBool(font, FC_SCALABLE, 0, &scalable) == FcResultMatch && !scalable) return false;
  if (FcPatternGetBool(font, FC_COLOR, 0, &colour) == FcResultMatch && colour) return false;
  FcChar8* format = nullptr;
  if (FcPatternGetString(font, FC_FONTFORMAT, 0, &format) != FcResultMatch) return false;
  const char* text = reinterpret_cast<const char*>(format);
  return std::strcmp(text, "TrueType") == 0 || std::strcmp(text, "CFF") == 0;
}

// The configuration is loaded once and kept for the life of the process:
// the worker that asks may still be running while static objects go.
struct Fonts {
  FcConfig* config = nullptr;
  FcCharSet* anyFont = nullptr;  // every character some usable font has
};

Fonts& Loaded() {
  static Fonts fonts = [] {
    Fonts loaded;
    loaded.config = FcInitLoadConfigAndFonts();
    if (!loaded.config) return loaded;
    loaded.anyFont = FcCharSetCreate();
    for (FcSetName which : {FcSetSystem, FcSetApplication}) {
      FcFontSet* set = FcConfigGetFonts(loaded.config, which);
      for (int i = 0; set && i < set->nfont; ++i) {
        FcCharSet* characters = nullptr;
        if (UsableFace(set->fonts[i]) &&
            FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &characters) == FcResultMatch)
          FcCharSetMerge(loaded.anyFont, characters, nullptr);
      }
    }
    return loaded;
  }();
  return fonts;
}

std::mutex lookups;  // fontconfig objects are not shared between threads

}  // namespace

std::vector<FontFileFace> FontFacesCovering(char32_t codePoint, size_t limit) {
  std::lock_guard<std::mutex> lock(lookups);
  std::vector<FontFileFace> faces;
  Fonts& fonts = Loaded();
  // A character no font has costs one look-up in the union, not a sort of
  // every font on the machine.
  if (!fonts.config || !FcCharSetHasChar(fonts.anyFont, codePoint)) return faces;

  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcCharSet* wanted = FcCharSetCreate();
  FcCharSetAddChar(wanted, codePoint);
  FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
  FcCharSetDestroy(wanted);
  FcConfigSubstitute(fonts.config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcFontSet* sorted = FcFontSort(fonts.config, pattern, FcFalse, nullptr, &result);
  for (int i = 0; sorted && i < sorted->nfont && faces.size() < limit; ++i) {
    FcPattern* font = sorted->fonts[i];
    FcCharSet* characters = nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    if (!UsableFace(font) || FcPatternGetCharSet(font, FC_CHARSET, 0, &characters) != FcResultMatch ||
        !FcCharSetHasChar(characters, codePoint) || FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch)
      continue;
    FcPatternGetInteger(font, FC_INDEX, 0, &index);
    if (index >> 16) continue;  // a named instance of a variable font: its face comes too
    faces.push_back({reinterpret_cast<const char*>(file), index & 0xFFFF});
  }
  if (sorted) FcFontSetDestroy(sorted);
  FcPatternDestroy(pattern);
  return faces;
}

}  // namespace platform

#include "platform/system_fonts.h"

#include <fontconfig/fontconfig.h>

#include <bitset>
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

// The configuration is loaded on the first look-up and kept until released.
struct Fonts {
  FcConfig* config = nullptr;
  std::bitset<0x10000> anyFont;  // every character up to U+FFFF some usable font has
};

void AddCharacters(std::bitset<0x10000>& into, const FcCharSet* characters) {
  FcChar32 page[FC_CHARSET_MAP_SIZE];
  FcChar32 next = 0;
  for (FcChar32 base = FcCharSetFirstPage(characters, page, &next); base != FC_CHARSET_DONE && base <= 0xFFFF;
       base = FcCharSetNextPage(characters, page, &next)) {
    for (FcChar32 word = 0; word < FC_CHARSET_MAP_SIZE; ++word)
      for (FcChar32 bit = 0; bit < 32; ++bit)
        if (page[word] & (FcChar32{1} << bit)) into.set(base + word * 32 + bit);
  }
}

Fonts fonts;
bool loaded = false;

// Reads the configuration and notes which characters its fonts have.
void Load() {
  loaded = true;
  fonts.config = FcInitLoadConfigAndFonts();
  if (!fonts.config) return;
  for (FcSetName which : {FcSetSystem, FcSetApplication}) {
    FcFontSet* set = FcConfigGetFonts(fonts.config, which);
    for (int i = 0; set && i < set->nfont; ++i) {
      FcCharSet* characters = nullptr;
      if (UsableFace(set->fonts[i]) && FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &characters) == FcResultMatch)
        AddCharacters(fonts.anyFont, characters);
    }
  }
}

std::mutex lookups;  // fontconfig objects are not shared between threads

}  // namespace

std::vector<FontFileFace> FontFacesCovering(char32_t codePoint, size_t limit) {
  std::lock_guard<std::mutex> lock(lookups);
  std::vector<FontFileFace> faces;
  if (!loaded) Load();
  // A character no font has costs one look-up in the union, not a sort of
  // every font on the machine.
  if (!fonts.config || codePoint > 0xFFFF || !fonts.anyFont.test(codePoint)) return faces;

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

void ReleaseSystemFonts() {
  std::lock_guard<std::mutex> lock(lookups);
  if (fonts.config) FcConfigDestroy(fonts.config);
  fonts = Fonts{};
  loaded = false;
}

}  // namespace platform

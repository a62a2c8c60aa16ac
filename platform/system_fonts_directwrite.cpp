// The system's fonts through DirectWrite: its font fallback says which
// font the system itself would draw a character with, and the system's
// collection offers others that have it. Only fonts in local files count:
// the program's own rasteriser reads the file.
#include <windows.h>
#include <dwrite_2.h>

#include <mutex>
#include <optional>

#include "platform/system_fonts.h"
#include "platform/com_on_stack_windows.h"
#include "platform/utf16_windows.h"

namespace platform {
namespace {

template <typename T>
void ReleaseOnce(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

// The text the fallback is asked about: one character, left to right.
class OneCharacter final : public ComOnStack<IDWriteTextAnalysisSource> {
 public:
  explicit OneCharacter(char32_t codePoint) {
    if (codePoint < 0x10000) {
      text[0] = static_cast<wchar_t>(codePoint);
      length = 1;
    } else {
      text[0] = static_cast<wchar_t>(0xD800 + ((codePoint - 0x10000) >> 10));
      text[1] = static_cast<wchar_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
      length = 2;
    }
  }
  UINT32 Length() const { return length; }

  HRESULT STDMETHODCALLTYPE GetTextAtPosition(UINT32 position, const WCHAR** at, UINT32* count) override {
    *at = position < length ? text + position : nullptr;
    *count = position < length ? length - position : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTextBeforePosition(UINT32 position, const WCHAR** before, UINT32* count) override {
    *before = position > 0 && position <= length ? text : nullptr;
    *count = position > 0 && position <= length ? position : 0;
    return S_OK;
  }
  DWRITE_READING_DIRECTION STDMETHODCALLTYPE GetParagraphReadingDirection() override {
    return DWRITE_READING_DIRECTION_LEFT_TO_RIGHT;
  }
  HRESULT STDMETHODCALLTYPE GetLocaleName(UINT32, UINT32* count, const WCHAR** locale) override {
    *locale = L"";
    *count = length;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetNumberSubstitution(UINT32, UINT32* count, IDWriteNumberSubstitution** substitution) override {
    *substitution = nullptr;
    *count = length;
    return S_OK;
  }

 private:
  wchar_t text[2] = {};
  UINT32 length = 0;
};

// The local file a font is read from, with the face within it.
std::optional<FontFileFace> FileOf(IDWriteFont* font) {
  IDWriteFontFace* face = nullptr;
  if (FAILED(font->CreateFontFace(&face))) return std::nullopt;
  std::optional<FontFileFace> found;
  UINT32 files = 1;
  IDWriteFontFile* file = nullptr;
  const auto type = face->GetType();
  const bool outline = type == DWRITE_FONT_FACE_TYPE_TRUETYPE || type == DWRITE_FONT_FACE_TYPE_CFF ||
                       type == DWRITE_FONT_FACE_TYPE_OPENTYPE_COLLECTION;
  if (outline && SUCCEEDED(face->GetFiles(&files, &file)) && file) {
    IDWriteFontFileLoader* loader = nullptr;
    IDWriteLocalFontFileLoader* local = nullptr;
    const void* key = nullptr;
    UINT32 keySize = 0;
    if (SUCCEEDED(file->GetLoader(&loader)) &&
        SUCCEEDED(loader->QueryInterface(__uuidof(IDWriteLocalFontFileLoader), reinterpret_cast<void**>(&local))) &&
        SUCCEEDED(file->GetReferenceKey(&key, &keySize))) {
      UINT32 length = 0;
      if (SUCCEEDED(local->GetFilePathLengthFromKey(key, keySize, &length))) {
        std::wstring path(length + 1, L'\0');
        if (SUCCEEDED(local->GetFilePathFromKey(key, keySize, path.data(), length + 1))) {
          path.resize(length);
          found = FontFileFace{ProgramPath(path), static_cast<int>(face->GetIndex())};
        }
      }
    }
    ReleaseOnce(local);
    ReleaseOnce(loader);
    ReleaseOnce(file);
  }
  ReleaseOnce(face);
  return found;
}

struct Fonts {
  std::mutex mutex;
  IDWriteFactory2* factory = nullptr;
  IDWriteFontCollection* collection = nullptr;
  IDWriteFontFallback* fallback = nullptr;
};
Fonts fonts;

bool Ready() {
  if (fonts.factory) return true;
  if (FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory2),
                                 reinterpret_cast<IUnknown**>(&fonts.factory))))
    return false;
  fonts.factory->GetSystemFontCollection(&fonts.collection, FALSE);
  fonts.factory->GetSystemFontFallback(&fonts.fallback);
  return fonts.collection != nullptr;
}

void AddUnlessThere(std::vector<FontFileFace>& faces, const FontFileFace& face) {
  for (const FontFileFace& known : faces)
    if (known.path == face.path && known.faceIndex == face.faceIndex) return;
  faces.push_back(face);
}

}  // namespace

std::vector<FontFileFace> FontFacesCovering(char32_t codePoint, size_t limit) {
  std::vector<FontFileFace> faces;
  if (limit == 0) return faces;
  std::lock_guard<std::mutex> lock(fonts.mutex);
  if (!Ready()) return faces;
  // The system's own choice first.
  if (fonts.fallback) {
    OneCharacter text(codePoint);
    UINT32 mapped = 0;
    IDWriteFont* font = nullptr;
    FLOAT scale = 1;
    if (SUCCEEDED(fonts.fallback->MapCharacters(&text, 0, text.Length(), fonts.collection, nullptr,
                                                DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STYLE_NORMAL,
                                                DWRITE_FONT_STRETCH_NORMAL, &mapped, &font, &scale)) &&
        font) {
      BOOL has = FALSE;
      if (SUCCEEDED(font->HasCharacter(static_cast<UINT32>(codePoint), &has)) && has)
        if (auto file = FileOf(font)) AddUnlessThere(faces, *file);
      font->Release();
    }
  }
  // Then the regular face of every other family that has it.
  const UINT32 families = fonts.collection->GetFontFamilyCount();
  for (UINT32 i = 0; i < families && faces.size() < limit; ++i) {
    IDWriteFontFamily* family = nullptr;
    IDWriteFont* font = nullptr;
    if (SUCCEEDED(fonts.collection->GetFontFamily(i, &family)) &&
        SUCCEEDED(family->GetFirstMatchingFont(DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STRETCH_NORMAL,
                                               DWRITE_FONT_STYLE_NORMAL, &font))) {
      BOOL has = FALSE;
      if (font->GetSimulations() == DWRITE_FONT_SIMULATIONS_NONE &&
          SUCCEEDED(font->HasCharacter(static_cast<UINT32>(codePoint), &has)) && has)
        if (auto file = FileOf(font)) AddUnlessThere(faces, *file);
    }
    ReleaseOnce(font);
    ReleaseOnce(family);
  }
  if (faces.size() > limit) faces.resize(limit);
  return faces;
}

void ReleaseSystemFonts() {
  std::lock_guard<std::mutex> lock(fonts.mutex);
  ReleaseOnce(fonts.fallback);
  ReleaseOnce(fonts.collection);
  ReleaseOnce(fonts.factory);
}

}  // namespace platform

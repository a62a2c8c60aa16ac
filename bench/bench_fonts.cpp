// Font atlas cost at every size: the icons the program uses against the
// whole icon range (U+E003 to U+F8FF) as reference.
#include <imgui.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "kit/embedded_data.h"
#include "kit/fonts.h"
#include "kit/settings.h"
#include "bench_util.h"

namespace {

struct AtlasCost {
  double milliseconds;
  double textureMegabytes;
};

AtlasCost MeasureOurs(int index) {
  SaveFontSize(index);
  int width = 0, height = 0;
  const double seconds = MedianSeconds(7, [&] {
    LoadFonts();
    unsigned char* pixels = nullptr;
    ImGui::GetIO().Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
  });
  return {seconds * 1000, width * height * 4 / 1048576.0};
}

AtlasCost MeasureFullRange(int index) {
  const float textSize = FontPixelSizes[static_cast<size_t>(index)];
  static const ImWchar fullRange[] = {0xE003, 0xF8FF, 0};
  int width = 0, height = 0;
  const double seconds = MedianSeconds(3, [&] {
    ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    atlas->Clear();
    ImFontConfig text;
    text.FontDataOwnedByAtlas = false;
    text.OversampleH = 3;
    text.OversampleV = 1;
    const EmbeddedBytes textFont = TextFontBytes(), iconFont = IconFontBytes();
    atlas->AddFontFromMemoryTTF(const_cast<uint8_t*>(textFont.data), static_cast<int>(textFont.size), textSize, &text);
    ImFontConfig icons = text;
    icons.MergeMode = true;
    icons.PixelSnapH = true;
    icons.GlyphOffset = ImVec2(0, textSize * 0.25f);
    icons.GlyphMinAdvanceX = textSize * 4 / 3 * 0.5f;
    atlas->AddFontFromMemoryTTF(const_cast<uint8_t*>(iconFont.data), static_cast<int>(iconFont.size),
                                textSize * 4 / 3, &icons, fullRange);
    unsigned char* pixels = nullptr;
    atlas->GetTexDataAsRGBA32(&pixels, &width, &height);
  });
  return {seconds * 1000, width * height * 4 / 1048576.0};
}

}  // namespace

int main() {
  ScopedConfigFolder config;  // font and other settings go through the settings store
  if (!config.Ok()) return 1;
  ImGui::CreateContext();
  for (int index = 0; index < 6; ++index) {
    const AtlasCost ours = MeasureOurs(index);
    const AtlasCost full = MeasureFullRange(index);
    std::printf("fonts %2.0fpx build: %6.2f ms (full icon range %7.2f ms, ratio %.3f; target < 15 ms)\n",
                FontPixelSizes[index], ours.milliseconds, full.milliseconds, ours.milliseconds / full.milliseconds);
    std::printf("fonts %2.0fpx texture: %5.2f MB (full icon range %6.2f MB, ratio %.3f; target < 4 MB)\n",
                FontPixelSizes[index], ours.textureMegabytes, full.textureMegabytes,
                ours.textureMegabytes / full.textureMegabytes);
  }
  ImGui::DestroyContext();
  return 0;
}

// Font atlas cost at every size: the icons the program uses against the
// whole icon range (U+E003 to U+F8FF) as reference; and the refill after
// 2,000 CJK characters from the system's fonts joined the atlas, against
// the refill without them.
#include <imgui.h>
#include <imgui_internal.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <cstdlib>
#include <filesystem>

#include "platform/embedded_data.h"
#include "kit/fonts.h"
#include "kit/glyph_demand.h"
#include "kit/glyph_supply.h"
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
    const platform::EmbeddedBytes textFont = platform::TextFontBytes(), iconFont = platform::IconFontBytes();
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

AtlasCost MeasureRefill() {
  int width = 0, height = 0;
  const double seconds = MedianSeconds(7, [&] {
    LoadFonts();
    unsigned char* pixels = nullptr;
    ImGui::GetIO().Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);  // what the renderer uploads
  });
  return {seconds * 1000, width * height * 4 / 1048576.0};
}

// Shows 2,000 CJK characters and lets the glyph worker answer; returns the
// worker's seconds from the first request to the last answer.
double ShowCjkCharacters(unsigned count = 2000) {
  std::string names;
  for (unsigned i = 0; i < count; ++i) {
    char utf8[5] = {};
    ImTextCharToUtf8(utf8, 0x4E00 + i * 3);
    names += utf8;
  }
  const auto start = std::chrono::steady_clock::now();
  GlyphDemand::Note(names);
  double now = 0;
  RefreshFontsBetweenFrames(now);
  while (GlyphSupply::Busy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  RefreshFontsBetweenFrames(now + 1);  // takes the answers in
  return seconds;
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
  for (int index = 0; index < 6; ++index) {
    SaveFontSize(index);
    LoadFonts();
    const double workerSeconds = ShowCjkCharacters();
    const int glyphs = TextFont->Glyphs.Size;
    const AtlasCost with = MeasureRefill();
    ForgetShownCharacters();
    const AtlasCost without = MeasureRefill();
    const float size = FontPixelSizes[index];
    std::printf("fonts %2.0fpx refill with 2000 CJK: %6.2f ms (without them %5.2f ms, ratio %.2f; target < 60 ms)\n", size,
                with.milliseconds, without.milliseconds, with.milliseconds / without.milliseconds);
    std::printf("fonts %2.0fpx texture with 2000 CJK: %5.2f MB (without them %4.2f MB, ratio %.2f; target < 16 MB)\n",
                size, with.textureMegabytes, without.textureMegabytes, with.textureMegabytes / without.textureMegabytes);
    std::printf("fonts %2.0fpx glyph worker: %d glyphs in the atlas, found and drawn off the GUI thread in %.0f ms\n",
                size, glyphs, workerSeconds * 1000);
  }
  // A flood: more new characters than the budget, at the largest size.
  SaveFontSize(5);
  LoadFonts();
  const double floodSeconds = ShowCjkCharacters(GlyphDemand::kBudget + 1000);
  const int glyphs = TextFont->Glyphs.Size;
  const AtlasCost flood = MeasureRefill();
  std::printf("fonts 36px after %zu new CJK characters: %d glyphs in the atlas (budget %zu), refill %.2f ms, "
              "texture %.2f MB, worker %.0f ms\n",
              GlyphDemand::kBudget + 1000, glyphs, GlyphDemand::kBudget, flood.milliseconds, flood.textureMegabytes,
              floodSeconds * 1000);
  StopGlyphWork();
  ImGui::DestroyContext();
  return 0;
}

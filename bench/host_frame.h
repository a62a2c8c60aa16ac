#pragma once
// One headless GUI frame at 60 a second on a 1280 x 800 display, drawing
// into a window of the given size at the top left, as the benchmarks that
// measure a tab's frame host it.
#include <imgui.h>

#include <cstdint>

#include "kit/fonts.h"
#include "kit/style.h"

// A GUI without a window, with the program's style and fonts; the font
// texture is built as the renderer would build it, with nothing to upload to.
inline void StartHeadlessGui() {
  ImGui::CreateContext();
  ImGui::GetIO().IniFilename = nullptr;
  ApplyStyle(12.0f);
  LoadFonts();
  unsigned char* pixels = nullptr;
  int width = 0, height = 0;
  ImGui::GetIO().Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
  ImGui::GetIO().Fonts->SetTexID(reinterpret_cast<ImTextureID>(static_cast<intptr_t>(1)));
}

inline void BeginHostFrame(const char* windowName, float width) {
  ImGuiIO& io = ImGui::GetIO();
  io.DisplaySize = ImVec2(1280, 800);
  io.DeltaTime = 1.0f / 60.0f;
  ImGui::NewFrame();
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(ImVec2(width, 800));
  ImGui::Begin(windowName, nullptr, ImGuiWindowFlags_NoDecoration);
}

inline void EndHostFrame() {
  ImGui::End();
  ImGui::Render();
}

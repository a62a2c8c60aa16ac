#include "kit/style.h"

#include <imgui.h>

#include <initializer_list>

void ApplyStyle(float scrollbarSize) {
  ImGui::StyleColorsDark();
  ImGuiStyle& style = ImGui::GetStyle();
  style.WindowPadding = ImVec2(8, 8);
  style.WindowRounding = 0;
  style.ChildRounding = 3;
  style.FramePadding = ImVec2(5, 5);
  style.FrameRounding = 4;
  style.FrameBorderSize = 1;
  style.ItemSpacing = ImVec2(12, 8);
  style.ItemInnerSpacing = ImVec2(8, 6);
  style.IndentSpacing = 25;
  style.ScrollbarSize = scrollbarSize;
  style.ScrollbarRounding = 9;
  style.GrabMinSize = 5;
  style.GrabRounding = 3;
  style.TabRounding = 4;
  style.TabBorderSize = 1;
  style.AntiAliasedLines = true;
  style.AntiAliasedFill = true;

  ImVec4* colours = style.Colors;
  for (int i = 0; i < ImGuiCol_COUNT; ++i) {  // not clamped: values may pass 1.0
    colours[i].x *= 1.111f;
    colours[i].y *= 1.222f;
    colours[i].z *= 1.333f;
  }
  colours[ImGuiCol_Tab] = colours[ImGuiCol_Button];
  colours[ImGuiCol_TabHovered] = colours[ImGuiCol_ButtonHovered];
  colours[ImGuiCol_TabActive] = colours[ImGuiCol_ButtonActive];
  colours[ImGuiCol_TabUnfocused] = colours[ImGuiCol_ButtonHovered];
  colours[ImGuiCol_TabUnfocusedActive] = colours[ImGuiCol_ButtonActive];
  for (ImGuiCol tab : {ImGuiCol_Tab, ImGuiCol_TabHovered, ImGuiCol_TabActive, ImGuiCol_TabUnfocused,
                       ImGuiCol_TabUnfocusedActive})
    colours[tab].w *= 0.666f;
  colours[ImGuiCol_FrameBg].w *= 0.25f;
  colours[ImGuiCol_FrameBgActive].w *= 0.25f;
}

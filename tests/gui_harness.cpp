#include "gui_harness.h"

#include <imgui_internal.h>

#include "kit/fonts.h"
#include "app/frame.h"
#include "app/main_window.h"
#include "kit/style.h"
#include "platform/input.h"

GuiHarness::GuiHarness() {
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.DisplaySize = ImVec2(1280, 800);
  io.DeltaTime = 1.0f / 60.0f;
  io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;
  for (int i = 0; i < ImGuiKey_COUNT; ++i) io.KeyMap[i] = -1;
  ApplyStyle(12.0f);
  LoadFonts();
  SetItemObserver(this);
  InitMainWindow();  // the host's hooks, as the program installs them
}

GuiHarness::~GuiHarness() {
  SetItemObserver(nullptr);
  ForgetShownCharacters();  // each test starts from the atlas of a fresh start
  ImGui::DestroyContext();
}

void GuiHarness::InvalidateRenderer() { fontTextureMissing = true; }

void GuiHarness::BeginFrame() {
  ImGuiIO& io = ImGui::GetIO();
  if (fontTextureMissing || !io.Fonts->IsBuilt()) {
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    io.Fonts->SetTexID(reinterpret_cast<ImTextureID>(static_cast<intptr_t>(1)));
    fontTextureMissing = false;
    ++atlasBuilds;
  }
  io.DeltaTime = 1.0f / 60.0f;
}

void GuiHarness::OnItem(const char* label, const ImVec2& min, const ImVec2& max) {
  // A window laid out hidden on its first frame (a popup being placed) has
  // its items where they will not be shown: only visible items count.
  for (const ImGuiWindow* window = ImGui::GetCurrentWindowRead(); window; window = window->ParentWindow)
    if (window->HiddenFramesCannotSkipItems > 0 || window->HiddenFramesCanSkipItems > 0) return;
  const ImGuiWindow* pane = ImGui::GetCurrentWindowRead();
  drawing[label] = {min, max, pane->InnerClipRect.Min, pane->InnerClipRect.Max, pane->ScrollbarY};
}

void GuiHarness::Frame() { Frame({}); }

namespace {

const std::function<void()>* testBody = nullptr;

// A frame of a test's own widgets in one full-screen window.
void DrawTestBody() {
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
  ImGui::Begin("##TestWindow", nullptr, ImGuiWindowFlags_NoDecoration);
  (*testBody)();
  ImGui::End();
}

}  // namespace

void GuiHarness::Frame(const std::function<void()>& body) {
  drawing.clear();
  if (body) {
    testBody = &body;  // the same frame steps as the program's, around the test's widgets
    RunFrame(*this, DrawTestBody);
    testBody = nullptr;
  } else {
    RunFrame(*this);
  }
  items = drawing;
  for (int index : tappedKeys) ImGui::GetIO().KeysDown[index] = false;
  tappedKeys.clear();
  ImGui::GetIO().ClearInputCharacters();
}

void GuiHarness::Frames(int count) {
  for (int i = 0; i < count; ++i) Frame();
}

void GuiHarness::KeyDown(int virtualKey) {
  const int index = platform::KeyIndexForVirtualKey(virtualKey);
  ImGui::GetIO().KeysDown[index] = true;
}

void GuiHarness::KeyUp(int virtualKey) { ImGui::GetIO().KeysDown[platform::KeyIndexForVirtualKey(virtualKey)] = false; }

void GuiHarness::Tap(int virtualKey) {
  // What the window's event drain makes of a press and release in one
  // frame: down for that frame, released after it.
  const int index = platform::KeyIndexForVirtualKey(virtualKey);
  ImGui::GetIO().KeysDown[index] = true;
  tappedKeys.push_back(index);
}

void GuiHarness::TypeText(const char* utf8) { ImGui::GetIO().AddInputCharactersUTF8(utf8); }

bool GuiHarness::Hover(const std::string& label, float xFraction) {
  auto it = items.find(label);
  if (it == items.end()) return false;
  const Rect& rect = it->second;
  ImGui::GetIO().MousePos = ImVec2(rect.min.x + (rect.max.x - rect.min.x) * xFraction, (rect.min.y + rect.max.y) / 2);
  return true;
}

bool GuiHarness::Click(const std::string& label, const std::function<void()>& body) {
  if (!Hover(label)) return false;
  ImGuiIO& io = ImGui::GetIO();
  Frame(body);  // hover
  io.MouseDown[0] = true;
  Frame(body);
  io.MouseDown[0] = false;
  Frame(body);  // buttons fire on release
  return true;
}

bool GuiHarness::Drag(const std::string& label, float fromFraction, float toFraction,
                      const std::function<void()>& body) {
  auto it = items.find(label);
  if (it == items.end()) return false;
  const Rect rect = it->second;
  const float y = (rect.min.y + rect.max.y) / 2;
  const auto at = [&](float fraction) { return ImVec2(rect.min.x + (rect.max.x - rect.min.x) * fraction, y); };
  ImGuiIO& io = ImGui::GetIO();
  io.MousePos = at(fromFraction);
  Frame(body);
  io.MouseDown[0] = true;
  Frame(body);
  for (int step = 1; step <= 4; ++step) {
    io.MousePos = at(fromFraction + (toFraction - fromFraction) * step / 4);
    Frame(body);
  }
  io.MouseDown[0] = false;
  Frame(body);
  return true;
}

namespace {

// Text read back from a draw list: each glyph quad is four vertices, the
// first at the glyph's top-left texture coordinate and the third at its
// bottom-right. Spaces draw nothing.
std::string GlyphsOf(const ImDrawList* list) {
  const ImFont* font = ImGui::GetIO().Fonts->Fonts[0];
  std::map<std::pair<float, float>, const ImFontGlyph*> glyphAt;
  for (const ImFontGlyph& glyph : font->Glyphs) glyphAt[{glyph.U0, glyph.V0}] = &glyph;
  std::string text;
  const ImVector<ImDrawVert>& vertices = list->VtxBuffer;
  for (int i = 0; i + 2 < vertices.Size; ++i) {
    auto it = glyphAt.find({vertices[i].uv.x, vertices[i].uv.y});
    if (it == glyphAt.end()) continue;
    const ImFontGlyph& glyph = *it->second;
    if (vertices[i + 2].uv.x != glyph.U1 || vertices[i + 2].uv.y != glyph.V1) continue;
    char utf8[5] = {};
    ImTextCharToUtf8(utf8, glyph.Codepoint);
    text += utf8;
    i += 3;
  }
  return text;
}

}  // namespace

std::string GuiHarness::WindowText(const char* windowName) const {
  const ImGuiWindow* window = ImGui::FindWindowByName(windowName);
  // A child window is named after its parents: "parent/name_id".
  const std::string childName = std::string("/") + windowName + "_";
  for (const ImGuiWindow* candidate : GImGui->Windows)
    if (!window && candidate->Active && std::string(candidate->Name).find(childName) != std::string::npos)
      window = candidate;
  if (!window) return {};
  // The window's own text, then that of its child windows.
  std::string text = GlyphsOf(window->DrawList);
  for (const ImGuiWindow* child : GImGui->Windows)
    if (child != window && child->ParentWindow == window && child->Active) text += GlyphsOf(child->DrawList);
  return text;
}

std::vector<std::string> GuiHarness::LayoutFaults() const {
  std::vector<std::string> faults;
  constexpr float kSlack = 1.0f;  // rounding of item edges
  for (const auto& [label, rect] : items) {
    const bool across = rect.min.x < rect.clipMin.x - kSlack || rect.max.x > rect.clipMax.x + kSlack;
    const bool down = !rect.paneScrolls && (rect.min.y < rect.clipMin.y - kSlack || rect.max.y > rect.clipMax.y + kSlack);
    if (across || down)
      faults.push_back("cut " + std::string(across ? "across" : "at the bottom") + ": " + label + " x " +
                       std::to_string(rect.min.x) + "-" + std::to_string(rect.max.x) + " in " +
                       std::to_string(rect.clipMin.x) + "-" + std::to_string(rect.clipMax.x));
  }
  for (const ImGuiWindow* window : GImGui->Windows) {
    if (!window->Active || (window->Flags & (ImGuiWindowFlags_Tooltip | ImGuiWindowFlags_Popup))) continue;
    // The lists: those that always show their scrollbar, and the
    // Classifier's folder buttons.
    const bool list = (window->Flags & ImGuiWindowFlags_AlwaysVerticalScrollbar) ||
                      std::string(window->Name).find("/##Folders_") != std::string::npos;
    if (window->ScrollbarX || (window->ScrollbarY && !list))
      faults.push_back(std::string("scrollbar on ") + window->Name);
  }
  return faults;
}

std::string GuiHarness::Tooltip() const {
  const ImGuiContext& g = *GImGui;
  for (const ImGuiWindow* window : g.Windows)
    if ((window->Flags & ImGuiWindowFlags_Tooltip) && window->Active) return GlyphsOf(window->DrawList);
  return {};
}

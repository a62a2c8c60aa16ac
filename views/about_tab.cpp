#include "views/about_tab.h"

#include <imgui.h>

#include <cmath>

#include "kit/frame_clock.h"
#include "kit/frame_demand.h"
#include "kit/icons.h"
#include "kit/program_icon.h"
#include "kit/shell_services.h"
#include "kit/tab_base.h"
#include "kit/widgets.h"
#include "platform/texture.h"

namespace {

platform::Texture aboutIcon;
bool iconTried = false;  // an undecodable icon is not tried again
constexpr float kIconSize = 256.0f;
constexpr float kRevealPerSecond = 0.5f;

void LoadAboutIcon() {
  iconTried = true;
  aboutIcon.Release();
  const ProgramIconPixels& icon = ProgramIcon();
  if (icon.rgba.empty()) return;
  aboutIcon.Create(icon.width, icon.height, platform::PixelFormat::RGBA, icon.rgba.data(), icon.width * 4);
}

}  // namespace

void AboutView::ReleaseGraphics() {
  aboutIcon.Release();
  iconTried = false;  // made again from the decoded pixels on the next draw
}

void AboutView::Draw() {
  if (!iconTried) LoadAboutIcon();
  if (aboutIcon.Valid()) {
    ImGui::Image(aboutIcon.Id(), ImVec2(kIconSize, kIconSize), ImVec2(0, 0), ImVec2(1, AboutReveal));
    // A frame after a rest follows a long pause: the animation moves by
    // one frame's worth at most, so it starts from its beginning.
    AboutReveal = std::fmin(AboutReveal + std::fmin(LastFrameDelta, 1.0f / 30) * kRevealPerSecond, 1.0f);
    if (AboutReveal < 1.0f) FrameDemand::Next();
  }
  ImGui::SameLine();
  const float x = ImGui::GetCursorPosX();
  const float right = ImGui::GetWindowContentRegionMax().x;
  const float hidden = 1.0f - AboutReveal * AboutReveal * AboutReveal * AboutReveal;
  ImGui::SetCursorPosX(x + hidden * (right - x));

  ImGui::BeginGroup();
  ImGui::TextUnformatted("Sortiq (1.1)");
  ImGui::NewLine();
  if (ShortcutButton(ICON_WEBSITE " Sortiq Website", kNoKey)) OpenWebPage(kWebsiteAddress);
  ImGui::NewLine();
  ImGui::TextUnformatted("Developed by the Sortiq developers");
  ImGui::NewLine();
  ImGui::TextUnformatted(
      "Special Thanks to the Dear ImGui developers (ImGui), FFmpeg contributors, and The Noto Project");
  ImGui::NewLine();
  ImGui::EndGroup();
}

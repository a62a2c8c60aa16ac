#pragma once
// The About tab: the icon unrolls, the name, version, website and credits
// slide in from the right.
#include "kit/view.h"

// 0 to 1 over the first two seconds the About tab is shown with its icon.
inline float AboutReveal = 0.0f;

class AboutView final : public View {
 public:
  void Draw() override;
  // Drops the icon texture (at shutdown, before the renderer goes).
  void ReleaseGraphics() override;
};

inline constexpr char kWebsiteAddress[] = "https://sortiq.example.org/";

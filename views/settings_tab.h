#pragma once
// The Settings tab: font size, scrollbar size and the confirmation option.
#include "kit/view.h"

class SettingsView final : public View {
 public:
  void Draw() override;  // the three sections, one under the other
};

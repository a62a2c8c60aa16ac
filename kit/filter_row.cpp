#include "kit/filter_row.h"

#include "kit/glyph_demand.h"
#include "kit/icons.h"
#include "kit/widgets.h"

bool FilterRow(ImGuiTextFilter& filter, const char* hint, const char* observedAs, float rightGap) {
  bool changed = false;
  if (ShortcutButton(ICON_CLEAR, kNoKey, "Clear the filter")) {
    filter.Clear();
    changed = true;
  }
  ImGui::SameLine();
  // The box's label, a space, takes room after the box too: the whole
  // item ends at the gap, so the pane never grows wider than it is.
  const float label = ImGui::GetStyle().ItemInnerSpacing.x + ImGui::CalcTextSize(" ").x;
  ImGui::SetNextItemWidth(-(rightGap + label));
  GlyphDemand::Note(filter.InputBuf);  // what the user typed
  if (ImGui::InputTextWithHint(" ", hint, filter.InputBuf, IM_ARRAYSIZE(filter.InputBuf))) changed = true;
  ObserveLastItem(observedAs);
  if (changed) filter.Build();
  return changed;
}

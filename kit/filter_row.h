#pragma once
// The filter row of a list: a clear button, then the hinted
// "Filter(include, -exclude)" box, the same in every tab.
#include <imgui.h>

// The box ends `rightGap` pixels before the content's right edge; the
// automation driver finds it as `observedAs`. True on the frame the
// filter changed (cleared or edited); it is rebuilt by then.
bool FilterRow(ImGuiTextFilter& filter, const char* hint, const char* observedAs, float rightGap);

#pragma once
// The program's look: the dark preset with our spacing, a cool tint and
// translucent tabs and frames.
void ApplyStyle(float scrollbarSize);

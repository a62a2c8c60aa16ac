#pragma once
// The one full-window GUI surface with the six tabs; drawn every frame.
void DrawMainWindow();

#pragma once
// The one full-window GUI surface with the six tabs; drawn every frame.
void DrawMainWindow();
// Once before the first frame: installs what the tabs ask of the host
// (the player paused or unloaded before desktop and file actions).
void InitMainWindow();

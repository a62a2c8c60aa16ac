#pragma once
// The program from start to exit: 0 after a normal run, 1 when no drawing
// context can be made.
int RunApp();

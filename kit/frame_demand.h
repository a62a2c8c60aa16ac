#pragma once
// What on screen is about to change. The frame loop waits for input while
// nothing is; whatever moves by itself (a playing file, a turning
// hourglass, an animation, a listing on its way) asks for its frames here,
// each frame it wants one. Workers that hand something to the GUI thread
// wake the loop instead (platform::WakeMainLoop).
namespace FrameDemand {

// Draw the next frame as soon as the display allows.
void Next();
// Draw a frame within this many seconds (a caret's blink, a collection).
void Within(double seconds);
// Seconds until the soonest frame asked for since the last call (0: at
// once; a negative value: none asked for), and forget the requests.
double Take();

}  // namespace FrameDemand

#pragma once
// The one way other threads hand results to the GUI thread: the work is
// posted from any thread and run on the GUI thread at the start of its
// next frame, in the order posted; posting wakes a resting window. What the
// posted work touches then belongs to the GUI thread alone.
#include <functional>

namespace GuiThread {

// Any thread, also one that outlives the program's shutdown (its work is
// then never run).
void Post(std::function<void()> work);
// GUI thread, once a frame before anything is drawn: runs what was posted.
void RunPosted();

}  // namespace GuiThread

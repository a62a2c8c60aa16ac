#include "kit/gui_thread.h"

#include <mutex>
#include <utility>
#include <vector>

#include "platform/wake.h"

namespace GuiThread {
namespace {

struct Posts {
  std::mutex lock;
  std::vector<std::function<void()>> waiting;
};

// Never destroyed: a thread left reading a dead network folder may post
// after the program's statics are gone.
Posts& ThePosts() {
  static Posts* const posts = new Posts;
  return *posts;
}

}  // namespace

void Post(std::function<void()> work) {
  Posts& posts = ThePosts();
  {
    std::lock_guard<std::mutex> hold(posts.lock);
    posts.waiting.push_back(std::move(work));
  }
  platform::WakeMainLoop();
}

void RunPosted() {
  Posts& posts = ThePosts();
  std::vector<std::function<void()>> taken;
  {
    std::lock_guard<std::mutex> hold(posts.lock);
    taken.swap(posts.waiting);
  }
  for (std::function<void()>& work : taken) work();
}

}  // namespace GuiThread

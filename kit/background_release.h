#pragma once
// Large lists let go of off the GUI thread: freeing the groups of 200,000
// files takes longer than several frames. The worker is started and joined
// by the program's start-up and shutdown; without it (tests, tools) what is
// handed over is freed at once.
#include <memory>
#include <utility>

namespace BackgroundRelease {

struct Held {
  virtual ~Held() = default;
};

void Start();
// Frees what is still waiting, then joins the worker. Any thread but the worker's.
void Stop();
void ReleaseHeld(std::unique_ptr<Held> held);

// Takes the value over (pass it moved) and frees it on the worker.
template <typename T>
void Release(T value) {
  struct Holder final : Held {
    explicit Holder(T&& taken) : value(std::move(taken)) {}
    T value;
  };
  ReleaseHeld(std::make_unique<Holder>(std::move(value)));
}

}  // namespace BackgroundRelease

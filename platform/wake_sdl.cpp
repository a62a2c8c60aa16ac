#include <SDL.h>

#include <atomic>
#include <cstdint>

#include "platform/wake.h"

namespace platform {
namespace {
std::atomic<uint32_t> wakeEventType{0};  // 0 until the window's events run
}

void EnableWakeUps() {
  const uint32_t type = SDL_RegisterEvents(1);
  if (type != static_cast<uint32_t>(-1)) wakeEventType.store(type);
}

void WakeMainLoop() {
  const uint32_t type = wakeEventType.load();
  if (type == 0) return;
  SDL_Event event{};
  event.type = type;
  SDL_PushEvent(&event);  // safe from any thread
}

}  // namespace platform

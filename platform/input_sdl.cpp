#include <SDL.h>

#include "platform/input.h"

namespace platform {

// The GUI library's SDL back end indexes keys by SDL scancode.
int KeyIndexForVirtualKey(int virtualKey) {
  if (virtualKey == '0') return SDL_SCANCODE_0;
  if (virtualKey >= '1' && virtualKey <= '9') return SDL_SCANCODE_1 + (virtualKey - '1');
  if (virtualKey >= 0x70 && virtualKey <= 0x7B) return SDL_SCANCODE_F1 + (virtualKey - 0x70);
  return -1;
}

}  // namespace platform

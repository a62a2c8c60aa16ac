#include "platform/input.h"

#include <bitset>

namespace platform {
namespace {
std::bitset<512> latchedPresses;
}

void ClearKeyPresses() { latchedPresses.reset(); }

void LatchKeyPress(int keyIndex) {
  if (keyIndex >= 0 && keyIndex < static_cast<int>(latchedPresses.size())) latchedPresses.set(keyIndex);
}

bool KeyPressLatched(int keyIndex) {
  return keyIndex >= 0 && keyIndex < static_cast<int>(latchedPresses.size()) && latchedPresses.test(keyIndex);
}

}  // namespace platform

#include "platform/texture.h"

namespace platform {

Texture& Texture::operator=(Texture&& other) noexcept {
  if (this != &other) {
    Release();
    handle = other.handle;
    backing = other.backing;
    width = other.width;
    height = other.height;
    format = other.format;
    smoothShrink = other.smoothShrink;
    filled = other.filled;
    reducedDetail = other.reducedDetail;
    other.handle = 0;
    other.backing = 0;
    other.width = other.height = 0;
  }
  return *this;
}

}  // namespace platform

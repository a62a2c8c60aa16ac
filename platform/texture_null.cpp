// Texture back end without a graphics device, for headless runs: it hands
// out distinct ids and remembers sizes, and draws nothing.
#include "platform/texture.h"

namespace platform {
namespace {
uintptr_t nextHandle = 1;
}

bool Texture::Create(int w, int h, PixelFormat f, const uint8_t*, int) {
  Release();
  if (w <= 0 || h <= 0) return false;
  handle = nextHandle++;
  width = w;
  height = h;
  format = f;
  return true;
}

bool Texture::Update(const uint8_t* pixels, int) { return handle != 0 && pixels != nullptr; }

void Texture::SetSmoothShrink(bool smooth) { smoothShrink = smooth; }

void Texture::Release() {
  handle = 0;
  width = height = 0;
}

void FreeReleasedTextures() {}

void AddPictureQuad(ImDrawList* list, const Texture& texture, const ImVec2* corners, const ImVec2* uvs, float) {
  list->AddImageQuad(texture.Id(), corners[0], corners[1], corners[2], corners[3], uvs[0], uvs[1], uvs[2], uvs[3]);
}

}  // namespace platform

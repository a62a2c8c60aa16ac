#pragma once
// A picture the GUI can draw, sampled with linear filtering and its edge
// pixels repeated outside 0..1 (a picture blown up from a few pixels keeps
// its colour to the edge; the panel draws its black bars itself). A
// texture shown smaller than its size can be smoothed so fine detail does
// not break up.
#include <cstdint>

#include <imgui.h>

namespace platform {

enum class PixelFormat { RGBA, BGRA };

class Texture {
 public:
  Texture() = default;
  ~Texture() { Release(); }
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;
  Texture(Texture&& other) noexcept { *this = static_cast<Texture&&>(other); }
  Texture& operator=(Texture&& other) noexcept;

  // Creates the texture with the given pixels (may be null for a texture that
  // is filled later with Update). Returns false and stays empty on failure.
  bool Create(int width, int height, PixelFormat format, const uint8_t* pixels, int strideBytes);
  // Replaces the whole picture; rows are strideBytes apart. GUI thread only.
  bool Update(const uint8_t* pixels, int strideBytes);
  void Release();
  // Smooths the picture when shown smaller than its size (from the next
  // upload, or at once when it has pixels).
  void SetSmoothShrink(bool smooth);

  bool Valid() const { return handle != 0; }
  ImTextureID Id() const { return reinterpret_cast<ImTextureID>(static_cast<intptr_t>(handle)); }
  int Width() const { return width; }
  int Height() const { return height; }

 private:
  uint32_t handle = 0;
  int width = 0;
  int height = 0;
  PixelFormat format = PixelFormat::RGBA;
  bool smoothShrink = false;
  bool filled = false;
};

}  // namespace platform

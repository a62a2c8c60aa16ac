#pragma once
// A picture the GUI can draw, sampled with linear filtering. Outside 0..1
// OpenGL repeats its edge pixels (a picture blown up from a few pixels
// keeps its colour to the edge; the panel draws its black bars itself);
// Direct3D's sampler gives its border, opaque black. A texture shown
// smaller than its size can be smoothed so fine detail does not break up.
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
  // Smooths the picture when shown smaller than its size, from detail
  // reduced once (a picture that stays as it is; Update drops it, since
  // reducing a large picture again each time it changes costs more than
  // the upload).
  void SetSmoothShrink(bool smooth);

  bool Valid() const { return handle != 0; }
  ImTextureID Id() const { return reinterpret_cast<ImTextureID>(handle); }
  int Width() const { return width; }
  int Height() const { return height; }

 private:
  // What the renderer draws with (a texture name, or a view of the
  // texture), and what the back end keeps behind it (a pixel buffer that
  // Update copies pictures through, or the texture the view shows).
  uintptr_t handle = 0;
  uintptr_t backing = 0;
  int width = 0;
  int height = 0;
  PixelFormat format = PixelFormat::RGBA;
  bool smoothShrink = false;
  bool filled = false;
  bool reducedDetail = false;  // its smaller sizes are made and current

  friend void AddPictureQuad(ImDrawList*, const Texture&, const ImVec2*, const ImVec2*, float);
};

// A texture released while a frame is built may be drawn by that frame
// still (a file switched to from a button below the picture): the device's
// objects behind it live on until the window has shown the frame, which
// then frees them here.
void FreeReleasedTextures();

// Draws the texture over the quad `corners` (four points, with their `uvs`)
// at `scale` screen pixels per texel. Down to half size every texel reaches
// the screen through the linear filter; below it, on OpenGL, each screen
// pixel is the average of the texels it covers, so fine detail does not
// break up (Direct3D keeps the linear filter).
void AddPictureQuad(ImDrawList* list, const Texture& texture, const ImVec2* corners, const ImVec2* uvs, float scale);

}  // namespace platform

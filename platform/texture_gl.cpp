#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "platform/texture.h"

namespace platform {
namespace {

// The texture's handle is its GL name; its backing, the pixel buffer's.
GLuint Name(uintptr_t held) { return static_cast<GLuint>(held); }

// Texture and buffer names released since the last frame was shown.
std::vector<GLuint> releasedTextures;
std::vector<GLuint> releasedBuffers;

GLenum GlFormat(PixelFormat format) { return format == PixelFormat::BGRA ? GL_BGRA : GL_RGBA; }

// Errors left by earlier calls (of the GUI's renderer, say) must not be
// taken for the next call's own.
void ClearStaleErrors() {
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

// Binds a texture for the life of the object, restoring the previous one.
class BoundTexture {
 public:
  explicit BoundTexture(GLuint name) {
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, name);
  }
  ~BoundTexture() { glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous)); }

 private:
  GLint previous = 0;
};

// Makes the smaller sizes when asked for and there are pixels; true when
// they are made.
bool ApplyShrinkFilter(bool smooth, bool filled) {
  if (smooth && filled) glGenerateMipmap(GL_TEXTURE_2D);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, smooth && filled ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
  return smooth && filled;
}

}  // namespace

bool Texture::Create(int w, int h, PixelFormat f, const uint8_t* pixels, int strideBytes) {
  Release();
  if (w <= 0 || h <= 0) return false;
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  if (largest > 0 && (w > largest || h > largest)) return false;
  ClearStaleErrors();
  GLuint name = 0;
  glGenTextures(1, &name);
  if (name == 0) return false;
  bool ok;
  {
    BoundTexture bound(name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, pixels && strideBytes > 0 ? strideBytes / 4 : 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GlFormat(f), GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    reducedDetail = ApplyShrinkFilter(smoothShrink, pixels != nullptr);
    ok = glGetError() == GL_NO_ERROR;
  }
  if (!ok) {
    glDeleteTextures(1, &name);
    return false;
  }
  handle = name;
  width = w;
  height = h;
  format = f;
  filled = pixels != nullptr;
  return true;
}

namespace {

// A pixel buffer lets a GPU's copy engine take the picture while the frame
// goes on. A software renderer has none: there the buffer only adds a copy
// of every picture (4K: 18 ms a frame instead of 12). SORTIQ_PIXEL_BUFFERS
// = 1 or 0 chooses either way.
bool PixelBuffersHelp() {
  static const bool help = [] {
    if (const char* chosen = std::getenv("SORTIQ_PIXEL_BUFFERS"); chosen && *chosen) return std::strcmp(chosen, "0") != 0;
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (renderer == nullptr) return false;
    for (const char* software : {"llvmpipe", "softpipe", "Software", "SwiftShader"})
      if (std::strstr(renderer, software)) return false;
    return true;
  }();
  return help;
}

// The picture goes through a pixel buffer: the rows are copied into memory
// the driver hands out (fresh each time, so it never waits for the GPU to
// finish reading the last picture), and the transfer into the texture is
// the driver's to schedule; with a GPU it runs while the frame goes on.
// Where no buffer can be had the rows go straight from the picture.
bool UploadThroughPixelBuffer(GLuint buffer, const uint8_t* pixels, int strideBytes, int width, int height,
                              GLenum format) {
  if (buffer == 0) return false;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  const auto bytes = static_cast<GLsizeiptr>(rowBytes * static_cast<size_t>(height));
  glBindBuffer(GL_PIXEL_UNPACK_BUFFER, buffer);
  glBufferData(GL_PIXEL_UNPACK_BUFFER, bytes, nullptr, GL_STREAM_DRAW);
  auto* mapped =
      static_cast<uint8_t*>(glMapBufferRange(GL_PIXEL_UNPACK_BUFFER, 0, bytes, GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT));
  if (mapped == nullptr) {
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    return false;
  }
  if (static_cast<size_t>(strideBytes) == rowBytes) {
    std::memcpy(mapped, pixels, static_cast<size_t>(bytes));
  } else {
    for (int y = 0; y < height; ++y)
      std::memcpy(mapped + rowBytes * static_cast<size_t>(y), pixels + static_cast<size_t>(strideBytes) * static_cast<size_t>(y),
                  rowBytes);
  }
  const bool unmapped = glUnmapBuffer(GL_PIXEL_UNPACK_BUFFER) == GL_TRUE;
  if (unmapped) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, format, GL_UNSIGNED_BYTE, nullptr);
  }
  glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  return unmapped;
}

}  // namespace

bool Texture::Update(const uint8_t* pixels, int strideBytes) {
  if (!handle || !pixels) return false;
  ClearStaleErrors();
  BoundTexture bound(Name(handle));
  if (backing == 0 && PixelBuffersHelp()) {
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    backing = buffer;
  }
  if (!UploadThroughPixelBuffer(Name(backing), pixels, strideBytes, width, height, GlFormat(format))) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, strideBytes / 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GlFormat(format), GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  }
  filled = true;
  if (reducedDetail) reducedDetail = ApplyShrinkFilter(false, true);  // the draw smooths it instead
  return glGetError() == GL_NO_ERROR;
}

void Texture::SetSmoothShrink(bool smooth) {
  if (smooth == smoothShrink) return;
  smoothShrink = smooth;
  if (!handle) return;
  BoundTexture bound(Name(handle));
  reducedDetail = ApplyShrinkFilter(smooth, filled);
}

void Texture::Release() {
  if (handle) releasedTextures.push_back(Name(handle));
  if (backing) releasedBuffers.push_back(Name(backing));
  backing = 0;
  handle = 0;
  width = height = 0;
  filled = false;
  reducedDetail = false;
}

void FreeReleasedTextures() {
  if (!releasedTextures.empty()) glDeleteTextures(static_cast<GLsizei>(releasedTextures.size()), releasedTextures.data());
  if (!releasedBuffers.empty()) glDeleteBuffers(static_cast<GLsizei>(releasedBuffers.size()), releasedBuffers.data());
  releasedTextures.clear();
  releasedBuffers.clear();
}

}  // namespace platform

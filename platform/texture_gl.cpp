#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include "platform/texture.h"

namespace platform {
namespace {

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

void ApplyShrinkFilter(bool smooth, bool filled) {
  if (smooth && filled) glGenerateMipmap(GL_TEXTURE_2D);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, smooth && filled ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
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
    ApplyShrinkFilter(smoothShrink, pixels != nullptr);
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

bool Texture::Update(const uint8_t* pixels, int strideBytes) {
  if (!handle || !pixels) return false;
  ClearStaleErrors();
  BoundTexture bound(handle);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, strideBytes / 4);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GlFormat(format), GL_UNSIGNED_BYTE, pixels);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  filled = true;
  if (smoothShrink) ApplyShrinkFilter(true, true);
  return glGetError() == GL_NO_ERROR;
}

void Texture::SetSmoothShrink(bool smooth) {
  if (smooth == smoothShrink) return;
  smoothShrink = smooth;
  if (!handle) return;
  BoundTexture bound(handle);
  ApplyShrinkFilter(smooth, filled);
}

void Texture::Release() {
  if (handle) {
    GLuint name = handle;
    glDeleteTextures(1, &name);
  }
  handle = 0;
  width = height = 0;
  filled = false;
}

}  // namespace platform

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include "platform/texture.h"

namespace platform {

static GLenum GlFormat(PixelFormat format) { return format == PixelFormat::BGRA ? GL_BGRA : GL_RGBA; }

bool Texture::Create(int w, int h, PixelFormat f, const uint8_t* pixels, int strideBytes) {
  Release();
  if (w <= 0 || h <= 0) return false;
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  GLuint name = 0;
  glGenTextures(1, &name);
  if (name == 0) return false;
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
  const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, black);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, pixels && strideBytes > 0 ? strideBytes / 4 : 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GlFormat(f), GL_UNSIGNED_BYTE, pixels);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  const bool ok = glGetError() == GL_NO_ERROR;
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  if (!ok) {
    glDeleteTextures(1, &name);
    return false;
  }
  handle = name;
  width = w;
  height = h;
  format = f;
  return true;
}

bool Texture::Update(const uint8_t* pixels, int strideBytes) {
  if (!handle || !pixels) return false;
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  glBindTexture(GL_TEXTURE_2D, handle);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, strideBytes / 4);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GlFormat(format), GL_UNSIGNED_BYTE, pixels);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  const bool ok = glGetError() == GL_NO_ERROR;
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  return ok;
}

void Texture::Release() {
  if (handle) {
    GLuint name = handle;
    glDeleteTextures(1, &name);
  }
  handle = 0;
  width = height = 0;
}

}  // namespace platform

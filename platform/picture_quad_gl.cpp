// Drawing a picture shrunk well below its size without its fine detail
// breaking up. A picture that stays as it is has its smaller sizes made
// once (mipmaps); a video picture changes every frame, and reducing a 4K
// picture again each time costs far more than drawing it (tens of
// milliseconds in a software renderer). Its draw instead runs a shader
// that averages, for each screen pixel, the texels it covers: the cost is
// per screen pixel, not per texel, and the GUI renderer's own program is
// back for the next draw.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/texture.h"

namespace platform {
namespace {

// The GUI renderer's vertex layout and projection, read from its program.
constexpr const char* kVertexShader = R"(#version 150
uniform mat4 ProjMtx;
in vec2 Position;
in vec2 UV;
in vec4 Color;
out vec2 Frag_UV;
out vec4 Frag_Color;
void main() {
  Frag_UV = UV;
  Frag_Color = Color;
  gl_Position = ProjMtx * vec4(Position.xy, 0, 1);
}
)";

// Linear samples one texel apart, each blending the 2 x 2 texels around
// it, so together they weigh every texel of their span (samples an even
// number of texels apart would all fall on the same phase of a fine
// pattern and show it). Taps 2, for a picture shown at a quarter to a half
// of its size: two samples on the diagonal, at half the cost of a 2 x 2
// grid. Taps n > 2: an n x n grid.
constexpr const char* kFragmentShader = R"(#version 150
uniform sampler2D Texture;
uniform int Taps;
in vec2 Frag_UV;
in vec4 Frag_Color;
out vec4 Out_Color;
void main() {
  vec2 texel = 1.0 / vec2(textureSize(Texture, 0));
  vec4 sum = vec4(0.0);
  float count = 0.0;
  if (Taps == 2) {
    sum = texture(Texture, Frag_UV - 0.5 * texel) + texture(Texture, Frag_UV + 0.5 * texel);
    count = 2.0;
  } else {
    for (int y = 0; y < Taps; ++y)
      for (int x = 0; x < Taps; ++x)
        sum += texture(Texture, Frag_UV + (vec2(x, y) - 0.5 * float(Taps - 1)) * texel);
    count = float(Taps * Taps);
  }
  Out_Color = Frag_Color * sum / count;
}
)";

constexpr int kMostTaps = 5;  // 25 samples: a picture shown at a sixth of its size or less

GLuint Compiled(GLenum kind, const char* source) {
  const GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok == GL_TRUE) return shader;
  glDeleteShader(shader);
  return 0;
}

// The averaging program, linked with the GUI program's attribute places
// so the renderer's vertex arrays feed it as they are.
struct ShrinkProgram {
  GLuint guiProgram = 0;  // whose attribute places it was linked with
  GLuint handle = 0;
  GLint projection = -1, texture = -1, taps = -1;

  bool For(GLuint gui) {
    if (handle != 0 && guiProgram == gui && glIsProgram(handle)) return true;
    if (handle != 0 && glIsProgram(handle)) glDeleteProgram(handle);
    handle = 0;
    guiProgram = gui;
    const GLuint vertex = Compiled(GL_VERTEX_SHADER, kVertexShader);
    const GLuint fragment = Compiled(GL_FRAGMENT_SHADER, kFragmentShader);
    if (vertex == 0 || fragment == 0) {
      if (vertex) glDeleteShader(vertex);
      if (fragment) glDeleteShader(fragment);
      return false;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    for (const char* attribute : {"Position", "UV", "Color"}) {
      const GLint place = glGetAttribLocation(gui, attribute);
      if (place >= 0) glBindAttribLocation(program, static_cast<GLuint>(place), attribute);
    }
    glLinkProgram(program);
    glDeleteShader(vertex);  // freed with the program
    glDeleteShader(fragment);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
      glDeleteProgram(program);
      return false;
    }
    handle = program;
    projection = glGetUniformLocation(program, "ProjMtx");
    texture = glGetUniformLocation(program, "Texture");
    taps = glGetUniformLocation(program, "Taps");
    return true;
  }
};

ShrinkProgram shrink;  // the GUI thread's, used while it renders

// Called by the renderer just before the picture's draw: the taps ride in
// the callback's data. Without the program the picture is drawn plain.
void UseShrinkProgram(const ImDrawList*, const ImDrawCmd* command) {
  GLint gui = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &gui);
  if (gui <= 0 || !shrink.For(static_cast<GLuint>(gui))) return;
  float matrix[16];
  glGetUniformfv(static_cast<GLuint>(gui), glGetUniformLocation(static_cast<GLuint>(gui), "ProjMtx"), matrix);
  glUseProgram(shrink.handle);
  glUniformMatrix4fv(shrink.projection, 1, GL_FALSE, matrix);
  glUniform1i(shrink.texture, 0);  // the renderer binds pictures to unit 0
  glUniform1i(shrink.taps, static_cast<GLint>(reinterpret_cast<intptr_t>(command->UserCallbackData)));
}

}  // namespace

void AddPictureQuad(ImDrawList* list, const Texture& texture, const ImVec2* corners, const ImVec2* uvs, float scale) {
  const bool average = scale > 0.0f && scale < 0.5f && !texture.reducedDetail;
  // Texels each screen pixel covers along a side: under 4, two samples;
  // beyond, a grid one sample short of that many.
  const float covered = average ? 1.0f / scale : 1.0f;
  const int taps = !average ? 1 : covered < 4.0f ? 2 : std::clamp(static_cast<int>(std::ceil(covered)) - 1, 3, kMostTaps);
  if (taps > 1) list->AddCallback(UseShrinkProgram, reinterpret_cast<void*>(static_cast<intptr_t>(taps)));
  list->AddImageQuad(texture.Id(), corners[0], corners[1], corners[2], corners[3], uvs[0], uvs[1], uvs[2], uvs[3]);
  if (taps > 1) list->AddCallback(ImDrawCallback_ResetRenderState, nullptr);
}

}  // namespace platform

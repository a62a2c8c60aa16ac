// Drawing a picture shrunk well below its size without its fine detail
// breaking up, on Direct3D 11. As with OpenGL, a picture that stays as it
// is has its smaller sizes made once, and a video picture, which changes
// every frame, is drawn instead by a pixel shader that averages the texels
// each screen pixel covers. The GUI renderer's vertex shader feeds it as
// it is; its own pixel shader is back for the next draw, and the sampler
// bound for every picture stays.
#include <d3d11.h>
#include <d3dcompiler.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/d3d11_device_windows.h"
#include "platform/shrink_taps.h"
#include "platform/texture.h"

namespace platform {
namespace {

// The GUI renderer's pixel input. Linear samples one texel apart, each
// blending the 2 x 2 texels around it, so together they weigh every texel
// of their span. TAPS 2: two samples on the diagonal; TAPS n > 2: an n x n
// grid.
constexpr char kPixelShader[] = R"(
struct PixelIn {
  float4 position : SV_POSITION;
  float4 colour : COLOR0;
  float2 uv : TEXCOORD0;
};
sampler pictureSampler : register(s0);
Texture2D picture : register(t0);
float4 main(PixelIn input) : SV_Target {
  float width, height;
  picture.GetDimensions(width, height);
  float2 texel = float2(1.0 / width, 1.0 / height);
  float4 sum = float4(0.0, 0.0, 0.0, 0.0);
#if TAPS == 2
  sum = picture.Sample(pictureSampler, input.uv - 0.5 * texel) + picture.Sample(pictureSampler, input.uv + 0.5 * texel);
  return input.colour * sum / 2.0;
#else
  for (int y = 0; y < TAPS; ++y)
    for (int x = 0; x < TAPS; ++x)
      sum += picture.Sample(pictureSampler, input.uv + (float2(x, y) - 0.5 * (TAPS - 1)) * texel);
  return input.colour * sum / (TAPS * TAPS);
#endif
}
)";

// One shader per count of taps, made on first use for the device they
// belong to; where one cannot be made the picture is drawn plain.
class ShrinkShaders {
 public:
  ~ShrinkShaders() { Release(); }

  ID3D11PixelShader* For(ID3D11Device* device, int taps) {
    if (!device || taps < 2 || taps > kMostShrinkTaps) return nullptr;
    if (device != madeFor) {
      Release();
      madeFor = device;
    }
    if (!tried[taps]) {
      tried[taps] = true;
      shaders[taps] = Compiled(device, taps);
    }
    return shaders[taps];
  }

  // The GUI renderer's own shader, kept from the start of a shrunk draw
  // to its end.
  ID3D11PixelShader* gui = nullptr;

 private:
  static ID3D11PixelShader* Compiled(ID3D11Device* device, int taps) {
    const std::string count = std::to_string(taps);
    const D3D_SHADER_MACRO macros[] = {{"TAPS", count.c_str()}, {nullptr, nullptr}};
    ID3DBlob* code = nullptr;
    ID3DBlob* errors = nullptr;
    const HRESULT compiled = D3DCompile(kPixelShader, std::strlen(kPixelShader), "shrink", macros, nullptr, "main",
                                       "ps_4_0", D3DCOMPILE_OPTIMIZATION_LEVEL3, 0, &code, &errors);
    if (errors) errors->Release();
    if (FAILED(compiled) || !code) return nullptr;
    ID3D11PixelShader* shader = nullptr;
    if (FAILED(device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &shader)))
      shader = nullptr;
    code->Release();
    return shader;
  }

  void Release() {
    for (int taps = 0; taps <= kMostShrinkTaps; ++taps) {
      if (shaders[taps]) shaders[taps]->Release();
      shaders[taps] = nullptr;
      tried[taps] = false;
    }
    if (gui) gui->Release();
    gui = nullptr;
    madeFor = nullptr;
  }

  ID3D11Device* madeFor = nullptr;
  ID3D11PixelShader* shaders[kMostShrinkTaps + 1] = {};
  bool tried[kMostShrinkTaps + 1] = {};
};

ShrinkShaders shrink;  // the GUI thread's, used while it renders

// Called by the renderer just before the picture's draw: the taps ride in
// the callback's data.
void UseShrinkShader(const ImDrawList*, const ImDrawCmd* command) {
  ID3D11DeviceContext* context = Direct3DContext();
  const int taps = static_cast<int>(reinterpret_cast<intptr_t>(command->UserCallbackData));
  ID3D11PixelShader* shader = shrink.For(Direct3DDevice(), taps);
  if (!context || !shader) return;
  if (shrink.gui) shrink.gui->Release();
  context->PSGetShader(&shrink.gui, nullptr, nullptr);
  context->PSSetShader(shader, nullptr, 0);
}

void RestoreGuiShader(const ImDrawList*, const ImDrawCmd*) {
  ID3D11DeviceContext* context = Direct3DContext();
  if (!context || !shrink.gui) return;
  context->PSSetShader(shrink.gui, nullptr, 0);
  shrink.gui->Release();
  shrink.gui = nullptr;
}

}  // namespace

void AddPictureQuad(ImDrawList* list, const Texture& texture, const ImVec2* corners, const ImVec2* uvs, float scale) {
  const int taps = ShrinkTaps(scale, texture.reducedDetail);
  if (taps > 1) list->AddCallback(UseShrinkShader, reinterpret_cast<void*>(static_cast<intptr_t>(taps)));
  list->AddImageQuad(texture.Id(), corners[0], corners[1], corners[2], corners[3], uvs[0], uvs[1], uvs[2], uvs[3]);
  if (taps > 1) list->AddCallback(RestoreGuiShader, nullptr);
}

}  // namespace platform

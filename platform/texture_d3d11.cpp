// Textures on Direct3D 11. A picture is a dynamic BGRA (or RGBA) texture
// written whole with Map(WRITE_DISCARD), so the GPU may still read the last
// one while the next goes in. A picture that is to be smoothed when shown
// smaller (a still picture) moves into a texture with all its smaller
// sizes, made once. The handle is the shader-resource view the GUI's
// renderer draws; the backing, the texture.
#include <d3d11.h>

#include <cstring>
#include <vector>

#include "platform/d3d11_device_windows.h"
#include "platform/texture.h"

namespace platform {
namespace {

DXGI_FORMAT FormatOf(PixelFormat format) {
  return format == PixelFormat::BGRA ? DXGI_FORMAT_B8G8R8A8_UNORM : DXGI_FORMAT_R8G8B8A8_UNORM;
}

// Views and textures released since the last frame was shown.
std::vector<IUnknown*> released;

// Without a device no frame is pending: the object goes at once.
void ReleaseAfterFrame(IUnknown* object) {
  if (!object) return;
  if (Direct3DDevice()) {
    released.push_back(object);
  } else {
    object->Release();
  }
}

ID3D11ShaderResourceView* ViewOf(uintptr_t handle) { return reinterpret_cast<ID3D11ShaderResourceView*>(handle); }
ID3D11Texture2D* TextureOf(uintptr_t backing) { return reinterpret_cast<ID3D11Texture2D*>(backing); }

bool IsDynamic(ID3D11Texture2D* texture) {
  D3D11_TEXTURE2D_DESC description{};
  texture->GetDesc(&description);
  return description.Usage == D3D11_USAGE_DYNAMIC;
}

void CopyRows(uint8_t* to, size_t toStride, const uint8_t* from, size_t fromStride, int width, int height) {
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  for (int y = 0; y < height; ++y)
    std::memcpy(to + toStride * static_cast<size_t>(y), from + fromStride * static_cast<size_t>(y), rowBytes);
}

// A texture with every smaller size, made from the picture in `from`.
bool MakeReduced(ID3D11Texture2D* from, PixelFormat format, int width, int height, ID3D11Texture2D*& texture,
                 ID3D11ShaderResourceView*& view) {
  ID3D11Device* device = Direct3DDevice();
  ID3D11DeviceContext* context = Direct3DContext();
  D3D11_TEXTURE2D_DESC description{};
  description.Width = static_cast<UINT>(width);
  description.Height = static_cast<UINT>(height);
  description.MipLevels = 0;  // every size down to one texel
  description.ArraySize = 1;
  description.Format = FormatOf(format);
  description.SampleDesc.Count = 1;
  description.Usage = D3D11_USAGE_DEFAULT;
  description.BindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET;
  description.MiscFlags = D3D11_RESOURCE_MISC_GENERATE_MIPS;
  if (FAILED(device->CreateTexture2D(&description, nullptr, &texture))) return false;
  if (FAILED(device->CreateShaderResourceView(texture, nullptr, &view))) {
    texture->Release();
    texture = nullptr;
    return false;
  }
  context->CopySubresourceRegion(texture, 0, 0, 0, 0, from, 0, nullptr);
  context->GenerateMips(view);
  return true;
}

}  // namespace

bool Texture::Create(int w, int h, PixelFormat f, const uint8_t* pixels, int strideBytes) {
  Release();
  ID3D11Device* device = Direct3DDevice();
  if (!device || w <= 0 || h <= 0 || w > D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION || h > D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION)
    return false;
  D3D11_TEXTURE2D_DESC description{};
  description.Width = static_cast<UINT>(w);
  description.Height = static_cast<UINT>(h);
  description.MipLevels = 1;
  description.ArraySize = 1;
  description.Format = FormatOf(f);
  description.SampleDesc.Count = 1;
  description.Usage = D3D11_USAGE_DYNAMIC;
  description.BindFlags = D3D11_BIND_SHADER_RESOURCE;
  description.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
  ID3D11Texture2D* texture = nullptr;
  ID3D11ShaderResourceView* view = nullptr;
  if (FAILED(device->CreateTexture2D(&description, nullptr, &texture))) return false;
  if (FAILED(device->CreateShaderResourceView(texture, nullptr, &view))) {
    texture->Release();
    return false;
  }
  handle = reinterpret_cast<uintptr_t>(view);
  backing = reinterpret_cast<uintptr_t>(texture);
  width = w;
  height = h;
  format = f;
  if (pixels && !Update(pixels, strideBytes > 0 ? strideBytes : w * 4)) {
    Release();
    return false;
  }
  if (smoothShrink && pixels) SetSmoothShrink(true);
  return true;
}

bool Texture::Update(const uint8_t* pixels, int strideBytes) {
  if (!handle || !pixels) return false;
  ID3D11DeviceContext* context = Direct3DContext();
  ID3D11Texture2D* texture = TextureOf(backing);
  if (!IsDynamic(texture)) {
    // A picture with its smaller sizes that changes: the sizes are made again.
    context->UpdateSubresource(texture, 0, nullptr, pixels, static_cast<UINT>(strideBytes), 0);
    context->GenerateMips(ViewOf(handle));
    filled = true;
    return true;
  }
  D3D11_MAPPED_SUBRESOURCE mapped{};
  if (FAILED(context->Map(texture, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped))) return false;
  CopyRows(static_cast<uint8_t*>(mapped.pData), mapped.RowPitch, pixels, static_cast<size_t>(strideBytes), width, height);
  context->Unmap(texture, 0);
  filled = true;
  return true;
}

void Texture::SetSmoothShrink(bool smooth) {
  smoothShrink = smooth;
  if (!smooth || !handle || !filled || reducedDetail) return;
  ID3D11Texture2D* texture = nullptr;
  ID3D11ShaderResourceView* view = nullptr;
  if (!MakeReduced(TextureOf(backing), format, width, height, texture, view)) return;  // shown as it is
  ReleaseAfterFrame(ViewOf(handle));
  ReleaseAfterFrame(TextureOf(backing));
  handle = reinterpret_cast<uintptr_t>(view);
  backing = reinterpret_cast<uintptr_t>(texture);
  reducedDetail = true;
}

void Texture::Release() {
  ReleaseAfterFrame(ViewOf(handle));
  ReleaseAfterFrame(TextureOf(backing));
  handle = backing = 0;
  width = height = 0;
  filled = false;
  reducedDetail = false;
}

void FreeReleasedTextures() {
  for (IUnknown* object : released) object->Release();
  released.clear();
}

void AddPictureQuad(ImDrawList* list, const Texture& texture, const ImVec2* corners, const ImVec2* uvs, float) {
  list->AddImageQuad(texture.Id(), corners[0], corners[1], corners[2], corners[3], uvs[0], uvs[1], uvs[2], uvs[3]);
}

}  // namespace platform

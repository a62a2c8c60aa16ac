#pragma once
// The window's Direct3D 11 device and immediate context, for the textures;
// nullptr before the window is made and after it is gone.
#include <d3d11.h>

namespace platform {

ID3D11Device* Direct3DDevice();
ID3D11DeviceContext* Direct3DContext();

}  // namespace platform

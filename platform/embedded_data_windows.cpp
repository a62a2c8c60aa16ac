// The data is in the program's resources (resources_windows.rc): a
// resource once loaded stays mapped with the program, so its bytes can be
// handed out as they are.
#include <windows.h>

#include "platform/embedded_data.h"

namespace platform {
namespace {

EmbeddedBytes Resource(int id) {
  HMODULE program = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(id), RT_RCDATA);
  HGLOBAL loaded = found ? LoadResource(program, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return {nullptr, 0};
  return {static_cast<const uint8_t*>(bytes), static_cast<size_t>(SizeofResource(program, found))};
}

}  // namespace

EmbeddedBytes TextFontBytes() { return Resource(101); }
EmbeddedBytes IconFontBytes() { return Resource(102); }
EmbeddedBytes IconPngBytes() { return Resource(103); }

}  // namespace platform

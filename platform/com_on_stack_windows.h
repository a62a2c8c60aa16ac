#pragma once
// A COM interface implemented by an object that lives on its caller's
// stack for the length of one call: it is counted by nobody, and answers
// for the interface and IUnknown only.
#include <windows.h>

namespace platform {

template <typename Interface>
class ComOnStack : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (id == __uuidof(IUnknown) || id == __uuidof(Interface)) {
      *object = static_cast<Interface*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

}  // namespace platform

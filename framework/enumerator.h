#pragma once
// The COM identity the framework's enumerators share: each is an object of
// its own, never aggregated, answering its one interface and IUnknown, with
// a count of its own that starts at the creator's reference.

#include <windows.h>
#include <unknwn.h>

#include "framework/com_object.h"

template <typename Interface, const IID& kInterfaceId>
class CEnumerator : public Interface, public CBaseObject {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == kInterfaceId || riid == IID_IUnknown)
      return GetInterface(static_cast<Interface*>(this), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG count = InterlockedDecrement(&refs_);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
  }

 protected:
  explicit CEnumerator(const char* name) : CBaseObject(name) {}
  virtual ~CEnumerator() = default;

 private:
  volatile LONG refs_ = 1;
};

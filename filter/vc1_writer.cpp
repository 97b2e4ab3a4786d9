#include "filter/vc1_writer.h"

#include <cstring>
#include <new>
#include <string>

#include "filter/dravik_writer_filter.h"
#include "filter/vc1_input_pin.h"
#include "framework/pos_pass_thru.h"

CUnknown* CVc1Writer::CreateInstance(IUnknown* outer, HRESULT* result) {
  auto* writer = new (std::nothrow) CVc1Writer(outer, result);
  if (writer == nullptr) *result = E_OUTOFMEMORY;
  return writer;
}

CVc1Writer::CVc1Writer(IUnknown* outer, HRESULT* result)
    : CUnknown(nullptr, outer),
      core_(platform::SystemUserInterface(), &CVc1Writer::StopFilter, this) {
  // Built on the owner, not on `outer`, which is null when not aggregated.
  filter_ = new (std::nothrow) CDravikWriterFilter(GetOwner(), &core_.FilterLock(), this);
  if (filter_ == nullptr) {
    *result = E_OUTOFMEMORY;
    return;
  }
  pin_ = new (std::nothrow) CVc1InputPin(filter_, &core_.FilterLock(), result, this);
  if (pin_ == nullptr) *result = E_OUTOFMEMORY;
}

CVc1Writer::~CVc1Writer() {
  core_.CloseOutputFile();  // under the filter lock
  delete pin_;
  delete filter_;
  delete passThru_;
  // The core releases the name and its locks last.
}

void CVc1Writer::StopFilter(void* writer) {
  auto* self = static_cast<CVc1Writer*>(writer);
  if (self->filter_ != nullptr)
    self->filter_->Stop();
  else
    self->core_.CloseOutputFile();
}

HRESULT CVc1Writer::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  CAutoLock lock(&core_.FilterLock());
  if (riid == IID_IFileSinkFilter) return GetInterface(static_cast<IFileSinkFilter*>(this), ppv);
  if (riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist) {
    if (filter_ == nullptr) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    return filter_->NonDelegatingQueryInterface(riid, ppv);
  }
  if (riid == IID_IMediaPosition || riid == IID_IMediaSeeking) {
    if (passThru_ == nullptr) {
      // Null before any failure, so a caller that tests only the pointer
      // never takes stack garbage for an interface.
      *ppv = nullptr;
      HRESULT hr = S_OK;
      auto* created = new (std::nothrow)
          CPosPassThru(nullptr, GetOwner(), &hr, pin_ ? pin_->PinInterface() : nullptr);
      if (created == nullptr) return E_OUTOFMEMORY;
      if (FAILED(hr)) {
        delete created;
        return hr;
      }
      passThru_ = created;
    }
    return passThru_->NonDelegatingQueryInterface(riid, ppv);
  }
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CVc1Writer::SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE*) {
  return core_.SetFileName(name);
}

HRESULT CVc1Writer::GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) {
  if (name == nullptr) return E_POINTER;
  *name = nullptr;
  if (type != nullptr) {
    std::memset(type, 0, sizeof *type);  // major type and subtype GUID_NULL
  }
  // A copy taken under the filter lock: SetFileName may replace the name
  // meanwhile on another thread.
  std::wstring stored;
  if (!core_.GetOutputFileName(&stored)) return S_OK;
  const std::size_t bytes = (stored.size() + 1) * sizeof(WCHAR);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (copy == nullptr) return E_OUTOFMEMORY;
  std::memcpy(copy, stored.c_str(), bytes);
  *name = copy;
  return S_OK;
}

#include "framework/pos_pass_thru.h"

#include <olectl.h>
#include <uuids.h>

#include <atomic>

#include "framework/com_ptr.h"
#include "framework/hresult.h"

using framework::ComPtr;

namespace {

std::atomic<const TypeLibraryLoaders*> g_loaders{nullptr};

// The failure the system gives for a library or function that is missing.
HRESULT MissingFunction() {
  return static_cast<HRESULT>(GetLastError() | 0x80070000u);
}

HRESULT LoadRegistered(const TypeLibraryLoaders* loaders, LCID locale, ITypeLib** library) {
  if (loaders) return loaders->loadRegistered(LIBID_QuartzTypeLib, 1, 0, locale, library);
  HMODULE automation = LoadOleAut32();
  if (!automation) return MissingFunction();
  auto* load = reinterpret_cast<decltype(TypeLibraryLoaders::loadRegistered)>(
      reinterpret_cast<void*>(GetProcAddress(automation, "LoadRegTypeLib")));
  if (!load) return MissingFunction();
  return load(LIBID_QuartzTypeLib, 1, 0, locale, library);
}

HRESULT LoadFile(const TypeLibraryLoaders* loaders, ITypeLib** library) {
  if (loaders) return loaders->loadFile(L"control.tlb", library);
  HMODULE automation = LoadOleAut32();
  if (!automation) return MissingFunction();
  auto* load = reinterpret_cast<decltype(TypeLibraryLoaders::loadFile)>(
      reinterpret_cast<void*>(GetProcAddress(automation, "LoadTypeLib")));
  if (!load) return MissingFunction();
  return load(L"control.tlb", library);
}

}  // namespace

void SetTypeLibraryLoaders(const TypeLibraryLoaders* loaders) {
  g_loaders = loaders;
}

// CBaseDispatch

CBaseDispatch::~CBaseDispatch() {
  if (typeInfo_) typeInfo_->Release();
}

HRESULT CBaseDispatch::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT CBaseDispatch::GetTypeInfo(REFIID riid, UINT index, LCID locale, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return TYPE_E_ELEMENTNOTFOUND;
  auto* volatile* cache = &typeInfo_;
  ITypeInfo* held = static_cast<ITypeInfo*>(InterlockedCompareExchangePointer(
      reinterpret_cast<PVOID volatile*>(cache), nullptr, nullptr));
  if (!held) {
    const TypeLibraryLoaders* loaders = g_loaders.load();
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadRegistered(loaders, locale, library.put());
    if (FAILED(hr)) {
      hr = LoadFile(loaders, library.put());
      if (FAILED(hr)) return hr;
    }
    ITypeInfo* loaded = nullptr;
    hr = library->GetTypeInfoOfGuid(riid, &loaded);
    if (FAILED(hr)) return hr;
    PVOID previous = InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(cache),
                                                       loaded, nullptr);
    if (previous) {
      // Another thread filled the cache first; its copy is the one kept.
      loaded->Release();
      held = static_cast<ITypeInfo*>(previous);
    } else {
      held = loaded;
    }
  }
  held->AddRef();
  *info = held;
  return S_OK;
}

HRESULT CBaseDispatch::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                     DISPID* ids) {
  ComPtr<ITypeInfo> info;
  const HRESULT hr = GetTypeInfo(riid, 0, locale, info.put());
  if (FAILED(hr)) return hr;
  return info->GetIDsOfNames(names, count, ids);
}

// CMediaPosition

CMediaPosition::CMediaPosition(const char* objectName, IUnknown* outer)
    : CUnknown(objectName, outer) {}

CMediaPosition::CMediaPosition(const char* objectName, IUnknown* outer, HRESULT* /*result*/)
    : CMediaPosition(objectName, outer) {}

HRESULT STDMETHODCALLTYPE CMediaPosition::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IMediaPosition) return GetInterface(static_cast<IMediaPosition*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CMediaPosition::GetTypeInfoCount(UINT* count) {
  return dispatch_.GetTypeInfoCount(count);
}

HRESULT STDMETHODCALLTYPE CMediaPosition::GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) {
  return dispatch_.GetTypeInfo(IID_IMediaPosition, index, locale, info);
}

HRESULT STDMETHODCALLTYPE CMediaPosition::GetIDsOfNames(REFIID /*riid*/, LPOLESTR* names,
                                                        UINT count, LCID locale, DISPID* ids) {
  return dispatch_.GetIDsOfNames(IID_IMediaPosition, names, count, locale, ids);
}

HRESULT STDMETHODCALLTYPE CMediaPosition::Invoke(DISPID member, REFIID riid, LCID locale,
                                                 WORD flags, DISPPARAMS* params, VARIANT* result,
                                                 EXCEPINFO* exception, UINT* argumentError) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  ComPtr<ITypeInfo> info;
  const HRESULT hr = GetTypeInfo(0, locale, info.put());
  if (FAILED(hr)) return hr;
  return info->Invoke(static_cast<IMediaPosition*>(this), member, flags, params, result, exception,
                      argumentError);
}

// CPosPassThru

CPosPassThru::CPosPassThru(const char* objectName, IUnknown* outer, HRESULT* result, IPin* pin)
    : CMediaPosition(objectName, outer), pin_(pin) {
  if (!pin && result) *result = E_POINTER;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IMediaSeeking) return GetInterface(static_cast<IMediaSeeking*>(this), ppv);
  return CMediaPosition::NonDelegatingQueryInterface(riid, ppv);
}

namespace {

template <typename Peer>
HRESULT FindPeer(IPin* pin, REFIID riid, Peer** peer) {
  if (!peer) return E_POINTER;
  *peer = nullptr;
  if (!pin) return E_NOTIMPL;
  ComPtr<IPin> connected;
  if (FAILED(pin->ConnectedTo(connected.put())) || !connected) return E_NOTIMPL;
  if (FAILED(connected->QueryInterface(riid, reinterpret_cast<void**>(peer))) || !*peer) {
    *peer = nullptr;
    return E_NOTIMPL;
  }
  return S_OK;
}

// Runs `call` on the upstream interface, or answers why there is none.
template <typename Peer, typename Call>
HRESULT Forward(HRESULT found, Peer* peer, Call call) {
  if (FAILED(found)) return found;
  ComPtr<Peer> held;
  held.attach(peer);
  return call(held.get());
}

}  // namespace

HRESULT CPosPassThru::GetPeerSeeking(IMediaSeeking** seeking) {
  return FindPeer(pin_, IID_IMediaSeeking, seeking);
}

HRESULT CPosPassThru::GetPeer(IMediaPosition** position) {
  return FindPeer(pin_, IID_IMediaPosition, position);
}

// One line per forwarded method: find the peer, make the same call on it.
#define FORWARD_SEEKING(call)                                                     \
  IMediaSeeking* peer = nullptr;                                                  \
  const HRESULT found = GetPeerSeeking(&peer);                                    \
  return Forward(found, peer, [&](IMediaSeeking* upstream) { return upstream->call; })
#define FORWARD_POSITION(call)                                                    \
  IMediaPosition* peer = nullptr;                                                 \
  const HRESULT found = GetPeer(&peer);                                           \
  return Forward(found, peer, [&](IMediaPosition* upstream) { return upstream->call; })

HRESULT STDMETHODCALLTYPE CPosPassThru::GetCapabilities(DWORD* capabilities) {
  FORWARD_SEEKING(GetCapabilities(capabilities));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::CheckCapabilities(DWORD* capabilities) {
  FORWARD_SEEKING(CheckCapabilities(capabilities));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::IsFormatSupported(const GUID* format) {
  FORWARD_SEEKING(IsFormatSupported(format));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::QueryPreferredFormat(GUID* format) {
  FORWARD_SEEKING(QueryPreferredFormat(format));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetTimeFormat(GUID* format) {
  FORWARD_SEEKING(GetTimeFormat(format));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::IsUsingTimeFormat(const GUID* format) {
  FORWARD_SEEKING(IsUsingTimeFormat(format));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::SetTimeFormat(const GUID* format) {
  FORWARD_SEEKING(SetTimeFormat(format));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetDuration(LONGLONG* duration) {
  FORWARD_SEEKING(GetDuration(duration));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetStopPosition(LONGLONG* stop) {
  FORWARD_SEEKING(GetStopPosition(stop));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetCurrentPosition(LONGLONG* current) {
  if (SUCCEEDED(GetMediaTime(current, nullptr))) return S_OK;
  FORWARD_SEEKING(GetCurrentPosition(current));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::ConvertTimeFormat(LONGLONG* target,
                                                          const GUID* targetFormat,
                                                          LONGLONG source,
                                                          const GUID* sourceFormat) {
  FORWARD_SEEKING(ConvertTimeFormat(target, targetFormat, source, sourceFormat));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::SetPositions(LONGLONG* current, DWORD currentFlags,
                                                     LONGLONG* stop, DWORD stopFlags) {
  FORWARD_SEEKING(SetPositions(current, currentFlags, stop, stopFlags));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetPositions(LONGLONG* current, LONGLONG* stop) {
  FORWARD_SEEKING(GetPositions(current, stop));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
  FORWARD_SEEKING(GetAvailable(earliest, latest));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::SetRate(double rate) {
  if (rate == 0.0) return E_INVALIDARG;
  FORWARD_SEEKING(SetRate(rate));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetRate(double* rate) {
  FORWARD_SEEKING(GetRate(rate));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::GetPreroll(LONGLONG* preroll) {
  FORWARD_SEEKING(GetPreroll(preroll));
}

HRESULT CPosPassThru::GetMediaTime(LONGLONG* /*start*/, LONGLONG* /*end*/) {
  return E_FAIL;
}

HRESULT STDMETHODCALLTYPE CPosPassThru::get_Duration(REFTIME* length) {
  FORWARD_POSITION(get_Duration(length));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::put_CurrentPosition(REFTIME time) {
  FORWARD_POSITION(put_CurrentPosition(time));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::get_CurrentPosition(REFTIME* time) {
  FORWARD_POSITION(get_CurrentPosition(time));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::get_StopTime(REFTIME* time) {
  FORWARD_POSITION(get_StopTime(time));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::put_StopTime(REFTIME time) {
  FORWARD_POSITION(put_StopTime(time));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::get_PrerollTime(REFTIME* time) {
  FORWARD_POSITION(get_PrerollTime(time));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::put_PrerollTime(REFTIME time) {
  FORWARD_POSITION(put_PrerollTime(time));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::put_Rate(double rate) {
  if (rate == 0.0) return E_INVALIDARG;
  FORWARD_POSITION(put_Rate(rate));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::get_Rate(double* rate) {
  FORWARD_POSITION(get_Rate(rate));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::CanSeekForward(LONG* canSeek) {
  FORWARD_POSITION(CanSeekForward(canSeek));
}
HRESULT STDMETHODCALLTYPE CPosPassThru::CanSeekBackward(LONG* canSeek) {
  FORWARD_POSITION(CanSeekBackward(canSeek));
}

#include "framework/base_pin.h"

#include <vfwmsgs.h>

#include <cstring>
#include <new>

#include "framework/base_filter.h"
#include "framework/com_ptr.h"
#include "framework/wide_string.h"

using framework::ComPtr;

namespace {

constexpr std::size_t kNameCapacity = 128;

// A type refused by an answer that only means "not this one" is reported to
// the peer as VFW_E_TYPE_NOT_ACCEPTED; any other failure passes unchanged.
HRESULT TypeRefusal(HRESULT hr) {
  if (SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG) return VFW_E_TYPE_NOT_ACCEPTED;
  return hr;
}

// Answers that only mean "try the next type" and are not worth remembering.
bool IsPlainRefusal(HRESULT hr) {
  return hr == E_FAIL || hr == E_INVALIDARG || hr == VFW_E_TYPE_NOT_ACCEPTED;
}

bool IsPartial(const AM_MEDIA_TYPE& type) {
  return type.majortype == GUID_NULL || type.formattype == GUID_NULL;
}

}  // namespace

CBasePin::CBasePin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* result,
                   LPCWSTR pinName, PIN_DIRECTION direction)
    : CUnknown(objectName, nullptr), direction_(direction), lock_(lock), filter_(filter) {
  if (pinName) {
    if (FAILED(WideDuplicateToTaskMemory(pinName, &name_)) && result) {
      // A nameless pin would be found by nothing and crash QueryId.
      *result = E_OUTOFMEMORY;
    }
  }
}

CBasePin::~CBasePin() {
  CoTaskMemFree(name_);
  if (peer_) peer_->Release();
}

HRESULT STDMETHODCALLTYPE CBasePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IPin) return GetInterface(static_cast<IPin*>(this), ppv);
  if (riid == IID_IQualityControl) return GetInterface(static_cast<IQualityControl*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

ULONG STDMETHODCALLTYPE CBasePin::NonDelegatingAddRef() {
  return filter_->FilterInterface()->AddRef();
}

ULONG STDMETHODCALLTYPE CBasePin::NonDelegatingRelease() {
  return filter_->FilterInterface()->Release();
}

bool CBasePin::IsStopped() const {
  return filter_->IsStopped();
}

LONG CBasePin::GetMediaTypeVersion() {
  return InterlockedCompareExchange(&typeVersion_, 0, 0);
}

void CBasePin::IncrementTypeVersion() {
  InterlockedIncrement(&typeVersion_);
}

HRESULT CBasePin::Active() {
  return S_OK;
}

HRESULT CBasePin::Inactive() {
  runTimeError_ = false;
  return S_OK;
}

HRESULT CBasePin::Run(REFERENCE_TIME /*start*/) {
  return S_OK;
}

HRESULT CBasePin::SetMediaType(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  return mediaType_.Set(*type);
}

HRESULT CBasePin::CheckConnect(IPin* peer) {
  PIN_DIRECTION peerDirection;
  const HRESULT hr = peer->QueryDirection(&peerDirection);
  // A peer that cannot tell its direction is not one to connect to.
  if (FAILED(hr)) return hr;
  return peerDirection == direction_ ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::BreakConnect() {
  return S_OK;
}

HRESULT CBasePin::CompleteConnect(IPin* /*peer*/) {
  return S_OK;
}

HRESULT CBasePin::GetMediaType(int /*position*/, CMediaType* /*type*/) {
  return E_UNEXPECTED;
}

void CBasePin::ClearPeer() {
  // The agreed type belongs to the connection: a pin left unconnected keeps
  // no copy (nor the reference on its owner object).
  mediaType_.InitMediaType();
  if (peer_) {
    IPin* peer = peer_;
    peer_ = nullptr;
    peer->Release();
  }
}

HRESULT STDMETHODCALLTYPE CBasePin::Connect(IPin* peer, const AM_MEDIA_TYPE* type) {
  if (!peer) return E_POINTER;
  CAutoLock lock(lock_);
  HRESULT hr = ConnectionAllowed();
  if (FAILED(hr)) return hr;
  hr = AgreeMediaType(peer, type);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  return S_OK;
}

HRESULT CBasePin::AgreeMediaType(IPin* peer, const AM_MEDIA_TYPE* type) {
  if (type && !IsPartial(*type)) return AttemptConnection(peer, type);
  HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
  for (int pass = 0; pass < 2; ++pass) {
    ComPtr<IEnumMediaTypes> types;
    const bool peersTypes = (pass == 0) != tryMyTypesFirst_;
    const HRESULT got = peersTypes ? peer->EnumMediaTypes(types.put()) : EnumMediaTypes(types.put());
    if (FAILED(got) || !types) continue;
    const HRESULT hr = TryMediaTypes(peer, type, types.get());
    if (SUCCEEDED(hr)) return S_OK;
    if (!IsPlainRefusal(hr)) failure = hr;
  }
  return failure;
}

HRESULT CBasePin::TryMediaTypes(IPin* peer, const AM_MEDIA_TYPE* partial, IEnumMediaTypes* types) {
  HRESULT hr = types->Reset();
  if (FAILED(hr)) return hr;
  HRESULT failure = S_OK;
  for (;;) {
    AM_MEDIA_TYPE* offered = nullptr;
    ULONG fetched = 0;
    if (types->Next(1, &offered, &fetched) != S_OK || !offered) {
      // A misbehaving enumerator may still have handed something out.
      DeleteMediaType(offered);
      return failure != S_OK ? failure : VFW_E_NO_ACCEPTABLE_TYPES;
    }
    hr = VFW_E_NO_ACCEPTABLE_TYPES;
    if (!partial || CMediaType(*offered).MatchesPartial(partial)) {
      hr = AttemptConnection(peer, offered);
      if (FAILED(hr) && !IsPlainRefusal(hr) && failure == S_OK) failure = hr;
    }
    DeleteMediaType(offered);
    // A connection completed with a success code other than S_OK is still
    // a connection: trying further types on a connected pin would lose it.
    if (SUCCEEDED(hr)) return S_OK;
  }
}

HRESULT CBasePin::ConnectionAllowed() const {
  if (peer_) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped() && !canReconnectWhenActive_) return VFW_E_NOT_STOPPED;
  return S_OK;
}

HRESULT CBasePin::CheckPeerAndType(IPin* peer, const AM_MEDIA_TYPE* type) {
  HRESULT hr = CheckConnect(peer);
  if (SUCCEEDED(hr)) {
    hr = CheckMediaType(type);
    if (hr == S_OK) return S_OK;
    hr = TypeRefusal(hr);
  }
  BreakConnect();
  return hr;
}

HRESULT CBasePin::AttemptConnection(IPin* peer, const AM_MEDIA_TYPE* type) {
  HRESULT hr = CheckPeerAndType(peer, type);
  if (FAILED(hr)) return hr;
  peer_ = peer;
  peer_->AddRef();
  hr = SetMediaType(type);
  if (SUCCEEDED(hr)) hr = peer->ReceiveConnection(PinInterface(), type);
  if (SUCCEEDED(hr)) {
    hr = CompleteConnect(peer);
    if (SUCCEEDED(hr)) return hr;
    peer->Disconnect();
  }
  BreakConnect();
  ClearPeer();
  return hr;
}

HRESULT STDMETHODCALLTYPE CBasePin::ReceiveConnection(IPin* peer, const AM_MEDIA_TYPE* type) {
  if (!peer || !type) return E_POINTER;
  CAutoLock lock(lock_);
  HRESULT hr = ConnectionAllowed();
  if (FAILED(hr)) return hr;
  hr = CheckPeerAndType(peer, type);
  if (FAILED(hr)) return hr;
  peer_ = peer;
  peer_->AddRef();
  hr = SetMediaType(type);
  if (SUCCEEDED(hr)) hr = CompleteConnect(peer);
  if (SUCCEEDED(hr)) return S_OK;
  ClearPeer();
  BreakConnect();
  return hr;
}

HRESULT STDMETHODCALLTYPE CBasePin::Disconnect() {
  CAutoLock lock(lock_);
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  return DisconnectInternal();
}

HRESULT CBasePin::DisconnectInternal() {
  if (!peer_) return S_FALSE;
  const HRESULT hr = BreakConnect();
  if (FAILED(hr)) return hr;
  ClearPeer();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::ConnectedTo(IPin** peer) {
  if (!peer) return E_POINTER;
  // Disconnect releases the peer under this lock.
  CAutoLock lock(lock_);
  *peer = peer_;
  if (!peer_) return VFW_E_NOT_CONNECTED;
  peer_->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  CAutoLock lock(lock_);
  if (!peer_) {
    InitMediaType(type);
    return VFW_E_NOT_CONNECTED;
  }
  if (FAILED(CopyMediaType(type, &mediaType_))) {
    // Whatever the failed copy holds goes back, so the caller's record owns
    // nothing of ours.
    FreeMediaType(*type);
    InitMediaType(type);
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = filter_ ? filter_->FilterInterface() : nullptr;
  if (info->pFilter) info->pFilter->AddRef();
  WideCopyBounded(info->achName, name_ ? name_ : L"", kNameCapacity);
  info->dir = direction_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = direction_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryId(LPWSTR* id) {
  if (!id) return E_POINTER;
  return WideDuplicateToTaskMemory(name_ ? name_ : L"", id);
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  const HRESULT hr = CheckMediaType(type);
  return FAILED(hr) ? S_FALSE : hr;
}

HRESULT STDMETHODCALLTYPE CBasePin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (!types) return E_POINTER;
  *types = new (std::nothrow) CEnumMediaTypes(this, nullptr);
  return *types ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryInternalConnections(IPin** /*pins*/, ULONG* /*count*/) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBasePin::EndOfStream() {
  return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE CBasePin::BeginFlush() {
  return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE CBasePin::EndFlush() {
  return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                               double rate) {
  segmentStart_ = start;
  segmentStop_ = stop;
  segmentRate_ = rate;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::Notify(IBaseFilter* sender, Quality /*quality*/) {
  return sender ? S_OK : E_POINTER;
}

HRESULT STDMETHODCALLTYPE CBasePin::SetSink(IQualityControl* sink) {
  CAutoLock lock(lock_);
  qualitySink_ = sink;
  return S_OK;
}

// CEnumMediaTypes

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* source)
    : CEnumerator("Media type enumerator"), pin_(pin) {
  pin_->PinInterface()->AddRef();
  if (source) {
    position_ = source->position_;
    version_ = source->version_;
  } else {
    version_ = pin_->GetMediaTypeVersion();
  }
}

CEnumMediaTypes::~CEnumMediaTypes() {
  pin_->PinInterface()->Release();
}

bool CEnumMediaTypes::OutOfSync() const {
  return pin_->GetMediaTypeVersion() != version_;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE** types,
                                                ULONG* fetched) {
  if (!types) return E_POINTER;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  if (fetched) {
    *fetched = 0;
  } else if (count > 1) {
    return E_INVALIDARG;
  }
  ULONG got = 0;
  while (count != 0) {
    // The local record frees what it holds unless it is handed on, so a
    // type fetched before a failed allocation does not leak.
    CMediaType type;
    if (pin_->GetMediaType(position_++, &type) != S_OK) break;
    auto* block = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!block) break;
    // The format block and the owner pass to the caller without a copy.
    std::memcpy(block, static_cast<AM_MEDIA_TYPE*>(&type), sizeof(AM_MEDIA_TYPE));
    type.cbFormat = 0;
    type.pbFormat = nullptr;
    type.pUnk = nullptr;
    types[got++] = block;
    --count;
  }
  if (fetched) *fetched = got;
  return count == 0 ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Skip(ULONG count) {
  if (count == 0) return S_OK;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  position_ += static_cast<int>(count);
  CMediaType type;
  return pin_->GetMediaType(position_ - 1, &type) == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Reset() {
  position_ = 0;
  version_ = pin_->GetMediaTypeVersion();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Clone(IEnumMediaTypes** clone) {
  if (!clone) return E_POINTER;
  *clone = nullptr;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  *clone = new (std::nothrow) CEnumMediaTypes(pin_, this);
  return *clone ? S_OK : E_OUTOFMEMORY;
}

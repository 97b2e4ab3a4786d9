#include "framework/input_pin.h"

#include <evcode.h>
#include <vfwmsgs.h>

#include "framework/base_filter.h"
#include "framework/memory_allocator.h"

CBaseInputPin::CBaseInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock,
                             HRESULT* result, LPCWSTR pinName)
    : CBasePin(objectName, filter, lock, result, pinName, PINDIR_INPUT) {}

CBaseInputPin::~CBaseInputPin() {
  if (allocator_) allocator_->Release();
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IMemInputPin) return GetInterface(static_cast<IMemInputPin*>(this), ppv);
  return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBaseInputPin::Inactive() {
  SetRunTimeError(false);
  if (!allocator_) return VFW_E_NO_ALLOCATOR;
  flushing_ = false;
  return allocator_->Decommit();
}

HRESULT CBaseInputPin::BreakConnect() {
  if (allocator_) {
    const HRESULT hr = allocator_->Decommit();
    if (FAILED(hr)) return hr;
    IMemAllocator* allocator = allocator_;
    allocator_ = nullptr;
    allocator->Release();
  }
  return S_OK;
}

HRESULT CBaseInputPin::CheckStreaming() {
  if (IsStopped()) return VFW_E_WRONG_STATE;
  if (flushing_) return S_FALSE;
  if (RunTimeError()) return VFW_E_RUNTIME_ERROR;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::BeginFlush() {
  CAutoLock lock(PinLock());
  flushing_ = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::EndFlush() {
  CAutoLock lock(PinLock());
  flushing_ = false;
  SetRunTimeError(false);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  CAutoLock lock(PinLock());
  if (!allocator_) {
    IMemAllocator* created = nullptr;
    const HRESULT hr = CreateMemoryAllocator(&created);
    if (FAILED(hr)) {
      *allocator = nullptr;
      return hr;
    }
    allocator_ = created;
  }
  *allocator = allocator_;
  allocator_->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  if (!allocator) return E_POINTER;
  CAutoLock lock(PinLock());
  // AddRef before Release: the allocator handed in may be the one held.
  allocator->AddRef();
  IMemAllocator* previous = allocator_;
  allocator_ = allocator;
  if (previous) previous->Release();
  readOnly_ = readOnly != FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::ReceiveMultiple(IMediaSample** samples, LONG count,
                                                         LONG* processed) {
  if (!samples || !processed) return E_POINTER;
  *processed = 0;
  HRESULT hr = S_OK;
  IMemInputPin* self = this;
  for (LONG i = 0; i < count; ++i) {
    hr = self->Receive(samples[i]);
    if (hr != S_OK) break;
    ++*processed;
  }
  return hr;
}

// CRenderedInputPin

CRenderedInputPin::CRenderedInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock,
                                     HRESULT* result, LPCWSTR pinName)
    : CBaseInputPin(objectName, filter, lock, result, pinName) {}

bool CRenderedInputPin::TakeCompletion() {
  if (completeNotified_) return false;
  completeNotified_ = TRUE;
  return true;
}

HRESULT STDMETHODCALLTYPE CRenderedInputPin::EndOfStream() {
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  bool notify = false;
  {
    // Run tells the pins before the filter's state says running. Deciding
    // under the filter lock serialises this with Run: either Run finds the
    // end of stream recorded, or this finds the filter running.
    CAutoLock lock(PinLock());
    if (!atEndOfStream_) {
      atEndOfStream_ = TRUE;
      FILTER_STATE state = State_Stopped;
      Filter()->FilterInterface()->GetState(0, &state);
      notify = state == State_Running && TakeCompletion();
    }
  }
  // The graph's sink is called with no lock of ours held.
  if (notify) Filter()->NotifyEvent(EC_COMPLETE, S_OK, 0);
  return hr;
}

HRESULT STDMETHODCALLTYPE CRenderedInputPin::EndFlush() {
  {
    CAutoLock lock(PinLock());
    atEndOfStream_ = FALSE;
    completeNotified_ = FALSE;
  }
  return CBaseInputPin::EndFlush();
}

HRESULT CRenderedInputPin::Active() {
  atEndOfStream_ = FALSE;
  completeNotified_ = FALSE;
  return S_OK;
}

HRESULT CRenderedInputPin::Run(REFERENCE_TIME /*start*/) {
  // The filter calls this with its lock held.
  completeNotified_ = FALSE;
  if (atEndOfStream_ && TakeCompletion()) Filter()->NotifyEvent(EC_COMPLETE, S_OK, 0);
  return S_OK;
}

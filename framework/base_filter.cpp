#include "framework/base_filter.h"

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <new>

#include "framework/base_pin.h"
#include "framework/com_ptr.h"
#include "framework/registration.h"
#include "framework/wide_string.h"

using framework::ComPtr;

namespace {

// FILTER_INFO and PIN_INFO name fields, in characters.
constexpr std::size_t kNameCapacity = 128;

// Names live in task memory, like every string this code hands across.
WCHAR* CopyName(LPCWSTR name) {
  WCHAR* copy = nullptr;
  if (name) WideDuplicateToTaskMemory(name, &copy);
  return copy;
}

// Registers or unregisters the setup data through the older filter mapper.
// The caller's COM initialisation survives: only a CoInitialize made here
// is balanced.
HRESULT RegisterSetupData(const AMOVIESETUP_FILTER* setup, BOOL registering) {
  const HRESULT comInit = CoInitialize(nullptr);
  HRESULT hr;
  {
    ComPtr<IFilterMapper> mapper;
    hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                          mapper.put_void());
    if (SUCCEEDED(hr)) hr = AMovieSetupRegisterFilter(setup, mapper.get(), registering);
  }
  CoFreeUnusedLibraries();
  if (SUCCEEDED(comInit)) CoUninitialize();
  return hr;
}

}  // namespace

CBaseFilter::CBaseFilter(const char* objectName, IUnknown* outer, CCritSec* lock, REFCLSID clsid)
    : CUnknown(objectName, outer), clsid_(clsid), lock_(lock) {}

CBaseFilter::CBaseFilter(const char* objectName, IUnknown* outer, CCritSec* lock, REFCLSID clsid,
                         HRESULT* /*result*/)
    : CBaseFilter(objectName, outer, lock, clsid) {}

CBaseFilter::~CBaseFilter() {
  CoTaskMemFree(name_);
  if (clock_) clock_->Release();
}

HRESULT STDMETHODCALLTYPE CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist) {
    return GetInterface(static_cast<IBaseFilter*>(this), ppv);
  }
  if (riid == IID_IAMovieSetup) return GetInterface(static_cast<IAMovieSetup*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBaseFilter::StreamTime(REFERENCE_TIME& time) {
  if (!clock_) return VFW_E_NO_CLOCK;
  const HRESULT hr = clock_->GetTime(&time);
  if (FAILED(hr)) return hr;
  time -= start_;
  return S_OK;
}

LONG CBaseFilter::GetPinVersion() {
  return InterlockedCompareExchange(&pinVersion_, 0, 0);
}

void CBaseFilter::IncrementPinVersion() {
  InterlockedIncrement(&pinVersion_);
}

const AMOVIESETUP_FILTER* CBaseFilter::GetSetupData() {
  return nullptr;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = clsid_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Stop() {
  CAutoLock lock(lock_);
  HRESULT result = S_OK;
  if (state_ != State_Stopped) {
    // Every connected pin is told, whatever the others answer: one failing
    // pin must not leave the rest streaming.
    const int count = GetPinCount();
    for (int i = 0; i < count; ++i) {
      CBasePin* pin = GetPin(i);
      if (!pin || !pin->IsConnected()) continue;
      const HRESULT hr = pin->Inactive();
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
  }
  state_ = State_Stopped;
  return result;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Pause() {
  CAutoLock lock(lock_);
  if (state_ == State_Stopped) {
    const int count = GetPinCount();
    for (int i = 0; i < count; ++i) {
      CBasePin* pin = GetPin(i);
      if (!pin || !pin->IsConnected()) continue;
      const HRESULT hr = pin->Active();
      if (FAILED(hr)) return hr;
    }
  }
  state_ = State_Paused;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Run(REFERENCE_TIME start) {
  CAutoLock lock(lock_);
  start_ = start;
  if (state_ == State_Stopped) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  if (state_ != State_Running) {
    const int count = GetPinCount();
    for (int i = 0; i < count; ++i) {
      CBasePin* pin = GetPin(i);
      if (!pin || !pin->IsConnected()) continue;
      const HRESULT hr = pin->Run(start);
      if (FAILED(hr)) return hr;
    }
  }
  state_ = State_Running;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::GetState(DWORD /*timeout*/, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  *state = state_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::SetSyncSource(IReferenceClock* clock) {
  CAutoLock lock(lock_);
  if (clock) clock->AddRef();
  if (clock_) clock_->Release();
  clock_ = clock;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  CAutoLock lock(lock_);
  if (clock_) clock_->AddRef();
  *clock = clock_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::EnumPins(IEnumPins** pins) {
  if (!pins) return E_POINTER;
  *pins = new (std::nothrow) CEnumPins(this, nullptr);
  return *pins ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (!pin) return E_POINTER;
  *pin = nullptr;
  if (!id) return E_POINTER;
  CAutoLock lock(lock_);
  const int count = GetPinCount();
  for (int i = 0; i < count; ++i) {
    CBasePin* candidate = GetPin(i);
    if (!candidate || !candidate->Name()) continue;
    if (WideCompare(candidate->Name(), id) == 0) {
      *pin = candidate->PinInterface();
      (*pin)->AddRef();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  // JoinFilterGraph frees the name and replaces the graph under this lock.
  CAutoLock lock(lock_);
  WideCopyBounded(info->achName, name_ ? name_ : L"", kNameCapacity);
  info->pGraph = graph_;
  if (graph_) graph_->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  CAutoLock lock(lock_);
  graph_ = graph;
  sink_ = nullptr;
  if (graph) {
    // The graph owns the filter; holding its sink would make a cycle. The
    // pointer stays valid until the graph lets the filter go.
    if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink_))) &&
        sink_) {
      sink_->Release();
    }
  }
  CoTaskMemFree(name_);
  name_ = CopyName(name);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::QueryVendorInfo(LPWSTR* /*info*/) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Register() {
  const AMOVIESETUP_FILTER* setup = GetSetupData();
  if (!setup) return S_FALSE;
  return RegisterSetupData(setup, TRUE);
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Unregister() {
  const AMOVIESETUP_FILTER* setup = GetSetupData();
  if (!setup) return S_FALSE;
  const HRESULT hr = RegisterSetupData(setup, FALSE);
  return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ? S_OK : hr;
}

HRESULT CBaseFilter::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2) {
  IMediaEventSink* sink = sink_;
  if (!sink) return E_NOTIMPL;
  if (code == EC_COMPLETE) param2 = reinterpret_cast<LONG_PTR>(FilterInterface());
  return sink->Notify(code, param1, param2);
}

// CEnumPins

CEnumPins::CEnumPins(CBaseFilter* filter, const CEnumPins* source)
    : CEnumerator("Pin enumerator"), filter_(filter) {
  filter_->FilterInterface()->AddRef();
  if (source) {
    position_ = source->position_;
    pinCount_ = source->pinCount_;
    version_ = source->version_;
    complete_ = returned_.AddTail(source->returned_);
  } else {
    version_ = filter_->GetPinVersion();
    pinCount_ = filter_->GetPinCount();
  }
}

CEnumPins::~CEnumPins() {
  returned_.RemoveAll();
  filter_->FilterInterface()->Release();
}

bool CEnumPins::OutOfSync() const {
  return filter_->GetPinVersion() != version_;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (!pins) return E_POINTER;
  if (fetched) {
    *fetched = 0;
  } else if (count > 1) {
    return E_INVALIDARG;
  }
  if (OutOfSync()) {
    // A changed pin set restarts the walk but remembers what was handed out.
    version_ = filter_->GetPinVersion();
    pinCount_ = filter_->GetPinCount();
    position_ = 0;
  }
  const ULONG left = pinCount_ > position_ ? static_cast<ULONG>(pinCount_ - position_) : 0;
  ULONG wanted = left < count ? left : count;
  if (wanted == 0) return S_FALSE;
  ULONG got = 0;
  while (wanted != 0 && position_ < pinCount_) {
    CBasePin* pin = filter_->GetPin(position_++);
    if (!pin) {
      // Give back what this call stored, so the caller owns nothing.
      while (got != 0) {
        --got;
        pins[got]->Release();
        pins[got] = nullptr;
      }
      return VFW_E_ENUM_OUT_OF_SYNC;
    }
    if (returned_.Find(pin)) continue;
    if (!returned_.AddTail(pin)) break;
    pins[got] = pin->PinInterface();
    pins[got]->AddRef();
    ++got;
    --wanted;
  }
  if (fetched) *fetched = got;
  return got == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Skip(ULONG count) {
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  const ULONG left = pinCount_ > position_ ? static_cast<ULONG>(pinCount_ - position_) : 0;
  if (count > left) return S_FALSE;
  position_ += static_cast<int>(count);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Reset() {
  version_ = filter_->GetPinVersion();
  pinCount_ = filter_->GetPinCount();
  position_ = 0;
  returned_.RemoveAll();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Clone(IEnumPins** clone) {
  if (!clone) return E_POINTER;
  *clone = nullptr;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  auto* copy = new (std::nothrow) CEnumPins(filter_, this);
  if (!copy) return E_OUTOFMEMORY;
  if (!copy->complete_) {
    copy->Release();
    return E_OUTOFMEMORY;
  }
  *clone = copy;
  return S_OK;
}

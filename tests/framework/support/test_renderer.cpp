#include "test_renderer.h"

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <string>

const CLSID CTestRenderer::kClassId = {
    0x6a0e5b12, 0x3c7d, 0x4f18, {0x9a, 0x21, 0x5e, 0x44, 0x0b, 0x7c, 0x18, 0x02}};

// CTestInputPin

CTestInputPin::CTestInputPin(CTestRenderer* filter, CCritSec* lock, HRESULT* result, LPCWSTR name)
    : CRenderedInputPin("Test renderer pin", filter, lock, result, name) {}

HRESULT CTestInputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
  if (!refuseAll && type->majortype == MEDIATYPE_Video && type->subtype == kTestSubtype) {
    return S_OK;
  }
  return refusal;
}

HRESULT CTestInputPin::Active() {
  ++actives;
  const HRESULT hr = CRenderedInputPin::Active();
  return activeAnswer != S_OK ? activeAnswer : hr;
}

HRESULT CTestInputPin::Inactive() {
  ++inactives;
  const HRESULT hr = CRenderedInputPin::Inactive();
  return inactiveAnswer != S_OK ? inactiveAnswer : hr;
}

HRESULT CTestInputPin::Run(REFERENCE_TIME start) {
  ++runs;
  const HRESULT hr = CRenderedInputPin::Run(start);
  if (afterRun) afterRun();
  return hr;
}

HRESULT STDMETHODCALLTYPE CTestInputPin::EndOfStream() {
  CAutoLock lock(&receiveLock_);
  ++endOfStreams;
  if (beforeEndOfStream) beforeEndOfStream();
  return CRenderedInputPin::EndOfStream();
}

HRESULT STDMETHODCALLTYPE CTestInputPin::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  CAutoLock lock(&receiveLock_);
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  if (inReceive) inReceive();
  ReceivedSample got;
  BYTE* data = nullptr;
  if (SUCCEEDED(sample->GetPointer(&data))) {
    got.data.assign(data, data + sample->GetActualDataLength());
  }
  got.syncPoint = sample->IsSyncPoint() == S_OK;
  got.timeResult = sample->GetTime(&got.start, &got.stop);
  const int index = static_cast<int>(samples.size());
  samples.push_back(got);
  return index == refuseSample ? refuseAnswer : S_OK;
}

// CTestRenderer

CTestRenderer::CTestRenderer(int pins) : CBaseFilter("Test renderer", nullptr, &lock_, kClassId) {
  for (int i = 0; i < pins; ++i) {
    const std::wstring name = L"In" + std::to_wstring(i);
    pins_.push_back(std::make_unique<CTestInputPin>(this, &lock_, &result_, name.c_str()));
  }
}

CTestRenderer::~CTestRenderer() {
  pins_.clear();
  delete seeking_;
}

CTestRenderer* CTestRenderer::Create(int pins) {
  auto* renderer = new CTestRenderer(pins);
  renderer->NonDelegatingAddRef();
  return renderer;
}

CBasePin* CTestRenderer::GetPin(int index) {
  return index >= 0 && index < GetPinCount() ? pins_[static_cast<std::size_t>(index)].get()
                                             : nullptr;
}

HRESULT STDMETHODCALLTYPE CTestRenderer::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IAMFilterMiscFlags) {
    return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
  }
  if (riid == IID_IMediaSeeking || riid == IID_IMediaPosition) {
    CAutoLock lock(&lock_);
    if (!seeking_) {
      HRESULT hr = S_OK;
      seeking_ = new CPosPassThru("Test renderer seeking", GetOwner(), &hr,
                                  pins_.front()->PinInterface());
    }
    return seeking_->NonDelegatingQueryInterface(riid, ppv);
  }
  return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

// CountingGraph

CountingGraph::CountingGraph(IFilterGraph* graph, IBaseFilter* filter, LPCWSTR name)
    : graph_(graph), filter_(filter) {
  graph_->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink_));
  filter_->JoinFilterGraph(this, name);
}

CountingGraph::~CountingGraph() {
  filter_->JoinFilterGraph(graph_, L"rejoined");
  if (sink_) sink_->Release();
}

HRESULT STDMETHODCALLTYPE CountingGraph::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IFilterGraph) {
    *ppv = static_cast<IFilterGraph*>(this);
    return S_OK;
  }
  if (riid == IID_IMediaEventSink) {
    *ppv = static_cast<IMediaEventSink*>(this);
    return S_OK;
  }
  return graph_->QueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CountingGraph::AddFilter(IBaseFilter* filter, LPCWSTR name) {
  return graph_->AddFilter(filter, name);
}
HRESULT STDMETHODCALLTYPE CountingGraph::RemoveFilter(IBaseFilter* filter) {
  return graph_->RemoveFilter(filter);
}
HRESULT STDMETHODCALLTYPE CountingGraph::EnumFilters(IEnumFilters** filters) {
  return graph_->EnumFilters(filters);
}
HRESULT STDMETHODCALLTYPE CountingGraph::FindFilterByName(LPCWSTR name, IBaseFilter** filter) {
  return graph_->FindFilterByName(name, filter);
}
HRESULT STDMETHODCALLTYPE CountingGraph::ConnectDirect(IPin* out, IPin* in,
                                                       const AM_MEDIA_TYPE* type) {
  return graph_->ConnectDirect(out, in, type);
}
HRESULT STDMETHODCALLTYPE CountingGraph::Reconnect(IPin* pin) {
  return graph_->Reconnect(pin);
}
HRESULT STDMETHODCALLTYPE CountingGraph::Disconnect(IPin* pin) {
  return graph_->Disconnect(pin);
}
HRESULT STDMETHODCALLTYPE CountingGraph::SetDefaultSyncSource() {
  return graph_->SetDefaultSyncSource();
}
HRESULT STDMETHODCALLTYPE CountingGraph::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) {
  if (code == EC_COMPLETE) {
    lastSender_ = param2;
    InterlockedIncrement(&completes_);
  }
  return sink_ ? sink_->Notify(code, param1, param2) : E_NOTIMPL;
}

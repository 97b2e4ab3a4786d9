#include "test_source.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <cstring>

const CLSID CTestSource::kClassId = {
    0x6a0e5b12, 0x3c7d, 0x4f18, {0x9a, 0x21, 0x5e, 0x44, 0x0b, 0x7c, 0x18, 0x01}};

TestSourceScript TestSourceScript::Frames(const AM_MEDIA_TYPE& type, int count, std::size_t size,
                                          int syncEvery) {
  TestSourceScript script;
  script.type = type;
  for (int n = 0; n < count; ++n) {
    TestSourceStep step;
    step.frame.data.resize(size);
    for (std::size_t i = 0; i < size; ++i) step.frame.data[i] = static_cast<BYTE>(static_cast<std::size_t>(n) + i);
    step.frame.syncPoint = n % syncEvery == 0;
    step.frame.start = n * script.timePerFrame;
    step.frame.stop = step.frame.start + script.timePerFrame;
    script.steps.push_back(step);
  }
  script.AddEndOfStream();
  return script;
}

int TestSourceScript::FrameCount() const {
  return static_cast<int>(std::count_if(steps.begin(), steps.end(), [](const TestSourceStep& s) {
    return s.kind == TestSourceStep::kFrame;
  }));
}

// CTestOutputPin

CTestOutputPin::CTestOutputPin(CTestSource* filter, CCritSec* lock, HRESULT* result)
    : CBasePin("Test source pin", filter, lock, result, L"Output", PINDIR_OUTPUT), source_(filter) {}

CTestOutputPin::~CTestOutputPin() {
  if (allocator_) allocator_->Release();
  if (downstream_) downstream_->Release();
}

HRESULT STDMETHODCALLTYPE CTestOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IMediaSeeking) return GetInterface(static_cast<IMediaSeeking*>(this), ppv);
  return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CTestOutputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
  const CMediaType& own = source_->Script().type;
  return type && type->majortype == own.majortype && type->subtype == own.subtype ? S_OK : S_FALSE;
}

HRESULT CTestOutputPin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  return type->Set(source_->Script().type);
}

HRESULT CTestOutputPin::CompleteConnect(IPin* peer) {
  IMemInputPin* downstream = nullptr;
  HRESULT hr = peer->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&downstream));
  if (FAILED(hr)) return hr;
  std::size_t largest = 1;
  for (const TestSourceStep& step : source_->Script().steps) {
    largest = std::max(largest, step.frame.data.size());
  }
  ALLOCATOR_PROPERTIES wanted{};
  requirementsAnswer_ = downstream->GetAllocatorRequirements(&wanted);
  if (FAILED(requirementsAnswer_)) wanted = ALLOCATOR_PROPERTIES{};
  wanted.cBuffers = std::max(wanted.cBuffers, 2L);
  wanted.cbBuffer = std::max(wanted.cbBuffer, static_cast<LONG>(largest));
  wanted.cbAlign = std::max(wanted.cbAlign, 1L);
  IMemAllocator* allocator = nullptr;
  hr = downstream->GetAllocator(&allocator);
  if (SUCCEEDED(hr)) {
    ALLOCATOR_PROPERTIES actual{};
    hr = allocator->SetProperties(&wanted, &actual);
    if (SUCCEEDED(hr)) hr = downstream->NotifyAllocator(allocator, FALSE);
  }
  if (FAILED(hr)) {
    if (allocator) allocator->Release();
    downstream->Release();
    return hr;
  }
  allocator_ = allocator;
  downstream_ = downstream;
  return S_OK;
}

HRESULT CTestOutputPin::BreakConnect() {
  if (allocator_) {
    allocator_->Release();
    allocator_ = nullptr;
  }
  if (downstream_) {
    downstream_->Release();
    downstream_ = nullptr;
  }
  return S_OK;
}

HRESULT CTestOutputPin::Active() {
  return allocator_ ? allocator_->Commit() : VFW_E_NO_ALLOCATOR;
}

HRESULT CTestOutputPin::Inactive() {
  return allocator_ ? allocator_->Decommit() : S_OK;
}

HRESULT STDMETHODCALLTYPE CTestOutputPin::GetCapabilities(DWORD* capabilities) {
  if (!capabilities) return E_POINTER;
  *capabilities = AM_SEEKING_CanGetDuration | AM_SEEKING_CanGetCurrentPos |
                  AM_SEEKING_CanGetStopPos | AM_SEEKING_CanSeekAbsolute;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::CheckCapabilities(DWORD* capabilities) {
  if (!capabilities) return E_POINTER;
  DWORD own = 0;
  GetCapabilities(&own);
  const DWORD asked = *capabilities;
  *capabilities &= own;
  return *capabilities == asked ? S_OK : (*capabilities ? S_FALSE : E_FAIL);
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::IsFormatSupported(const GUID* format) {
  if (!format) return E_POINTER;
  return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::QueryPreferredFormat(GUID* format) {
  return GetTimeFormat(format);
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::GetTimeFormat(GUID* format) {
  if (!format) return E_POINTER;
  *format = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::IsUsingTimeFormat(const GUID* format) {
  return IsFormatSupported(format);
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::SetTimeFormat(const GUID* format) {
  if (!format) return E_POINTER;
  return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::GetDuration(LONGLONG* duration) {
  if (!duration) return E_POINTER;
  *duration = source_->Script().FrameCount() * source_->Script().timePerFrame;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::GetStopPosition(LONGLONG* stop) {
  return GetDuration(stop);
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::GetCurrentPosition(LONGLONG* current) {
  if (!current) return E_POINTER;
  *current = position_;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::ConvertTimeFormat(LONGLONG*, const GUID*, LONGLONG,
                                                            const GUID*) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::SetPositions(LONGLONG* current, DWORD currentFlags,
                                                       LONGLONG*, DWORD) {
  if ((currentFlags & AM_SEEKING_PositioningBitsMask) == AM_SEEKING_AbsolutePositioning) {
    if (!current) return E_POINTER;
    position_ = *current;
  }
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::GetPositions(LONGLONG* current, LONGLONG* stop) {
  if (current) *current = position_;
  return stop ? GetDuration(stop) : S_OK;
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
  if (earliest) *earliest = 0;
  return latest ? GetDuration(latest) : S_OK;
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::SetRate(double rate) {
  if (rate <= 0.0) return E_INVALIDARG;
  rate_ = rate;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::GetRate(double* rate) {
  if (!rate) return E_POINTER;
  *rate = rate_;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CTestOutputPin::GetPreroll(LONGLONG* preroll) {
  if (!preroll) return E_POINTER;
  *preroll = 0;
  return S_OK;
}

// CTestSource

CTestSource::CTestSource(TestSourceScript script)
    : CBaseFilter("Test source", nullptr, &lock_, kClassId),
      script_(std::move(script)),
      pin_(this, &lock_, &pinResult_),
      done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CTestSource::~CTestSource() {
  JoinWorker();
  CloseHandle(done_);
}

CTestSource* CTestSource::Create(TestSourceScript script) {
  auto* source = new CTestSource(std::move(script));
  source->NonDelegatingAddRef();
  return source;
}

HRESULT STDMETHODCALLTYPE CTestSource::Stop() {
  // Decommitting first wakes a worker that waits for a buffer.
  const HRESULT hr = CBaseFilter::Stop();
  JoinWorker();
  return hr;
}

HRESULT STDMETHODCALLTYPE CTestSource::Pause() {
  const HRESULT hr = CBaseFilter::Pause();
  if (SUCCEEDED(hr) && script_.startOnPause) StartWorker();
  return hr;
}

HRESULT STDMETHODCALLTYPE CTestSource::Run(REFERENCE_TIME start) {
  const HRESULT hr = CBaseFilter::Run(start);
  if (SUCCEEDED(hr)) StartWorker();
  return hr;
}

bool CTestSource::WaitDone(DWORD timeoutMs) {
  return WaitForSingleObject(done_, timeoutMs) == WAIT_OBJECT_0;
}

void CTestSource::StartWorker() {
  CAutoLock lock(&lock_);
  if (worker_.joinable() || !pin_.IsConnected()) return;
  ResetEvent(done_);
  deliveryResult_ = S_OK;
  delivered_ = 0;
  worker_ = std::thread([this] { Push(); });
}

void CTestSource::JoinWorker() {
  if (worker_.joinable()) worker_.join();
}

void CTestSource::Push() {
  IMemInputPin* downstream = pin_.Downstream();
  IMemAllocator* allocator = pin_.Allocator();
  IPin* peer = pin_.GetConnected();
  for (const TestSourceStep& step : script_.steps) {
    if (step.kind == TestSourceStep::kEndOfStream) {
      peer->EndOfStream();
      continue;
    }
    if (step.kind == TestSourceStep::kFlush) {
      peer->BeginFlush();
      peer->EndFlush();
      continue;
    }
    IMediaSample* sample = nullptr;
    HRESULT hr = allocator->GetBuffer(&sample, nullptr, nullptr, 0);
    if (SUCCEEDED(hr)) {
      BYTE* data = nullptr;
      sample->GetPointer(&data);
      const LONG size = std::min(sample->GetSize(), static_cast<LONG>(step.frame.data.size()));
      std::memcpy(data, step.frame.data.data(), static_cast<std::size_t>(size));
      sample->SetActualDataLength(size);
      sample->SetSyncPoint(step.frame.syncPoint ? TRUE : FALSE);
      REFERENCE_TIME start = step.frame.start, stop = step.frame.stop;
      sample->SetTime(&start, &stop);
      pin_.SetPosition(start);
      hr = downstream->Receive(sample);
      sample->Release();
    }
    if (hr != S_OK) {
      // Downstream said stop (or the allocator went away at Stop).
      deliveryResult_ = hr;
      break;
    }
    delivered_ = delivered_ + 1;
  }
  SetEvent(done_);
}

#pragma once
// Stand-ins for what the graph hands Dravik's pin: a sample over a byte
// buffer and an upstream output pin that only says its direction. Both live
// on the test's stack; their counts only count.

#include <windows.h>
#include <strmif.h>

#include <functional>
#include <vector>

// QueryInterface of a fake that has one interface besides IUnknown.
template <typename Interface>
HRESULT AnswerQuery(Interface* self, REFIID own, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = (riid == IID_IUnknown || riid == own) ? self : nullptr;
  if (!*ppv) return E_NOINTERFACE;
  self->AddRef();
  return S_OK;
}

class FakeSample : public IMediaSample {
 public:
  explicit FakeSample(std::vector<BYTE> bytes, HRESULT pointerResult = S_OK)
      : bytes_(std::move(bytes)), pointerResult_(pointerResult) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return AnswerQuery(this, IID_IMediaSample, riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }

  HRESULT STDMETHODCALLTYPE GetPointer(BYTE** buffer) override {
    ++pointerCalls;
    if (onPointer) onPointer();
    if (FAILED(pointerResult_)) return pointerResult_;
    *buffer = bytes_.data();
    return S_OK;
  }
  long STDMETHODCALLTYPE GetSize() override { return static_cast<long>(bytes_.size()); }
  HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return VFW_E_SAMPLE_TIME_NOT_SET; }
  HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsSyncPoint() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE SetSyncPoint(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsPreroll() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE SetPreroll(BOOL) override { return S_OK; }
  long STDMETHODCALLTYPE GetActualDataLength() override { return static_cast<long>(bytes_.size()); }
  HRESULT STDMETHODCALLTYPE SetActualDataLength(long) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE** type) override {
    *type = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsDiscontinuity() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE SetDiscontinuity(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG*, LONGLONG*) override { return VFW_E_MEDIA_TIME_NOT_SET; }
  HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG*, LONGLONG*) override { return S_OK; }

  long refs = 0;
  int pointerCalls = 0;
  // Runs inside GetPointer, that is inside the pin's Receive: a test holds a
  // frame there.
  std::function<void()> onPointer;

 private:
  std::vector<BYTE> bytes_;
  HRESULT pointerResult_;
};

// An output pin that connects to nothing by itself: enough for the input
// pin's ReceiveConnection, which asks it for its direction only.
class FakeOutputPin : public IPin {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return AnswerQuery(this, IID_IPin, riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
  HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Disconnect() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin**) override { return VFW_E_NOT_CONNECTED; }
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE*) override { return VFW_E_NOT_CONNECTED; }
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override {
    *direction = PINDIR_OUTPUT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

  long refs = 0;
};

#pragma once
// A push source of the tests' own, on the framework's filter and pin bases:
// one output pin that offers one media type, negotiates the downstream
// allocator (sizing the buffers itself when the input pin has no
// requirements), and pushes a script of frames, flushes and end-of-stream
// notices from a worker thread. Its pin answers IMediaSeeking (duration =
// frames x time per frame), so a pass-through downstream has a peer.

#include <windows.h>
#include <strmif.h>

#include <thread>
#include <vector>

#include "framework/base_filter.h"
#include "framework/base_pin.h"
#include "framework/media_type.h"

struct TestFrame {
  std::vector<BYTE> data;
  bool syncPoint = false;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
};

// One thing the worker does, in order.
struct TestSourceStep {
  enum Kind { kFrame, kEndOfStream, kFlush } kind = kFrame;
  TestFrame frame;  // kFrame only
};

struct TestSourceScript {
  CMediaType type;
  REFERENCE_TIME timePerFrame = 400000;  // 100 ns units
  std::vector<TestSourceStep> steps;
  // Push from Pause on instead of waiting for Run.
  bool startOnPause = false;

  // `count` frames of `size` bytes (byte i of frame n is n + i), every
  // `syncEvery`th a sync point, stamped n x timePerFrame; then end of stream.
  static TestSourceScript Frames(const AM_MEDIA_TYPE& type, int count, std::size_t size = 64,
                                 int syncEvery = 3);
  int FrameCount() const;
  void AddEndOfStream() { steps.push_back({TestSourceStep::kEndOfStream, {}}); }
  void AddFlush() { steps.push_back({TestSourceStep::kFlush, {}}); }
};

class CTestSource;

class CTestOutputPin : public CBasePin, public IMediaSeeking {
 public:
  CTestOutputPin(CTestSource* filter, CCritSec* lock, HRESULT* result);
  ~CTestOutputPin() override;

  DECLARE_OWNER_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT CompleteConnect(IPin* peer) override;
  HRESULT BreakConnect() override;
  HRESULT Active() override;
  HRESULT Inactive() override;

  // IMediaSeeking, in media time only.
  HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override;
  HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override;
  HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat,
                                              LONGLONG source, const GUID* sourceFormat) override;
  HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                         DWORD stopFlags) override;
  HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
  HRESULT STDMETHODCALLTYPE SetRate(double rate) override;
  HRESULT STDMETHODCALLTYPE GetRate(double* rate) override;
  HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* preroll) override;

  using CBasePin::IncrementTypeVersion;

  // What the downstream pin answered to GetAllocatorRequirements.
  HRESULT RequirementsAnswer() const { return requirementsAnswer_; }
  IMemAllocator* Allocator() const { return allocator_; }
  IMemInputPin* Downstream() const { return downstream_; }
  double Rate() const { return rate_; }
  LONGLONG Position() const { return position_; }
  void SetPosition(LONGLONG position) { position_ = position; }

 private:
  CTestSource* const source_;
  IMemInputPin* downstream_ = nullptr;
  IMemAllocator* allocator_ = nullptr;
  HRESULT requirementsAnswer_ = S_OK;
  volatile double rate_ = 1.0;
  volatile LONGLONG position_ = 0;
};

class CTestSource : public CBaseFilter {
 public:
  // Class id of the test source (reported by GetClassID only).
  static const CLSID kClassId;

  // A new source holding one reference for the caller.
  static CTestSource* Create(TestSourceScript script);

  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }

  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;

  IPin* OutputPin() { return pin_.PinInterface(); }
  CTestOutputPin& Pin() { return pin_; }
  const TestSourceScript& Script() const { return script_; }
  // Waits (at most `timeoutMs`) until the worker has gone through its script.
  bool WaitDone(DWORD timeoutMs);
  // The first delivery answer other than S_OK, or S_OK.
  HRESULT DeliveryResult() const { return deliveryResult_; }
  // Frames the worker delivered with S_OK since it last started.
  int Delivered() const { return delivered_; }

 private:
  explicit CTestSource(TestSourceScript script);
  ~CTestSource() override;
  void StartWorker();
  void JoinWorker();
  void Push();

  CCritSec lock_;
  TestSourceScript script_;
  HRESULT pinResult_ = S_OK;
  CTestOutputPin pin_;
  std::thread worker_;
  HANDLE done_;
  volatile HRESULT deliveryResult_ = S_OK;
  volatile int delivered_ = 0;
};

#pragma once
// A rendering filter of the tests' own on CBaseFilter with CRenderedInputPin
// inputs: it records every sample it receives, answers as a renderer
// (IAMFilterMiscFlags) so the graph passes its EC_COMPLETE on, and forwards
// seeking upstream through a CPosPassThru. Hooks let a test hold a pin inside
// Run, Receive or EndOfStream, or make a pin's answers fail.

#include <windows.h>
#include <strmif.h>
#include <vfwmsgs.h>

#include <functional>
#include <memory>
#include <vector>

#include "framework/base_filter.h"
#include "framework/input_pin.h"
#include "framework/pos_pass_thru.h"

// Test-only subtype: 'TST1' under the standard subtype tail.
inline constexpr GUID kTestSubtype = {
    0x31545354, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

struct ReceivedSample {
  std::vector<BYTE> data;
  bool syncPoint = false;
  HRESULT timeResult = E_FAIL;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
};

class CTestRenderer;

class CTestInputPin : public CRenderedInputPin {
 public:
  CTestInputPin(CTestRenderer* filter, CCritSec* lock, HRESULT* result, LPCWSTR name);

  HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
  HRESULT Active() override;
  HRESULT Inactive() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override { return S_FALSE; }

  using CBaseInputPin::Allocator;
  using CBasePin::SetRunTimeError;

  // What CheckMediaType answers for a type that is not video/kTestSubtype
  // (S_OK for one that is, unless `refuseAll`).
  HRESULT refusal = VFW_E_TYPE_NOT_ACCEPTED;
  bool refuseAll = false;
  // Answers forced on the state calls (S_OK: the base's own answer).
  HRESULT activeAnswer = S_OK;
  HRESULT inactiveAnswer = S_OK;
  // What Receive answers for the sample with this index (-1: none).
  int refuseSample = -1;
  HRESULT refuseAnswer = S_FALSE;
  // Called after the base Run, inside Receive and before the base
  // EndOfStream, on the calling thread.
  std::function<void()> afterRun, inReceive, beforeEndOfStream;

  int actives = 0, inactives = 0, runs = 0, endOfStreams = 0;
  std::vector<ReceivedSample> samples;

 private:
  CCritSec receiveLock_;
};

class CTestRenderer : public CBaseFilter, public IAMFilterMiscFlags {
 public:
  static const CLSID kClassId;
  // A new renderer with `pins` inputs ("In0", "In1", ...), one reference
  // held for the caller.
  static CTestRenderer* Create(int pins = 1);

  DECLARE_OWNER_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  int GetPinCount() override { return static_cast<int>(pins_.size()); }
  CBasePin* GetPin(int index) override;
  const AMOVIESETUP_FILTER* GetSetupData() override { return setup; }

  ULONG STDMETHODCALLTYPE GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

  CTestInputPin& Input(int index = 0) { return *pins_[static_cast<std::size_t>(index)]; }
  // Filters appear as their own class id; GetSetupData answers this.
  const AMOVIESETUP_FILTER* setup = nullptr;

 private:
  explicit CTestRenderer(int pins);
  ~CTestRenderer() override;

  CCritSec lock_;
  HRESULT result_ = S_OK;
  std::vector<std::unique_ptr<CTestInputPin>> pins_;
  CPosPassThru* seeking_ = nullptr;
};

// Joins a filter to a graph through a proxy whose event sink counts every
// Notify and passes it on to the graph's own sink, so a test sees the
// filter's raw notices while the graph still handles them.
class CountingGraph : public IFilterGraph, public IMediaEventSink {
 public:
  CountingGraph(IFilterGraph* graph, IBaseFilter* filter, LPCWSTR name);
  ~CountingGraph();
  CountingGraph(const CountingGraph&) = delete;
  CountingGraph& operator=(const CountingGraph&) = delete;

  int Completes() const { return completes_; }
  // The second parameter of the last EC_COMPLETE.
  LONG_PTR LastCompleteSender() const { return lastSender_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter* filter, LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter* filter) override;
  HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters** filters) override;
  HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR name, IBaseFilter** filter) override;
  HRESULT STDMETHODCALLTYPE ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE Reconnect(IPin* pin) override;
  HRESULT STDMETHODCALLTYPE Disconnect(IPin* pin) override;
  HRESULT STDMETHODCALLTYPE SetDefaultSyncSource() override;
  HRESULT STDMETHODCALLTYPE Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override;

 private:
  IFilterGraph* const graph_;
  IBaseFilter* const filter_;
  IMediaEventSink* sink_ = nullptr;
  volatile LONG completes_ = 0;
  volatile LONG_PTR lastSender_ = 0;
};

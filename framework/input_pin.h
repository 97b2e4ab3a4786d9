#pragma once
// CBaseInputPin: an input pin with IMemInputPin (allocator negotiation, batch
// delivery), flushing and the streaming check. CRenderedInputPin: the input
// pin of a filter that consumes the stream itself; it turns end of stream
// into at most one EC_COMPLETE per run, sent only while the filter runs.
//
// Threads: the upstream filter's streaming thread calls Receive,
// ReceiveMultiple and EndOfStream; the graph's thread calls the rest. A
// filter with a receive lock takes it before the filter lock, never after.

#include <windows.h>
#include <strmif.h>

#include <atomic>

#include "framework/base_pin.h"

class CBaseInputPin : public CBasePin, public IMemInputPin {
 public:
  CBaseInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* result,
                LPCWSTR pinName);
  ~CBaseInputPin() override;

  DECLARE_OWNER_IUNKNOWN

  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // Clears the run-time error and the flushing flag and decommits the
  // allocator; VFW_E_NO_ALLOCATOR when the pin never got one.
  HRESULT Inactive() override;
  // Decommits and drops the allocator.
  HRESULT BreakConnect() override;
  // Whether a sample may be taken now: VFW_E_WRONG_STATE when the filter is
  // stopped, S_FALSE while flushing, VFW_E_RUNTIME_ERROR after a streaming
  // error, else S_OK (tested in that order, without the lock).
  virtual HRESULT CheckStreaming();

  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;

  // IMemInputPin. Receive and ReceiveCanBlock are the concrete pin's.
  // The system memory allocator when upstream brings none.
  HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;
  HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  // E_NOTIMPL: the upstream pin sizes the buffers.
  HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
  // Hands the samples to Receive in order and stops at the first answer
  // other than S_OK; *processed counts those accepted.
  HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, LONG count,
                                            LONG* processed) override;

  bool IsFlushing() const { return flushing_.load(); }
  bool IsReadOnly() const { return readOnly_; }

 protected:
  // The allocator in use (no reference added), or null. Read under the lock.
  IMemAllocator* Allocator() const { return allocator_; }

 private:
  IMemAllocator* allocator_ = nullptr;
  bool readOnly_ = false;
  std::atomic<bool> flushing_{false};
};

class CRenderedInputPin : public CBaseInputPin {
 public:
  CRenderedInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock,
                    HRESULT* result, LPCWSTR pinName);

  // Records the end of the stream and, while the filter runs, reports it to
  // the graph once. Decided under the filter lock, reported after it.
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  // A flush restarts the stream: a later end of stream is reported again.
  HRESULT STDMETHODCALLTYPE EndFlush() override;
  // A new stream after a stop.
  HRESULT Active() override;
  // An end of stream recorded while paused is reported now, once per run.
  HRESULT Run(REFERENCE_TIME start) override;

 private:
  // With the filter lock held: true when EC_COMPLETE is owed now, which
  // also marks it as sent.
  bool TakeCompletion();

  BOOL atEndOfStream_ = FALSE;
  BOOL completeNotified_ = FALSE;
};

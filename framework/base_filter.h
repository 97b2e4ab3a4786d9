#pragma once
// CBaseFilter: the state machine, clock, graph membership and pin lookup of a
// DirectShow filter; CEnumPins: the pin enumerator it hands out.
//
// The filter does not own its pins: a subclass supplies them through
// GetPinCount and GetPin, and the base walks them by index. It holds no
// reference on the graph or on the graph's event sink (the graph holds the
// filter), so both pointers are valid only between JoinFilterGraph(graph, ..)
// and JoinFilterGraph(null, ..).
//
// Locking: the filter lock is supplied by the subclass's owner and shared
// with the pins. Stop, Pause and Run hold it while they call the pins.

#include <windows.h>
#include <strmif.h>

#include <atomic>

#include "framework/base_list.h"
#include "framework/com_object.h"
#include "framework/crit_sec.h"
#include "framework/enumerator.h"
#include "framework/setup_records.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
 public:
  CBaseFilter(const char* objectName, IUnknown* outer, CCritSec* lock, REFCLSID clsid);
  // The result is never written; the form exists for subclasses that report
  // their own construction failures through it.
  CBaseFilter(const char* objectName, IUnknown* outer, CCritSec* lock, REFCLSID clsid,
              HRESULT* result);
  // Frees the name and the clock. Neither stops the pins nor touches the
  // graph: the graph stops a filter before its last reference goes.
  ~CBaseFilter() override;

  DECLARE_OWNER_IUNKNOWN

  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // Clock time minus the start time given to the last Run (100 ns units).
  // VFW_E_NO_CLOCK without a clock.
  virtual HRESULT StreamTime(REFERENCE_TIME& time);
  virtual LONG GetPinVersion();
  // Pins are looked up without the filter lock (enumerators call these from
  // any thread), so both must be safe to call unlocked.
  virtual int GetPinCount() = 0;
  // The pin at 0 .. GetPinCount() - 1, no reference added.
  virtual CBasePin* GetPin(int index) = 0;
  // Registration data for IAMovieSetup; none by default.
  virtual const AMOVIESETUP_FILTER* GetSetupData();

  // IPersist
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;

  // IMediaFilter. A subclass may replace Stop, Pause and Run and call these
  // from its own; the base's own call to Pause (from Run) is virtual and so
  // reaches the replacement.
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  // State changes are synchronous: never VFW_S_STATE_INTERMEDIATE.
  HRESULT STDMETHODCALLTYPE GetState(DWORD timeout, FILTER_STATE* state) override;
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;

  // IBaseFilter
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
  // Exact, case-sensitive match of the pin name (which is also its id).
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override;

  // IAMovieSetup: S_FALSE without setup data.
  HRESULT STDMETHODCALLTYPE Register() override;
  HRESULT STDMETHODCALLTYPE Unregister() override;

  // Passes an event to the graph's sink; EC_COMPLETE always carries this
  // filter as its second parameter. E_NOTIMPL outside a graph. Takes no lock
  // and must not be called with the filter lock held from a streaming thread.
  HRESULT NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);
  // A subclass whose pin set changes calls this, so enumerators resync.
  void IncrementPinVersion();

  // The current state, readable from any thread without the lock.
  FILTER_STATE State() const { return state_.load(); }
  bool IsStopped() const { return State() == State_Stopped; }
  bool IsActive() const { return State() != State_Stopped; }
  CCritSec* FilterLock() const { return lock_; }
  IBaseFilter* FilterInterface() { return static_cast<IBaseFilter*>(this); }

 protected:
  REFERENCE_TIME StartTime() const { return start_; }
  // The graph this filter belongs to (no reference), or null.
  IFilterGraph* Graph() const { return graph_; }

 private:
  std::atomic<FILTER_STATE> state_{State_Stopped};
  IReferenceClock* clock_ = nullptr;
  REFERENCE_TIME start_ = 0;
  const CLSID clsid_;
  CCritSec* const lock_;
  WCHAR* name_ = nullptr;
  IFilterGraph* graph_ = nullptr;
  IMediaEventSink* sink_ = nullptr;
  volatile LONG pinVersion_ = 1;
};

// Walks a filter's pins by index. After the pin set changed (the filter's pin
// version moved), Skip and Clone answer VFW_E_ENUM_OUT_OF_SYNC, while Next
// restarts the walk and hands out only pins it has not handed out before.
class CEnumPins : public CEnumerator<IEnumPins, IID_IEnumPins> {
 public:
  // `source` (may be null) is the enumerator being cloned.
  CEnumPins(CBaseFilter* filter, const CEnumPins* source);
  ~CEnumPins() override;

  HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumPins** clone) override;

 private:
  bool OutOfSync() const;

  int position_ = 0;
  int pinCount_ = 0;
  CBaseFilter* const filter_;
  LONG version_ = 0;
  CPointerList<CBasePin> returned_;
  // False when a clone could not copy its source's list of handed-out pins.
  bool complete_ = true;
};

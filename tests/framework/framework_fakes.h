#pragma once
// Shared pieces of the framework tests: a counting fake IUnknown and a small
// aggregatable test object. (live_object_check.cpp, linked into every
// framework test, proves that no framework object outlives a test.)

#include <windows.h>
#include <objidl.h>

#include <atomic>
#include <cstddef>

#include "framework/com_object.h"

// An IUnknown that only counts: AddRef/Release return the running count, and
// the object is never freed (it lives on the test's stack).
class CountingUnknown : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    ++queries;
    if (riid == IID_IUnknown) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }

  long refs = 0;
  int queries = 0;
};

// A CUnknown with one interface of its own (IPersist), counting how often it
// was destroyed so double deletion is caught.
class TestObject : public CUnknown, public IPersist {
 public:
  // Atomic: the concurrency test destroys objects on several threads at once.
  static inline std::atomic<int> destroyed{0};
  static inline const CLSID kClassId = {
      0x5d1c8e21, 0x7a43, 0x4b0e, {0x9f, 0x52, 0x11, 0x60, 0x2a, 0x3b, 0x4c, 0x5d}};

  explicit TestObject(IUnknown* outer) : CUnknown("Test object", outer) {}
  ~TestObject() override { ++destroyed; }

  DECLARE_OWNER_IUNKNOWN

  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IPersist) return GetInterface(static_cast<IPersist*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = kClassId;
    return S_OK;
  }

  IUnknown* Identity() { return NonDelegatingIdentity(); }
};

// While alive, makes task-allocator allocations fail: every one, or only the
// one with the given zero-based index among those made meanwhile. Works
// through the system's allocation spy, so the code under test is unchanged.
class FailingTaskAllocations : public IMallocSpy {
 public:
  static constexpr long kEvery = -1;
  explicit FailingTaskAllocations(long failIndex = kEvery) : failIndex_(failIndex) {
    registered_ = SUCCEEDED(CoRegisterMallocSpy(this));
  }
  ~FailingTaskAllocations() {
    if (registered_) CoRevokeMallocSpy();
  }
  FailingTaskAllocations(const FailingTaskAllocations&) = delete;
  FailingTaskAllocations& operator=(const FailingTaskAllocations&) = delete;
  bool Registered() const { return registered_; }
  long Allocations() const { return allocations_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMallocSpy) {
      *ppv = static_cast<IMallocSpy*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T request) override { return request; }
  void* STDMETHODCALLTYPE PostAlloc(void* actual) override {
    const long index = allocations_++;
    // The refused block is leaked on purpose: freeing it here would re-enter
    // the allocator. A few bytes per test.
    return (failIndex_ == kEvery || index == failIndex_) ? nullptr : actual;
  }
  void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override { return request; }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override {
    *newRequest = request;
    return size;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}

 private:
  long failIndex_;
  long allocations_ = 0;
  bool registered_ = false;
};

#pragma once
// Shared pieces of the framework tests: a counting fake IUnknown and a small
// aggregatable test object. (live_object_check.cpp, linked into every
// framework test, proves that no framework object outlives a test.)

#include <windows.h>
#include <objidl.h>

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
  static inline int destroyed = 0;
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

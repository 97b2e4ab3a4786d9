#pragma once
// Shared pieces of the framework tests: a fixture that proves no framework
// object outlives a test, a counting fake IUnknown, and a small aggregatable
// test object.

#include <windows.h>
#include <objidl.h>

#include <gtest/gtest.h>

#include "framework/com_object.h"

// Every framework test derives its suite from this: a leaked object (or one
// destroyed twice) shows up as a live-object count other than 0.
class LiveObjectTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(ObjectsActive(), 0) << "framework objects outlived the test";
  }
};

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

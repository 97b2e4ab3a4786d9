#pragma once
// The object model every COM object of a module stands on.
//
// CBaseObject counts live framework objects, so that DllCanUnloadNow can tell
// when nothing of the module is in use. CUnknown adds the reference count and
// aggregation: its identity and lifetime live behind INonDelegatingUnknown,
// while every interface a subclass implements forwards QueryInterface, AddRef
// and Release to GetOwner() (the outer object when aggregated, else the
// object's own non-delegating face). DECLARE_OWNER_IUNKNOWN writes those three
// forwarding methods.

#include <windows.h>
#include <unknwn.h>

// The identity face of an aggregatable object. Its three slots have the shapes
// and calling convention of IUnknown's, so a pointer to it can be handed out
// as an IUnknown (an aggregating outer object holds the inner one this way).
struct INonDelegatingUnknown {
  virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;

 protected:
  ~INonDelegatingUnknown() = default;
};

// Number of framework objects alive in this module.
LONG ObjectsActive();

// The module's instance handle, stored by DllEntryPoint at process attach
// (registration reads the module's own path from it).
HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

// Loads the automation library on first use and returns its handle (null when
// it cannot be loaded). It is freed again when the last framework object goes.
HMODULE LoadOleAut32();
// The handle the module holds now, without loading: null before the first
// load and after the last object freed it. For tests, which cannot tell a
// freed library from a loaded one when they import it themselves.
HMODULE HeldOleAut32();

// Stores `unknown` through `ppv` with one added reference.
HRESULT GetInterface(IUnknown* unknown, void** ppv);

class CBaseObject {
 public:
  CBaseObject(const CBaseObject&) = delete;
  CBaseObject& operator=(const CBaseObject&) = delete;

 protected:
  // The name is accepted for the callers' benefit and not kept.
  explicit CBaseObject(const char* name = nullptr);
  // Not virtual: nothing is deleted through a CBaseObject pointer.
  ~CBaseObject();
};

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
 public:
  CUnknown(const char* name, IUnknown* outer);

  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

  IUnknown* GetOwner() const { return owner_; }

  // Objects die through NonDelegatingRelease, through the class factory when
  // their construction failed, or through the object that owns them; always
  // by this virtual destructor.
  virtual ~CUnknown();

 protected:
  // The object's own identity, taken as an IUnknown.
  IUnknown* NonDelegatingIdentity() {
    return reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this));
  }

 private:
  IUnknown* const owner_;
  volatile LONG refs_ = 0;
};

// Forwarding IUnknown for every interface a CUnknown subclass implements.
#define DECLARE_OWNER_IUNKNOWN                                                \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override { \
    return GetOwner()->QueryInterface(riid, ppv);                             \
  }                                                                           \
  ULONG STDMETHODCALLTYPE AddRef() override { return GetOwner()->AddRef(); }   \
  ULONG STDMETHODCALLTYPE Release() override { return GetOwner()->Release(); }

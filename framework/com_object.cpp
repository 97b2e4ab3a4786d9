#include "framework/com_object.h"

namespace {

volatile LONG g_objectsActive = 0;
HINSTANCE g_moduleInstance = nullptr;
// Written with interlocked exchanges: an object may die on one thread while
// another asks for the library.
PVOID volatile g_oleAut32 = nullptr;

// Clamps a count read back for a caller: a count is never reported below 1
// while the object lives. Compared unsigned, like the counts themselves.
ULONG ReportedCount(LONG count) {
  const ULONG value = static_cast<ULONG>(count);
  return value < 1u ? 1u : value;
}

}  // namespace

LONG ObjectsActive() {
  return InterlockedCompareExchange(&g_objectsActive, 0, 0);
}

HINSTANCE ModuleInstance() {
  return g_moduleInstance;
}

void SetModuleInstance(HINSTANCE instance) {
  g_moduleInstance = instance;
}

HMODULE HeldOleAut32() {
  return static_cast<HMODULE>(InterlockedCompareExchangePointer(&g_oleAut32, nullptr, nullptr));
}

HMODULE LoadOleAut32() {
  HMODULE held = HeldOleAut32();
  if (held) return held;
  HMODULE loaded = LoadLibraryA("OleAut32.dll");
  if (!loaded) return nullptr;
  PVOID previous = InterlockedCompareExchangePointer(&g_oleAut32, loaded, nullptr);
  if (previous) {
    // Another thread got there first; keep one library reference only.
    FreeLibrary(loaded);
    return static_cast<HMODULE>(previous);
  }
  return loaded;
}

HRESULT GetInterface(IUnknown* unknown, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = unknown;
  // Nothing to hand out: the caller gets a null pointer with E_NOINTERFACE,
  // never S_OK with a null it would call through.
  if (!unknown) return E_NOINTERFACE;
  unknown->AddRef();
  return S_OK;
}

CBaseObject::CBaseObject(const char* /*name*/) {
  InterlockedIncrement(&g_objectsActive);
}

CBaseObject::~CBaseObject() {
  if (InterlockedDecrement(&g_objectsActive) == 0) {
    PVOID library = InterlockedExchangePointer(&g_oleAut32, nullptr);
    if (library) FreeLibrary(static_cast<HMODULE>(library));
  }
}

CUnknown::CUnknown(const char* name, IUnknown* outer)
    : CBaseObject(name),
      owner_(outer ? outer : reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this))) {}

CUnknown::~CUnknown() = default;

HRESULT STDMETHODCALLTYPE CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown) return GetInterface(NonDelegatingIdentity(), ppv);
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingAddRef() {
  return ReportedCount(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingRelease() {
  const LONG count = InterlockedDecrement(&refs_);
  if (count != 0) return ReportedCount(count);
  // A release made by the destructor itself (through a delegating face it
  // tears down) must not bring the count to 0 a second time.
  refs_ = 1;
  delete this;
  return 0;
}

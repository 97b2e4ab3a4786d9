#include "framework/module_server.h"

#include <new>

namespace {

// Interlocked: the module registers as usable from any apartment, so clients
// may lock and unlock from several threads at once.
volatile LONG g_serverLocks = 0;

// Runs a creation function without letting an exception out of the COM call.
CUnknown* CreateGuarded(const CFactoryTemplate& row, IUnknown* outer, HRESULT* result) {
  try {
    return row.create(outer, result);
  } catch (const std::bad_alloc&) {
    *result = E_OUTOFMEMORY;
  } catch (...) {
    *result = E_FAIL;
  }
  return nullptr;
}

}  // namespace

CClassFactory::CClassFactory(const CFactoryTemplate* row) : CBaseObject("Class factory"), row_(row) {}

HRESULT STDMETHODCALLTYPE CClassFactory::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
  *ppv = static_cast<IClassFactory*>(this);
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE CClassFactory::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE CClassFactory::Release() {
  const LONG count = InterlockedDecrement(&refs_);
  if (count == 0) {
    delete this;
    return 0;
  }
  return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  // An aggregated object may only be asked for its identity: the outer object
  // needs the inner non-delegating face to control its lifetime.
  if (outer && riid != IID_IUnknown) return E_NOINTERFACE;

  HRESULT hr = S_OK;
  CUnknown* object = CreateGuarded(*row_, outer, &hr);
  if (!object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
  if (FAILED(hr)) {
    delete object;
    return hr;
  }
  // The temporary reference keeps the object alive across the query; when the
  // query fails, the release takes the count back to 0 and destroys it.
  object->NonDelegatingAddRef();
  hr = object->NonDelegatingQueryInterface(riid, ppv);
  object->NonDelegatingRelease();
  return hr;
}

HRESULT STDMETHODCALLTYPE CClassFactory::LockServer(BOOL lock) {
  if (lock) {
    InterlockedIncrement(&g_serverLocks);
  } else {
    InterlockedDecrement(&g_serverLocks);
  }
  return S_OK;
}

bool CClassFactory::IsLocked() {
  return InterlockedCompareExchange(&g_serverLocks, 0, 0) > 0;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  // An out pointer is null on every failure, so a caller that releases it
  // unchecked releases nothing.
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
  for (int i = 0; i < g_cTemplates; ++i) {
    const CFactoryTemplate& row = g_Templates[i];
    if (!row.IsClassId(clsid)) continue;
    auto* factory = new (std::nothrow) CClassFactory(&row);
    *ppv = factory;
    if (!factory) return E_OUTOFMEMORY;
    factory->AddRef();
    return S_OK;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
  return (CClassFactory::IsLocked() || ObjectsActive() != 0) ? S_FALSE : S_OK;
}

void DllInitClasses(BOOL loading) {
  for (int i = 0; i < g_cTemplates; ++i) {
    const CFactoryTemplate& row = g_Templates[i];
    if (row.init) row.init(loading, row.clsid);
  }
}

BOOL WINAPI DllEntryPoint(HINSTANCE instance, ULONG reason, LPVOID /*reserved*/) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      DisableThreadLibraryCalls(instance);
      SetModuleInstance(instance);
      DllInitClasses(TRUE);
      break;
    case DLL_PROCESS_DETACH:
      DllInitClasses(FALSE);
      break;
    default:
      break;
  }
  return TRUE;
}

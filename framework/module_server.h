#pragma once
// The module's class table and the in-process server around it: the class
// factory, DllGetClassObject / DllCanUnloadNow and the entry routine that the
// module's DllMain hands over to.
//
// The module supplies the table: it defines g_Templates and g_cTemplates (a
// test executable that links this unit defines its own). Define them in a file
// that includes this header: a namespace-scope const object without a prior
// extern declaration would get internal linkage and not be found.

#include <windows.h>
#include <unknwn.h>

#include "framework/com_object.h"
#include "framework/setup_records.h"

// Builds a new object for `outer` (null when not aggregated). A failure may be
// reported through *result while still returning an object; the factory then
// deletes it.
using CreateObjectFunction = CUnknown* (*)(IUnknown* outer, HRESULT* result);
// Called for every class at process attach (TRUE) and detach (FALSE).
using InitClassFunction = void (*)(BOOL loading, const CLSID* clsid);

struct CFactoryTemplate {
  const WCHAR* name;                 // friendly name, also the registry description
  const CLSID* clsid;
  CreateObjectFunction create;
  InitClassFunction init;            // may be null
  const AMOVIESETUP_FILTER* setup;   // may be null: the class is no filter

  bool IsClassId(REFCLSID id) const { return clsid && *clsid == id; }
};

extern const CFactoryTemplate g_Templates[];
extern const int g_cTemplates;

class CClassFactory : public IClassFactory, public CBaseObject {
 public:
  explicit CClassFactory(const CFactoryTemplate* row);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

  // True while a client holds a server lock.
  static bool IsLocked();

 private:
  virtual ~CClassFactory() = default;

  const CFactoryTemplate* const row_;
  volatile LONG refs_ = 0;
};

BOOL WINAPI DllEntryPoint(HINSTANCE instance, ULONG reason, LPVOID reserved);
void DllInitClasses(BOOL loading);

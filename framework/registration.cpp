#include "framework/registration.h"

#include <uuids.h>

#include <cstring>
#include <new>
#include <string>

#include "framework/com_object.h"
#include "framework/com_ptr.h"
#include "framework/hresult.h"
#include "framework/module_server.h"
#include "framework/unique_handle.h"

using framework::ComPtr;
using framework::UniqueHKey;

namespace {

constexpr DWORD kPathCapacity = MAX_PATH;
// The mapper's answer for a filter it has no record of.
constexpr HRESULT kNotRegistered = static_cast<HRESULT>(0x80070002u);

// ANSI text of a wide string (ANSI code page). Sized from the text itself, so
// a long description is written whole instead of overrunning a fixed buffer.
HRESULT ToAnsi(LPCWSTR text, std::string& out) {
  if (!text) text = L"";
  try {
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return LastErrorAsHResult();
    out.assign(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], size, nullptr, nullptr) <= 0) {
      return LastErrorAsHResult();
    }
    out.resize(static_cast<std::size_t>(size - 1));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

// "CLSID\{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}".
void ClassKeyName(REFCLSID clsid, char (&name)[kPathCapacity]) {
  WCHAR text[39] = {};
  StringFromGUID2(clsid, text, 39);
  char narrow[39];
  for (int i = 0; i < 39; ++i) narrow[i] = static_cast<char>(text[i]);  // hex digits, braces, dashes
  wsprintfA(name, "CLSID\\%s", narrow);
}

DWORD TextBytes(const std::string& text) {
  return static_cast<DWORD>(text.size() + 1);
}

HRESULT UnknownFilterIsNoError(HRESULT hr) {
  return hr == kNotRegistered ? S_OK : hr;
}

}  // namespace

HRESULT AMovieSetupRegisterServer(CLSID clsid, LPCWSTR description, LPCWSTR modulePath,
                                  LPCWSTR threadingModel, LPCWSTR serverType) {
  std::string descriptionA, pathA, threadingA, serverTypeA;
  RETURN_IF_FAILED(ToAnsi(description, descriptionA));
  RETURN_IF_FAILED(ToAnsi(modulePath, pathA));
  RETURN_IF_FAILED(ToAnsi(threadingModel, threadingA));
  RETURN_IF_FAILED(ToAnsi(serverType, serverTypeA));

  char keyName[kPathCapacity];
  ClassKeyName(clsid, keyName);

  UniqueHKey classKey;
  LONG error = RegCreateKeyA(HKEY_CLASSES_ROOT, keyName, classKey.put());
  if (error != ERROR_SUCCESS) return Win32FailureToHResult(static_cast<DWORD>(error));
  error = RegSetValueA(classKey.get(), nullptr, REG_SZ, descriptionA.c_str(), TextBytes(descriptionA));
  if (error != ERROR_SUCCESS) return Win32FailureToHResult(static_cast<DWORD>(error));

  UniqueHKey serverKey;
  error = RegCreateKeyA(classKey.get(), serverTypeA.c_str(), serverKey.put());
  if (error != ERROR_SUCCESS) return Win32FailureToHResult(static_cast<DWORD>(error));
  error = RegSetValueA(serverKey.get(), nullptr, REG_SZ, pathA.c_str(), TextBytes(pathA));
  if (error != ERROR_SUCCESS) return Win32FailureToHResult(static_cast<DWORD>(error));

  error = RegSetValueExA(serverKey.get(), "ThreadingModel", 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(threadingA.c_str()), TextBytes(threadingA));
  return Win32ToHResult(error);
}

HRESULT AMovieSetupUnregisterServer(CLSID clsid) {
  char keyName[kPathCapacity];
  ClassKeyName(clsid, keyName);
  EliminateSubKey(HKEY_CLASSES_ROOT, keyName);
  return S_OK;
}

HRESULT EliminateSubKey(HKEY parent, const char* name) {
  if (!name || name[0] == 0) return E_FAIL;
  UniqueHKey key;
  if (RegOpenKeyExA(parent, name, 0, MAXIMUM_ALLOWED, key.put()) != ERROR_SUCCESS) return S_OK;

  // Children are taken from the front. One that survives its elimination (no
  // right to delete it) would come back at the same index for ever, so the
  // walk steps past it; every round deletes a key or moves on, so it ends.
  DWORD index = 0;
  char tried[kPathCapacity] = {};
  for (;;) {
    char child[kPathCapacity];
    DWORD length = kPathCapacity;
    if (RegEnumKeyExA(key.get(), index, child, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    if (std::strcmp(child, tried) == 0) {
      ++index;
      tried[0] = 0;
      continue;
    }
    EliminateSubKey(key.get(), child);
    std::memcpy(tried, child, sizeof tried);
  }
  key.reset();
  RegDeleteKeyA(parent, name);
  return S_OK;
}

HRESULT RegisterAllServers(LPCWSTR modulePath, BOOL registering) {
  HRESULT hr = S_OK;
  for (int i = 0; i < g_cTemplates; ++i) {
    const CFactoryTemplate& row = g_Templates[i];
    if (!row.clsid) return E_INVALIDARG;
    hr = registering ? AMovieSetupRegisterServer(*row.clsid, row.name, modulePath, L"Both",
                                                 L"InprocServer32")
                     : AMovieSetupUnregisterServer(*row.clsid);
    if (FAILED(hr)) break;
  }
  return hr;
}

HRESULT AMovieSetupRegisterFilter2(const AMOVIESETUP_FILTER* setup, IFilterMapper2* mapper,
                                   BOOL registering) {
  if (!setup) return S_FALSE;
  if (!mapper || !setup->clsID) return E_POINTER;
  HRESULT hr = mapper->UnregisterFilter(nullptr, nullptr, *setup->clsID);
  if (registering) {
    REGFILTER2 record{};
    record.dwVersion = 1;
    record.dwMerit = setup->dwMerit;
    record.cPins = setup->nPins;
    record.rgPins = setup->lpPin;
    hr = mapper->RegisterFilter(*setup->clsID, setup->strName, nullptr, nullptr, nullptr, &record);
  }
  return UnknownFilterIsNoError(hr);
}

HRESULT AMovieSetupRegisterFilter(const AMOVIESETUP_FILTER* setup, IFilterMapper* mapper,
                                  BOOL registering) {
  if (!setup) return S_FALSE;
  if (!mapper || !setup->clsID) return E_POINTER;
  const CLSID& clsid = *setup->clsID;
  HRESULT hr = mapper->UnregisterFilter(clsid);
  if (registering) {
    hr = mapper->RegisterFilter(clsid, setup->strName, setup->dwMerit);
    for (UINT p = 0; SUCCEEDED(hr) && setup->lpPin && p < setup->nPins; ++p) {
      const AMOVIESETUP_PIN& pin = setup->lpPin[p];
      // A pin that names no filter to connect to, and a type without a major
      // or minor type, are registered with GUID_NULL ("any"): the setup
      // records leave those pointers null, and reading through them crashed.
      hr = mapper->RegisterPin(clsid, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                               pin.clsConnectsToFilter ? *pin.clsConnectsToFilter : GUID_NULL,
                               pin.strConnectsToPin);
      for (UINT t = 0; SUCCEEDED(hr) && pin.lpMediaType && t < pin.nMediaTypes; ++t) {
        const AMOVIESETUP_MEDIATYPE& type = pin.lpMediaType[t];
        hr = mapper->RegisterPinType(clsid, pin.strName,
                                     type.clsMajorType ? *type.clsMajorType : GUID_NULL,
                                     type.clsMinorType ? *type.clsMinorType : GUID_NULL);
      }
    }
  }
  return UnknownFilterIsNoError(hr);
}

HRESULT AMovieDllRegisterServer2(BOOL registering) {
  char pathA[kPathCapacity];
  const DWORD length = GetModuleFileNameA(ModuleInstance(), pathA, kPathCapacity);
  if (length == 0) return Win32FailureToHResult(GetLastError());
  // A path that filled the buffer was cut short; registering it would point
  // the server key at a file that does not exist.
  if (length >= kPathCapacity) return Win32FailureToHResult(ERROR_INSUFFICIENT_BUFFER);
  WCHAR path[kPathCapacity];
  if (MultiByteToWideChar(CP_ACP, 0, pathA, -1, path, static_cast<int>(kPathCapacity)) == 0) {
    return LastErrorAsHResult();
  }

  HRESULT hr = S_OK;
  if (registering) {
    hr = RegisterAllServers(path, TRUE);
    if (FAILED(hr)) return hr;
  }

  // Only a successful CoInitialize is balanced: the caller's own COM
  // initialisation must survive this call.
  const HRESULT comInit = CoInitialize(nullptr);
  {
    ComPtr<IFilterMapper2> mapper2;
    ComPtr<IFilterMapper> mapper1;
    hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                          mapper2.put_void());
    if (FAILED(hr)) {
      hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                            mapper1.put_void());
    }
    if (mapper2 || mapper1) {
      for (int i = 0; i < g_cTemplates; ++i) {
        const AMOVIESETUP_FILTER* setup = g_Templates[i].setup;
        if (!setup) continue;
        hr = mapper2 ? AMovieSetupRegisterFilter2(setup, mapper2.get(), registering)
                     : AMovieSetupRegisterFilter(setup, mapper1.get(), registering);
        if (FAILED(hr)) break;
      }
    }
  }
  CoFreeUnusedLibraries();
  if (SUCCEEDED(comInit)) CoUninitialize();

  if (!registering && SUCCEEDED(hr)) hr = RegisterAllServers(path, FALSE);
  return hr;
}

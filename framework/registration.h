#pragma once
// Self-registration of a module: the COM server keys of every row of the
// module's class table under HKEY_CLASSES_ROOT, and every row's filter record
// in the system filter registry (through IFilterMapper2 when it can be
// created, else through IFilterMapper).

#include <windows.h>
#include <strmif.h>

#include "framework/setup_records.h"

// The module's DllRegisterServer (TRUE) and DllUnregisterServer (FALSE).
HRESULT AMovieDllRegisterServer2(BOOL registering);
// Writes (or removes) the server keys of every class-table row.
HRESULT RegisterAllServers(LPCWSTR modulePath, BOOL registering);
// "CLSID\{...}" with the description, and below it the server-type subkey
// holding the module path and the threading model.
HRESULT AMovieSetupRegisterServer(CLSID clsid, LPCWSTR description, LPCWSTR modulePath,
                                  LPCWSTR threadingModel = L"Both",
                                  LPCWSTR serverType = L"InprocServer32");
// Removes the whole "CLSID\{...}" key; S_OK whether or not it was there.
HRESULT AMovieSetupUnregisterServer(CLSID clsid);
// Deletes `name` below `parent` with everything under it. E_FAIL for an empty
// name; S_OK otherwise, also when there was nothing to delete.
HRESULT EliminateSubKey(HKEY parent, const char* name);
// (Re)registers or unregisters one filter with the newer and the older mapper.
// S_FALSE for a null record; a filter that was not registered is no error.
HRESULT AMovieSetupRegisterFilter2(const AMOVIESETUP_FILTER* setup, IFilterMapper2* mapper,
                                   BOOL registering);
HRESULT AMovieSetupRegisterFilter(const AMOVIESETUP_FILTER* setup, IFilterMapper* mapper,
                                  BOOL registering);

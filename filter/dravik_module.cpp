// The module's own entry points. DllGetClassObject and DllCanUnloadNow come
// from the module server; dravik.def decides what the module exports.

#include <windows.h>

#include "framework/module_server.h"
#include "framework/registration.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  return DllEntryPoint(instance, reason, reserved);
}

STDAPI DllRegisterServer() {
  return AMovieDllRegisterServer2(TRUE);
}

STDAPI DllUnregisterServer() {
  return AMovieDllRegisterServer2(FALSE);
}

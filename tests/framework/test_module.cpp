// A minimal in-process server built on the framework, for the end-to-end test
// (in_process_server_test.cpp): one class, no filter record.

#include <windows.h>

#include <new>

#include "framework/module_server.h"
#include "framework/registration.h"
#include "framework_fakes.h"

namespace {

CUnknown* CreateTestObject(IUnknown* outer, HRESULT* hr) {
  auto* object = new (std::nothrow) TestObject(outer);
  if (!object) *hr = E_OUTOFMEMORY;
  return object;
}

}  // namespace

const CFactoryTemplate g_Templates[] = {
    {L"Framework test module", &TestObject::kClassId, CreateTestObject, nullptr, nullptr},
};
const int g_cTemplates = sizeof g_Templates / sizeof g_Templates[0];

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  return DllEntryPoint(instance, reason, reserved);
}

STDAPI DllRegisterServer() {
  return AMovieDllRegisterServer2(TRUE);
}

STDAPI DllUnregisterServer() {
  return AMovieDllRegisterServer2(FALSE);
}

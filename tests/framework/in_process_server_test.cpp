// The framework as a real in-process server: a module built on it registers
// itself, the COM runtime loads it from that registration, creates its class
// through the factory, and unloads it once its unload answer says so.

#include <gtest/gtest.h>

#include <string>

#include "framework/com_ptr.h"
#include "framework/unique_handle.h"
#include "framework_fakes.h"

using framework::ComPtr;
using framework::UniqueHKey;

namespace {

using ExportedCall = HRESULT(STDAPICALLTYPE*)();

std::string ModulePathNextToTest() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1) + TEST_MODULE_FILE_NAME;
}

HRESULT CallExport(HMODULE module, const char* name) {
  auto call = reinterpret_cast<ExportedCall>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return call ? call() : E_NOTIMPL;
}

std::string RegisteredServerPath() {
  WCHAR clsid[39];
  StringFromGUID2(TestObject::kClassId, clsid, 39);
  std::string key = "CLSID\\";
  for (const WCHAR* c = clsid; *c; ++c) key += static_cast<char>(*c);
  key += "\\InprocServer32";
  char value[MAX_PATH] = {};
  LONG size = sizeof value;
  if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), value, &size) != ERROR_SUCCESS) return {};
  return value;
}

class InProcessServer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override {
    if (HMODULE module = LoadLibraryA(path.c_str())) {
      CallExport(module, "DllUnregisterServer");
      FreeLibrary(module);
    }
    CoUninitialize();
  }
  const std::string path = ModulePathNextToTest();
};

TEST_F(InProcessServer, RegistersLoadsCreatesAndUnloads) {
  HMODULE module = LoadLibraryA(path.c_str());
  ASSERT_NE(module, nullptr) << path;
  ASSERT_EQ(CallExport(module, "DllRegisterServer"), S_OK);
  FreeLibrary(module);
  // The module found its own file through the instance handle it was given.
  EXPECT_EQ(RegisteredServerPath(), path);

  ComPtr<IPersist> object;
  ASSERT_EQ(CoCreateInstance(TestObject::kClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IPersist,
                             object.put_void()),
            S_OK);
  CLSID clsid{};
  EXPECT_EQ(object->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, TestObject::kClassId);

  HMODULE loaded = GetModuleHandleA(path.c_str());
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(CallExport(loaded, "DllCanUnloadNow"), S_FALSE);  // the object keeps it
  object.reset();
  EXPECT_EQ(CallExport(loaded, "DllCanUnloadNow"), S_OK);
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);  // the runtime took it at its word

  module = LoadLibraryA(path.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(CallExport(module, "DllUnregisterServer"), S_OK);
  FreeLibrary(module);
  EXPECT_EQ(RegisteredServerPath(), "");
  EXPECT_EQ(CoCreateInstance(TestObject::kClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IPersist,
                             object.put_void()),
            REGDB_E_CLASSNOTREG);
}

}  // namespace

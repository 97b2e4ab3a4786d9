#include "framework/module_server.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "framework/com_ptr.h"
#include "framework_fakes.h"

using framework::ComPtr;

namespace {

// One class id per way a creation function can end.
constexpr CLSID kGood = {0x8b0c6f10, 0x2d4e, 0x4c1a, {0xa1, 0x10, 0x3e, 0x51, 0x77, 0x02, 0xc4, 0x01}};
constexpr CLSID kFailsWithObject = {0x8b0c6f10, 0x2d4e, 0x4c1a, {0xa1, 0x10, 0x3e, 0x51, 0x77, 0x02, 0xc4, 0x02}};
constexpr CLSID kNullNoReason = {0x8b0c6f10, 0x2d4e, 0x4c1a, {0xa1, 0x10, 0x3e, 0x51, 0x77, 0x02, 0xc4, 0x03}};
constexpr CLSID kNullWithReason = {0x8b0c6f10, 0x2d4e, 0x4c1a, {0xa1, 0x10, 0x3e, 0x51, 0x77, 0x02, 0xc4, 0x04}};
constexpr CLSID kThrows = {0x8b0c6f10, 0x2d4e, 0x4c1a, {0xa1, 0x10, 0x3e, 0x51, 0x77, 0x02, 0xc4, 0x05}};
constexpr CLSID kNotInTable = {0x8b0c6f10, 0x2d4e, 0x4c1a, {0xa1, 0x10, 0x3e, 0x51, 0x77, 0x02, 0xc4, 0xff}};

CUnknown* CreateGood(IUnknown* outer, HRESULT*) { return new TestObject(outer); }
CUnknown* CreateFailsWithObject(IUnknown* outer, HRESULT* hr) {
  *hr = E_ACCESSDENIED;
  return new TestObject(outer);
}
CUnknown* CreateNullNoReason(IUnknown*, HRESULT*) { return nullptr; }
CUnknown* CreateNullWithReason(IUnknown*, HRESULT* hr) {
  *hr = E_UNEXPECTED;
  return nullptr;
}
CUnknown* CreateThrows(IUnknown*, HRESULT*) { throw std::runtime_error("no"); }

struct InitCall {
  BOOL loading;
  const CLSID* clsid;
};
InitCall g_initCalls[8];
int g_initCount = 0;
void RecordInit(BOOL loading, const CLSID* clsid) {
  if (g_initCount < 8) g_initCalls[g_initCount] = {loading, clsid};
  ++g_initCount;
}

}  // namespace

const CFactoryTemplate g_Templates[] = {
    {L"Good", &kGood, CreateGood, RecordInit, nullptr},
    {L"Fails with object", &kFailsWithObject, CreateFailsWithObject, nullptr, nullptr},
    {L"Null, no reason", &kNullNoReason, CreateNullNoReason, RecordInit, nullptr},
    {L"Null with reason", &kNullWithReason, CreateNullWithReason, nullptr, nullptr},
    {L"Throws", &kThrows, CreateThrows, nullptr, nullptr},
    {L"Second row, same class", &kGood, CreateNullNoReason, nullptr, nullptr},
};
const int g_cTemplates = sizeof g_Templates / sizeof g_Templates[0];

namespace {

class ModuleServer : public ::testing::Test {
 protected:
  void SetUp() override { TestObject::destroyed = 0; }

  ComPtr<IClassFactory> Factory(REFCLSID clsid) {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(DllGetClassObject(clsid, IID_IClassFactory, factory.put_void()), S_OK);
    return factory;
  }
};

TEST_F(ModuleServer, GetClassObjectChecksInterfaceThenClass) {
  struct Row {
    const CLSID* clsid;
    const IID* iid;
    HRESULT expected;
  } const rows[] = {
      {&kGood, &IID_IClassFactory, S_OK},
      {&kGood, &IID_IUnknown, S_OK},
      {&kGood, &IID_IMemAllocator, E_NOINTERFACE},
      {&kNotInTable, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
      {&kNotInTable, &IID_IPersist, E_NOINTERFACE},  // the interface is checked first
  };
  for (const Row& row : rows) {
    void* out = reinterpret_cast<void*>(0x5);
    EXPECT_EQ(DllGetClassObject(*row.clsid, *row.iid, &out), row.expected);
    if (SUCCEEDED(row.expected)) {
      ASSERT_NE(out, nullptr);
      EXPECT_EQ(ObjectsActive(), 1);  // the factory is a live object
      EXPECT_EQ(static_cast<IUnknown*>(out)->Release(), 0u);
    } else {
      EXPECT_EQ(out, nullptr);  // a caller that releases it unchecked releases nothing
    }
  }
  EXPECT_EQ(DllGetClassObject(kGood, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(ModuleServer, FactoryAnswersItsTwoInterfaces) {
  ComPtr<IClassFactory> factory = Factory(kGood);
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(factory->QueryInterface(IID_IUnknown, unknown.put_void()), S_OK);
  EXPECT_EQ(unknown.get(), static_cast<IUnknown*>(factory.get()));
  void* out = reinterpret_cast<void*>(0x5);
  EXPECT_EQ(factory->QueryInterface(IID_IPersist, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(factory->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(factory->AddRef(), 3u);
  EXPECT_EQ(factory->Release(), 2u);
}

TEST_F(ModuleServer, CreateInstanceHandsOutTheRequestedInterface) {
  ComPtr<IClassFactory> factory = Factory(kGood);
  ComPtr<IPersist> persist;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPersist, persist.put_void()), S_OK);
  CLSID clsid{};
  EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, TestObject::kClassId);
  EXPECT_EQ(persist->AddRef(), 2u);  // exactly the caller's reference, plus this one
  EXPECT_EQ(persist->Release(), 1u);
  persist.reset();
  EXPECT_EQ(TestObject::destroyed, 1);
}

TEST_F(ModuleServer, FailedQueryAfterCreationDestroysTheObject) {
  ComPtr<IClassFactory> factory = Factory(kGood);
  void* out = reinterpret_cast<void*>(0x5);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(TestObject::destroyed, 1);
  EXPECT_EQ(ObjectsActive(), 1);  // only the factory
}

TEST_F(ModuleServer, AggregationGetsTheInnerIdentityOnly) {
  ComPtr<IClassFactory> factory = Factory(kGood);
  CountingUnknown outer;

  void* out = reinterpret_cast<void*>(0x5);
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IPersist, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(TestObject::destroyed, 0);  // nothing was created
  EXPECT_EQ(ObjectsActive(), 1);

  IUnknown* inner = nullptr;
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
  EXPECT_NE(inner, static_cast<IUnknown*>(&outer));
  EXPECT_EQ(outer.refs, 0);  // the inner identity does not count on the outer
  IPersist* persist = nullptr;
  ASSERT_EQ(inner->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
  EXPECT_EQ(outer.refs, 1);  // the face does
  persist->Release();
  EXPECT_EQ(inner->Release(), 0u);
  EXPECT_EQ(TestObject::destroyed, 1);
}

TEST_F(ModuleServer, CreationFailuresAreReportedAndCleanedUp) {
  struct Row {
    const CLSID* clsid;
    HRESULT expected;
  } const rows[] = {
      {&kFailsWithObject, E_ACCESSDENIED},  // the object it returned is deleted
      {&kNullNoReason, E_OUTOFMEMORY},
      {&kNullWithReason, E_UNEXPECTED},
      {&kThrows, E_FAIL},  // no exception leaves the factory
  };
  for (const Row& row : rows) {
    ComPtr<IClassFactory> factory = Factory(*row.clsid);
    ComPtr<IUnknown> object;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.put_void()), row.expected);
    EXPECT_FALSE(object);
    EXPECT_EQ(ObjectsActive(), 1);
  }
  EXPECT_EQ(TestObject::destroyed, 1);
  ComPtr<IClassFactory> factory = Factory(kGood);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(ModuleServer, CanUnloadOnlyWithoutFactoriesObjectsOrLocks) {
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  {
    ComPtr<IClassFactory> factory = Factory(kGood);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // a held factory keeps the module

    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.reset();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // the locks alone keep it too
    EXPECT_TRUE(CClassFactory::IsLocked());

    ComPtr<IClassFactory> second = Factory(kGood);
    EXPECT_EQ(second->LockServer(FALSE), S_OK);
    EXPECT_EQ(second->LockServer(FALSE), S_OK);
    EXPECT_FALSE(CClassFactory::IsLocked());
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);

    ComPtr<IUnknown> object;
    ASSERT_EQ(second->CreateInstance(nullptr, IID_IUnknown, object.put_void()), S_OK);
    second.reset();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // a live object keeps it
  }
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

DWORD WINAPI HammerFactory(LPVOID parameter) {
  auto* factory = static_cast<IClassFactory*>(parameter);
  for (int i = 0; i < 20000; ++i) {
    factory->AddRef();
    factory->LockServer(TRUE);
    IUnknown* object = nullptr;
    if (i % 16 == 0 && SUCCEEDED(factory->CreateInstance(nullptr, IID_IUnknown,
                                                         reinterpret_cast<void**>(&object)))) {
      object->AddRef();
      object->Release();
      object->Release();
    }
    factory->LockServer(FALSE);
    factory->Release();
  }
  return 0;
}

TEST_F(ModuleServer, CountsStayExactUnderConcurrentUse) {
  ComPtr<IClassFactory> factory = Factory(kGood);
  HANDLE threads[4];
  for (HANDLE& thread : threads) {
    thread = CreateThread(nullptr, 0, HammerFactory, factory.get(), 0, nullptr);
    ASSERT_NE(thread, nullptr);
  }
  EXPECT_EQ(WaitForMultipleObjects(4, threads, TRUE, 60000), WAIT_OBJECT_0);
  for (HANDLE thread : threads) CloseHandle(thread);
  EXPECT_FALSE(CClassFactory::IsLocked());
  EXPECT_EQ(factory->AddRef(), 2u);
  EXPECT_EQ(factory->Release(), 1u);
  EXPECT_EQ(ObjectsActive(), 1);
  EXPECT_EQ(TestObject::destroyed, 4 * 1250);
  factory.reset();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(ModuleServer, EntryPointStoresTheInstanceAndInitialisesClasses) {
  g_initCount = 0;
  HINSTANCE self = GetModuleHandleA(nullptr);
  EXPECT_TRUE(DllEntryPoint(self, DLL_PROCESS_ATTACH, nullptr));
  EXPECT_EQ(ModuleInstance(), self);
  ASSERT_EQ(g_initCount, 2);  // rows with an init routine, in table order
  EXPECT_EQ(g_initCalls[0].loading, TRUE);
  EXPECT_EQ(g_initCalls[0].clsid, &kGood);
  EXPECT_EQ(g_initCalls[1].clsid, &kNullNoReason);

  EXPECT_TRUE(DllEntryPoint(self, DLL_THREAD_ATTACH, nullptr));
  EXPECT_EQ(g_initCount, 2);

  EXPECT_TRUE(DllEntryPoint(self, DLL_PROCESS_DETACH, nullptr));
  ASSERT_EQ(g_initCount, 4);
  EXPECT_EQ(g_initCalls[2].loading, FALSE);
  EXPECT_EQ(g_initCalls[3].loading, FALSE);
}

}  // namespace

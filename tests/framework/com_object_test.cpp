#include "framework/com_object.h"

#include <gtest/gtest.h>

#include "framework/crit_sec.h"
#include "framework/memory_allocator.h"
#include "framework_fakes.h"

namespace {

class ComObject : public ::testing::Test {
 protected:
  void SetUp() override { TestObject::destroyed = 0; }
};

TEST_F(ComObject, ReferenceCountsReturnedByAddRefAndRelease) {
  auto* object = new TestObject(nullptr);
  EXPECT_EQ(ObjectsActive(), 1);
  EXPECT_EQ(object->NonDelegatingAddRef(), 1u);
  EXPECT_EQ(object->NonDelegatingAddRef(), 2u);
  EXPECT_EQ(object->NonDelegatingAddRef(), 3u);
  EXPECT_EQ(object->NonDelegatingRelease(), 2u);
  EXPECT_EQ(object->NonDelegatingRelease(), 1u);
  EXPECT_EQ(TestObject::destroyed, 0);
  EXPECT_EQ(object->NonDelegatingRelease(), 0u);
  EXPECT_EQ(TestObject::destroyed, 1);
}

TEST_F(ComObject, StandaloneObjectOwnsItself) {
  auto* object = new TestObject(nullptr);
  EXPECT_EQ(object->GetOwner(), object->Identity());
  object->NonDelegatingAddRef();

  // References taken through a secondary face land on the object's own count.
  IPersist* persist = nullptr;
  ASSERT_EQ(object->NonDelegatingQueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)),
            S_OK);
  EXPECT_EQ(persist, static_cast<IPersist*>(object));
  IUnknown* identity = nullptr;
  ASSERT_EQ(persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, object->Identity());
  EXPECT_EQ(identity->Release(), 2u);
  EXPECT_EQ(persist->Release(), 1u);
  EXPECT_EQ(TestObject::destroyed, 0);
  EXPECT_EQ(persist->Release(), 0u);  // the face's release is the object's last
  EXPECT_EQ(TestObject::destroyed, 1);
}

TEST_F(ComObject, AggregatedObjectCountsOnItsOuter) {
  CountingUnknown outer;
  auto* inner = new TestObject(&outer);
  EXPECT_EQ(inner->GetOwner(), static_cast<IUnknown*>(&outer));
  ASSERT_EQ(inner->NonDelegatingAddRef(), 1u);  // the outer object's hold

  IPersist* persist = nullptr;
  ASSERT_EQ(inner->NonDelegatingQueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)),
            S_OK);
  EXPECT_EQ(outer.refs, 1);  // handed out through the face: counted on the outer
  IUnknown* viaFace = nullptr;
  EXPECT_EQ(persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaFace)), S_OK);
  EXPECT_EQ(viaFace, static_cast<IUnknown*>(&outer));  // identity is the outer's
  EXPECT_EQ(outer.queries, 1);
  viaFace->Release();
  persist->Release();
  EXPECT_EQ(outer.refs, 0);
  EXPECT_EQ(TestObject::destroyed, 0);

  // The inner identity (what the outer holds) is the non-delegating face.
  IUnknown* identity = nullptr;
  ASSERT_EQ(inner->NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)),
            S_OK);
  EXPECT_EQ(identity, inner->Identity());
  EXPECT_EQ(outer.refs, 0);
  EXPECT_EQ(identity->Release(), 1u);
  EXPECT_EQ(identity->Release(), 0u);
  EXPECT_EQ(TestObject::destroyed, 1);
}

TEST_F(ComObject, BaseQueryAnswersOnlyIUnknown) {
  auto* object = new TestObject(nullptr);
  object->NonDelegatingAddRef();
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(object->CUnknown::NonDelegatingQueryInterface(IID_IPersist, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(object->NonDelegatingQueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(object->NonDelegatingQueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(GetInterface(object->Identity(), nullptr), E_POINTER);
  object->NonDelegatingRelease();
}

// An object whose teardown takes and drops a reference on itself, as an
// object does when it releases its own delegating faces while it dies.
class SelfReleasingObject : public CUnknown {
 public:
  static inline int destroyed = 0;
  SelfReleasingObject() : CUnknown(nullptr, nullptr) {}
  ~SelfReleasingObject() override {
    ++destroyed;
    GetOwner()->AddRef();
    GetOwner()->Release();
  }
};

TEST_F(ComObject, ReleaseInsideTheDestructorDoesNotDestroyTwice) {
  SelfReleasingObject::destroyed = 0;
  auto* object = new SelfReleasingObject;
  object->NonDelegatingAddRef();
  EXPECT_EQ(object->NonDelegatingRelease(), 0u);
  EXPECT_EQ(SelfReleasingObject::destroyed, 1);
}

TEST_F(ComObject, AutomationLibraryIsLoadedAgainAfterTheLastObjectWent) {
  // This program imports the library itself, so a handle the module never
  // freed would still work: watch the handle the module holds instead.
  ASSERT_EQ(HeldOleAut32(), nullptr);
  auto* object = new TestObject(nullptr);
  HMODULE first = LoadOleAut32();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(HeldOleAut32(), first);
  EXPECT_EQ(LoadOleAut32(), first);  // one load per module, not per call
  auto* second = new TestObject(nullptr);
  delete object;
  EXPECT_EQ(HeldOleAut32(), first);  // kept while an object lives
  delete second;
  EXPECT_EQ(HeldOleAut32(), nullptr);
  object = new TestObject(nullptr);
  EXPECT_NE(LoadOleAut32(), nullptr);
  EXPECT_EQ(HeldOleAut32(), LoadOleAut32());
  EXPECT_NE(GetProcAddress(LoadOleAut32(), "LoadRegTypeLib"), nullptr);
  delete object;
  EXPECT_EQ(HeldOleAut32(), nullptr);
}

DWORD WINAPI TakeAndDropLock(LPVOID lock) {
  CAutoLock held(static_cast<CCritSec*>(lock));
  return 7;
}

TEST_F(ComObject, CritSecIsRecursive) {
  CCritSec lock;
  {
    CAutoLock outer(&lock);
    CAutoLock inner(&lock);  // the same thread takes it again without blocking
  }
  // Released as often as taken: another thread gets it.
  HANDLE thread = CreateThread(nullptr, 0, TakeAndDropLock, &lock, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 7u);
  CloseHandle(thread);
}

TEST_F(ComObject, CreateMemoryAllocatorGivesTheSystemAllocator) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  IMemAllocator* allocator = nullptr;
  ASSERT_EQ(CreateMemoryAllocator(&allocator), S_OK);
  ASSERT_NE(allocator, nullptr);
  ALLOCATOR_PROPERTIES wanted{2, 4096, 1, 0};
  ALLOCATOR_PROPERTIES actual{};
  EXPECT_EQ(allocator->SetProperties(&wanted, &actual), S_OK);
  EXPECT_GE(actual.cbBuffer, 4096);
  allocator->Release();
  EXPECT_EQ(CreateMemoryAllocator(nullptr), E_POINTER);
  CoUninitialize();
}

}  // namespace

#include "framework/com_ptr.h"

#include <gtest/gtest.h>

#include <utility>

#include "framework_fakes.h"

using framework::ComPtr;

namespace {

TEST(ComPtr, HoldsExactlyOneReference) {
  CountingUnknown object;
  {
    ComPtr<IUnknown> first(&object);
    EXPECT_EQ(object.refs, 1);
    ComPtr<IUnknown> second = first;
    EXPECT_EQ(object.refs, 2);
    ComPtr<IUnknown> moved = std::move(second);
    EXPECT_EQ(object.refs, 2);
    EXPECT_FALSE(second);
    first = moved;  // assigning the same object keeps the balance
    EXPECT_EQ(object.refs, 2);
    first = nullptr;
    EXPECT_EQ(object.refs, 1);
  }
  EXPECT_EQ(object.refs, 0);
}

TEST(ComPtr, PutReleasesBeforeReuse) {
  CountingUnknown a, b;
  ComPtr<IUnknown> holder(&a);
  IUnknown** slot = holder.put();
  EXPECT_EQ(a.refs, 0);  // released before the slot is handed out
  EXPECT_EQ(*slot, nullptr);
  ASSERT_EQ(b.QueryInterface(IID_IUnknown, holder.put_void()), S_OK);
  EXPECT_EQ(b.refs, 1);
  holder.reset();
  EXPECT_EQ(b.refs, 0);
}

TEST(ComPtr, AttachAndDetachMoveOwnershipWithoutCounting) {
  CountingUnknown object;
  object.AddRef();  // a reference the caller owns
  ComPtr<IUnknown> holder;
  holder.attach(&object);
  EXPECT_EQ(object.refs, 1);
  IUnknown* raw = holder.detach();
  EXPECT_EQ(raw, &object);
  EXPECT_EQ(object.refs, 1);
  EXPECT_FALSE(holder);
  raw->Release();

  ComPtr<IUnknown> source(&object);
  IUnknown* out = nullptr;
  source.copy_to(&out);  // a new reference for an out parameter
  EXPECT_EQ(object.refs, 2);
  out->Release();
}

}  // namespace

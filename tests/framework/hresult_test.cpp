#include "framework/hresult.h"

#include <gtest/gtest.h>

#include "framework_fakes.h"

namespace {

TEST(HResult, LastErrorAsHResult) {
  struct Row {
    DWORD lastError;
    HRESULT expected;
  } const rows[] = {
      {0, E_FAIL},  // a failure without a reason is still a failure
      {ERROR_FILE_NOT_FOUND, static_cast<HRESULT>(0x80070002u)},
      {ERROR_DISK_FULL, static_cast<HRESULT>(0x80070070u)},
      {0x0001ABCD, static_cast<HRESULT>(0x8007ABCDu)},  // low 16 bits only
      {0x80040207, static_cast<HRESULT>(0x80040207u)},  // already an HRESULT
  };
  for (const Row& row : rows) {
    SetLastError(row.lastError);
    EXPECT_EQ(LastErrorAsHResult(), row.expected) << row.lastError;
  }
}

TEST(HResult, ReleaseIfSetReleasesOnceAndForgets) {
  CountingUnknown object;
  object.AddRef();
  IUnknown* held = &object;
  ReleaseIfSet(held);
  EXPECT_EQ(object.refs, 0);
  EXPECT_EQ(held, nullptr);
  ReleaseIfSet(held);  // nothing held: nothing released
  EXPECT_EQ(object.refs, 0);
}

}  // namespace

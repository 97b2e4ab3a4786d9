#include "platform/hresult.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using platform::HResult;

TEST(HResult, Win32ErrorsBecomeFailures) {
  struct Row {
    std::uint32_t error;
    HResult plain;    // HResultFromWin32
    HResult failure;  // FailureFromWin32, for a call known to have failed
  };
  const Row rows[] = {
      {0, 0, static_cast<HResult>(0x80004005u)},
      {5, static_cast<HResult>(0x80070005u), static_cast<HResult>(0x80070005u)},
      {112, static_cast<HResult>(0x80070070u), static_cast<HResult>(0x80070070u)},
      {0x12345, static_cast<HResult>(0x80072345u), static_cast<HResult>(0x80072345u)},
      {0x8007000Eu, static_cast<HResult>(0x8007000Eu), static_cast<HResult>(0x8007000Eu)},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(platform::HResultFromWin32(r.error), r.plain) << r.error;
    EXPECT_EQ(platform::FailureFromWin32(r.error), r.failure) << r.error;
  }
#ifdef _WIN32
  EXPECT_EQ(platform::kOk, S_OK);
  EXPECT_EQ(platform::kFalse, S_FALSE);
  EXPECT_EQ(platform::kFail, E_FAIL);
  EXPECT_EQ(platform::kInvalidPointer, E_POINTER);
  EXPECT_EQ(platform::kOutOfMemory, E_OUTOFMEMORY);
  EXPECT_EQ(platform::HResultFromWin32(ERROR_FILE_EXISTS), HRESULT_FROM_WIN32(ERROR_FILE_EXISTS));
#endif
}

// Counts its calls, so a test sees that the expression ran once and where
// the enclosing function stopped.
struct Steps {
  int calls = 0;
  HResult Call(HResult hr) {
    ++calls;
    return hr;
  }
  HResult Run(HResult first, HResult second) {
    RETURN_IF_FAILED(Call(first));
    RETURN_IF_FAILED(Call(second));
    return platform::kOk;
  }
};

TEST(HResult, ReturnIfFailedStopsAtTheFirstFailure) {
  struct Row {
    HResult first, second, result;
    int calls;
  } const rows[] = {
      {platform::kOk, platform::kOk, platform::kOk, 2},
      {platform::kFalse, platform::kOk, platform::kOk, 2},  // S_FALSE is no failure
      {platform::kFail, platform::kOk, platform::kFail, 1},
      {platform::kOk, platform::kOutOfMemory, platform::kOutOfMemory, 2},
  };
  for (const Row& r : rows) {
    Steps steps;
    EXPECT_EQ(steps.Run(r.first, r.second), r.result);
    EXPECT_EQ(steps.calls, r.calls);
  }
}

}  // namespace

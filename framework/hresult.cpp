#include "framework/hresult.h"

HRESULT Win32FailureToHResult(DWORD error) { return platform::FailureFromWin32(error); }

HRESULT Win32ToHResult(LONG error) {
  return platform::HResultFromWin32(static_cast<std::uint32_t>(error));
}

HRESULT LastErrorAsHResult() { return platform::FailureFromWin32(GetLastError()); }

#include "framework/hresult.h"

HRESULT Win32FailureToHResult(DWORD error) {
  return static_cast<HRESULT>(error | 0x80070000u);
}

HRESULT Win32ToHResult(LONG error) {
  if (error == 0) return S_OK;
  return static_cast<HRESULT>((static_cast<DWORD>(error) & 0xFFFFu) | 0x80070000u);
}

HRESULT LastErrorAsHResult() {
  const DWORD error = GetLastError();
  // Called after a failure; a system that gave no reason must not turn it
  // into S_OK.
  if (error == 0) return E_FAIL;
  const LONG value = static_cast<LONG>(error);
  if (value > 0) return Win32ToHResult(value);
  return static_cast<HRESULT>(value);
}

#pragma once
// Result-code conversions shared by the framework's COM objects.

#include <windows.h>

// Win32 error code to HRESULT by plain OR with 0x80070000 (used where the
// code is known to be a failure, so 0 never reaches it).
HRESULT Win32FailureToHResult(DWORD error);
// Win32 error code to HRESULT the standard way: 0 stays S_OK, anything else
// keeps its low 16 bits under 0x80070000.
HRESULT Win32ToHResult(LONG error);
// The calling thread's last error as an HRESULT: a last error of 0 (a call
// that failed without saying why) still reports a failure, E_FAIL; values
// that already look like HRESULTs pass unchanged.
HRESULT LastErrorAsHResult();

// Releases an interface if one is held and forgets it.
template <typename T>
void ReleaseIfSet(T*& p) {
  if (p) {
    T* held = p;
    p = nullptr;
    held->Release();
  }
}

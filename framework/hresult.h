#pragma once
// Result-code conversions for the framework's COM objects, in HRESULT and
// DWORD terms. The mappings themselves are platform/hresult.h's, the one set
// in the project; RETURN_IF_FAILED comes with it.

#include <windows.h>

#include "platform/hresult.h"

// Win32 error code of a call known to have failed: 0x80070000 with the error
// in the low 16 bits; an error that does not read as one (0) becomes E_FAIL.
HRESULT Win32FailureToHResult(DWORD error);
// Win32 error code to HRESULT the standard way: 0 stays S_OK, a positive
// error keeps its low 16 bits under 0x80070000, a negative one passes.
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

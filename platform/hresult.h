#pragma once
// The one set of COM result codes and Win32-error mappings in the project, as
// plain 32-bit values so that portable code builds without any Windows
// header. The COM code uses the same mappings through framework/hresult.h.
//
// Named apart from the <winerror.h> macros (S_OK, E_FAIL, ...) so that both
// can be in scope in the COM objects; each constant says which one it is.

#include <cstdint>

namespace platform {

using HResult = std::int32_t;

inline constexpr HResult kOk = 0;                                              // S_OK
inline constexpr HResult kFalse = 1;                                           // S_FALSE
inline constexpr HResult kFail = static_cast<HResult>(0x80004005u);            // E_FAIL
inline constexpr HResult kInvalidPointer = static_cast<HResult>(0x80004003u);  // E_POINTER
inline constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000Eu);     // E_OUTOFMEMORY

constexpr bool Failed(HResult hr) { return hr < 0; }

// A positive Win32 error becomes 0x8007xxxx with the error in the low 16 bits;
// 0 and values that already read as failures pass unchanged.
constexpr HResult HResultFromWin32(std::uint32_t error) {
  auto asResult = static_cast<HResult>(error);
  if (asResult <= 0) return asResult;
  return static_cast<HResult>((error & 0x0000FFFFu) | 0x80070000u);
}

// For a call that is known to have failed: like HResultFromWin32, but an
// error that does not read as a failure (0, most often: the system gave no
// reason) becomes E_FAIL, so that a failure is never passed on as success.
constexpr HResult FailureFromWin32(std::uint32_t error) {
  HResult hr = HResultFromWin32(error);
  return Failed(hr) ? hr : kFail;
}

}  // namespace platform

// Returns the result of `expression` from the enclosing function when it is a
// failure. Works for HRESULT and platform::HResult alike (both are 32-bit
// signed; negative means failure). The expression is evaluated once.
#define RETURN_IF_FAILED(expression)                        \
  do {                                                      \
    const auto returnIfFailedResult_ = (expression);        \
    if (returnIfFailedResult_ < 0) return returnIfFailedResult_; \
  } while (false)

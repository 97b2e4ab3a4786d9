#pragma once
// The few COM result codes the writer core returns, as plain 32-bit values so
// that the core builds without any Windows header. Named apart from the
// <winerror.h> macros so both can be in scope in the COM objects.

#include <cstdint>

namespace dravik {

using HResult = std::int32_t;

inline constexpr HResult kS_OK = 0;
inline constexpr HResult kS_FALSE = 1;
inline constexpr HResult kE_FAIL = static_cast<HResult>(0x80004005u);
inline constexpr HResult kE_POINTER = static_cast<HResult>(0x80004003u);
inline constexpr HResult kE_OUTOFMEMORY = static_cast<HResult>(0x8007000Eu);
// Bare Win32 numbers that two validation paths return unconverted.
inline constexpr HResult kBareInvalidName = 123;      // no usable output name
inline constexpr HResult kBareFilenameTooLong = 206;  // name over 260 characters

constexpr bool Failed(HResult hr) { return hr < 0; }

// A positive Win32 error becomes 0x8007xxxx with the error in the low 16 bits;
// 0 and values that already read as failures pass unchanged.
constexpr HResult HResultFromWin32(std::uint32_t error) {
  auto asResult = static_cast<HResult>(error);
  if (asResult <= 0) return asResult;
  return static_cast<HResult>((error & 0x0000FFFFu) | 0x80070000u);
}

// For a call that is known to have failed: like HResultFromWin32, but a last
// error that does not read as a failure (0, most often: the system gave no
// reason) becomes E_FAIL, so that a failure is never passed on as success.
constexpr HResult FailureFromWin32(std::uint32_t error) {
  HResult hr = HResultFromWin32(error);
  return Failed(hr) ? hr : kE_FAIL;
}

}  // namespace dravik

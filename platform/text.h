#pragma once
// Wide-character names to the narrow names that the narrow file calls take,
// and back; names as they are printed.

#include <cstdint>
#include <string>

#include "platform/file.h"

namespace platform {

// Longest path the narrow calls accept, terminator included (bytes).
inline constexpr std::uint32_t kMaxNarrowPath = 260;

// Converts the terminated wide string `wide`, terminator included, into
// `narrow` (capacity bytes). False when the result does not fit (nothing
// usable is left in `narrow` then).
// - Windows: the ANSI code page, with no conversion flags, so a character
//   that has no form there becomes the code page's default character ('?')
//   instead of failing the conversion.
// - POSIX: UTF-8; a lone surrogate or a value above U+10FFFF has no form and
//   fails it.
bool WideToNarrow(const wchar_t* wide, char* narrow, std::uint32_t capacity);
// The same into a string of the size needed; false (and `narrow` cleared)
// when the conversion fails.
bool WideToNarrow(const std::wstring& wide, std::string* narrow);

// The inverse: the ANSI code page on Windows (bytes that are no character of
// it fail), UTF-8 on POSIX (bytes that are no UTF-8 sequence fail; an
// overlong one is decoded, so callers that need the exact bytes back convert
// the result again and compare). False (and `wide` cleared) on failure.
bool NarrowToWide(const std::string& narrow, std::wstring* wide);

// A file name as the console shows it: the bytes given on POSIX; on Windows
// the wide name in the narrow code page, or `unconvertible` when it does not
// convert.
std::string PrintableName(const NativeString& name, const char* unconvertible);

}  // namespace platform

#pragma once
// Wide-character names to the narrow names that the narrow file calls take.

#include <cstdint>

namespace platform {

// Longest path the narrow calls accept, terminator included (bytes).
inline constexpr std::uint32_t kMaxNarrowPath = 260;

// Converts the terminated wide string `wide`, terminator included, into
// `narrow` (capacity bytes): the ANSI code page on Windows, UTF-8 on POSIX.
// False when the result does not fit (nothing usable is left in `narrow`
// then) or the name holds something that has no narrow form.
bool WideToNarrow(const wchar_t* wide, char* narrow, std::uint32_t capacity);

}  // namespace platform

#pragma once
// ASF object identifiers in their stored (binary) form.
//
// A GUID written as 75B22630-668E-11CF-A6D9-00AA0062CE6C is stored with its
// first three groups little-endian and the last two as written. The constants
// are built from the textual groups so they can be checked against the
// published names by eye.

#include <cstdint>

#include "asf/byte_span.h"

namespace asf {

struct Guid {
  std::uint8_t bytes[16];

  // True when the 16 bytes at `offset` of `span` are this identifier.
  bool At(const ByteSpan& span, std::size_t offset) const {
    return span.Matches(offset, bytes, sizeof bytes);
  }
};

constexpr Guid MakeGuid(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3, std::uint16_t d4,
                        std::uint64_t d5) {
  Guid g{};
  for (int i = 0; i < 4; ++i) g.bytes[i] = static_cast<std::uint8_t>(d1 >> (8 * i));
  for (int i = 0; i < 2; ++i) g.bytes[4 + i] = static_cast<std::uint8_t>(d2 >> (8 * i));
  for (int i = 0; i < 2; ++i) g.bytes[6 + i] = static_cast<std::uint8_t>(d3 >> (8 * i));
  g.bytes[8] = static_cast<std::uint8_t>(d4 >> 8);
  g.bytes[9] = static_cast<std::uint8_t>(d4);
  for (int i = 0; i < 6; ++i) g.bytes[10 + i] = static_cast<std::uint8_t>(d5 >> (8 * (5 - i)));
  return g;
}

inline constexpr Guid kHeaderObject =
    MakeGuid(0x75B22630, 0x668E, 0x11CF, 0xA6D9, 0x00AA0062CE6C);
inline constexpr Guid kStreamPropertiesObject =
    MakeGuid(0xB7DC0791, 0xA9B7, 0x11CF, 0x8EE6, 0x00C00C205365);
inline constexpr Guid kVideoMedia =
    MakeGuid(0xBC19EFC0, 0x5B4D, 0x11CF, 0xA8FD, 0x00805F5C442B);
inline constexpr Guid kHeaderExtensionObject =
    MakeGuid(0x5FBF03B5, 0xA92E, 0x11CF, 0x8EE3, 0x00C00C205365);
// The reserved identifier that every Header Extension Object carries.
inline constexpr Guid kHeaderExtensionReserved1 =
    MakeGuid(0xABD3D211, 0xA9BA, 0x11CF, 0x8EE6, 0x00C00C205365);
inline constexpr Guid kExtendedStreamPropertiesObject =
    MakeGuid(0x14E6A5CB, 0xC672, 0x4332, 0x8399, 0xA96952065B5A);
inline constexpr Guid kFilePropertiesObject =
    MakeGuid(0x8CABDCA1, 0xA947, 0x11CF, 0x8EE4, 0x00C00C205365);
inline constexpr Guid kAudioMedia =
    MakeGuid(0xF8699E40, 0x5B4D, 0x11CF, 0xA8FD, 0x00805F5C442B);
inline constexpr Guid kDataObject =
    MakeGuid(0x75B22636, 0x668E, 0x11CF, 0xA6D9, 0x00AA0062CE6C);

// The binary form's first byte, checked here so that a slip in MakeGuid
// cannot go unnoticed: the Header Object starts 30 26 B2 75 8E 66 CF 11.
static_assert(kHeaderObject.bytes[0] == 0x30 && kHeaderObject.bytes[3] == 0x75 &&
                  kHeaderObject.bytes[4] == 0x8E && kHeaderObject.bytes[7] == 0x11 &&
                  kHeaderObject.bytes[8] == 0xA6 && kHeaderObject.bytes[15] == 0x6C,
              "ASF identifiers must be in their stored byte order");

}  // namespace asf

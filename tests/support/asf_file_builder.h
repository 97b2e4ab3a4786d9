#pragma once
// Builds ASF headers byte by byte for tests: well-formed ones, and ones with
// any size, count or length field set to a hostile value.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "asf/asf_guid.h"

namespace asfbuild {

using Bytes = std::vector<std::uint8_t>;

void PutLe(Bytes& out, std::uint64_t value, int bytes);
// Overwrites `bytes` little-endian bytes at `offset` (which must exist).
void PatchLe(Bytes& out, std::size_t offset, std::uint64_t value, int bytes);
Bytes Concat(std::initializer_list<Bytes> parts);

// An object: identifier, 64-bit size (24 + body), body.
Bytes Object(const asf::Guid& id, const Bytes& body);
// Sets an object's (or the Header Object's) 64-bit size field.
void SetObjectSize(Bytes& object, std::uint64_t size);

struct Video {
  Bytes codecData;
  std::string fourcc = "WVC1";
  std::uint16_t streamNumber = 2;
  std::uint32_t width = 512;
  std::uint32_t height = 288;
};
// A video Stream Properties Object whose type-specific data is the 11-byte
// video header, a 40-byte bitmap header and `codecData`.
Bytes VideoStreamProperties(const Video& video);
Bytes AudioStreamProperties(std::uint16_t streamNumber);
// Offset of the Type-Specific Data Length field in a Stream Properties Object.
inline constexpr std::size_t kTypeSpecificLengthOffset = 64;

// An Extended Stream Properties Object with the given average time per frame
// (100-ns units), no names and no payload extensions.
Bytes ExtendedStreamProperties(std::uint16_t streamNumber, std::uint64_t averageTimePerFrame);
Bytes HeaderExtension(const std::vector<Bytes>& subObjects);

// A Header Object holding `objects` (its count and size filled in), followed
// by `trailing` bytes of other data.
Bytes HeaderObject(const std::vector<Bytes>& objects, std::size_t trailing = 0);
// Offsets in the Header Object's fixed part.
inline constexpr std::size_t kHeaderCountOffset = 24;
inline constexpr std::size_t kHeaderFixedSize = 30;

// Codec data as a file writer keeps it: one leading byte, then a short VC-1
// sequence header and entry-point header with their start codes.
Bytes LeadingByteCodecData();
// The same headers without the leading byte.
Bytes BareCodecData();

}  // namespace asfbuild

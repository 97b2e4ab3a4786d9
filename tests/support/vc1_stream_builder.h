#pragma once
// Synthetic VC-1 sequence and entry-point headers for tests, encoded by a
// packer of their own (not the engine's cursor) straight from the bitstream
// syntax, so that a fault in the engine's syntax table shows as a mismatch.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vc1build {

class BitPacker {
 public:
  void Put(std::uint32_t width, std::uint32_t value);
  void PutBytes(const std::vector<std::uint8_t>& bytes);
  // The stream's own trailing bits: a 1, then zeros to the byte boundary.
  void Trailing();
  std::size_t BitCount() const { return bits_.size(); }
  std::vector<std::uint8_t> Bytes() const;

 private:
  std::vector<std::uint8_t> bits_;
};

// Element values by name (absent ones are 0); the count of leaky buckets is
// HRD_NUM_LEAKY_BUCKETS.
struct Headers {
  std::map<std::string, std::uint32_t> fields;
  std::vector<std::pair<std::uint16_t, std::uint16_t>> buckets;
  std::vector<std::uint8_t> full;
  std::vector<std::uint8_t> prefix;  // bytes before the sequence start code
};

// 1920x1080, display extension with square pixels and a frame-rate code pair,
// colour format, two leaky buckets, coded size, EXTENDED_MV 1, range mapping.
Headers TypicalHeaders();
// The plainest Advanced Profile headers: `codedWidth` x `codedHeight` (even),
// no display extension, no HRD parameters, closed entry with loop filter and
// variable-size transform.
Headers PlainHeaders(std::uint32_t codedWidth = 320, std::uint32_t codedHeight = 240,
                     bool interlace = false);
Headers With(Headers h, const std::map<std::string, std::uint32_t>& changes);

struct Encoded {
  std::vector<std::uint8_t> bytes;
  // Every element written, by name: what a walk must leave in the store.
  std::map<std::string, std::uint32_t> elements;
  std::size_t sequenceBits = 0;    // element bits after the sequence start code
  std::size_t entryPointBits = 0;  // element bits after the entry-point start code
};
// The prefix, then the sequence header and entry-point header, each behind
// its start code.
Encoded Encode(const Headers& h);

// Stream bit i of a byte buffer (0 past the end).
std::uint32_t BitAt(const std::vector<std::uint8_t>& bytes, std::size_t i);

}  // namespace vc1build

#pragma once
// Synthetic VC-1 header streams for the engine tests, encoded by a packer of
// their own (not the engine's cursor) straight from the bitstream syntax, so
// that a fault in the syntax table shows as a mismatch.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace enginetest {

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

// Element values by name; the count of leaky buckets is HRD_NUM_LEAKY_BUCKETS.
struct Headers {
  std::map<std::string, std::uint32_t> fields;
  std::vector<std::pair<std::uint16_t, std::uint16_t>> buckets;
  std::vector<std::uint8_t> full;
  std::vector<std::uint8_t> prefix;  // bytes before the sequence start code
};

// 1920x1080, display extension with square pixels and a frame-rate code pair,
// colour format, two leaky buckets, coded size, EXTENDED_MV 1, range mapping.
Headers TypicalHeaders();
Headers With(Headers h, const std::map<std::string, std::uint32_t>& changes);

struct Encoded {
  std::vector<std::uint8_t> bytes;
  // Every element written, by name: what a walk must leave in the store.
  std::map<std::string, std::uint32_t> elements;
  std::size_t sequenceBits = 0;    // element bits after the sequence start code
  std::size_t entryPointBits = 0;  // element bits after the entry-point start code
};
Encoded Encode(const Headers& h);

// The store as the last walk left it (rows with bits, in table order, plus the
// leaky-bucket entries in use).
struct StoreSnapshot {
  std::vector<std::pair<std::string, std::uint32_t>> present;
  std::vector<std::uint32_t> buckets;  // rate, buffer, full per entry in use
  bool operator==(const StoreSnapshot& o) const { return present == o.present && buckets == o.buckets; }
};
StoreSnapshot TakeStore();
std::string Describe(const StoreSnapshot& s);

// The store holds exactly the encoded elements (and buckets).
::testing::AssertionResult StoreHolds(const Headers& h, const Encoded& e);

// Stream bit i of a byte buffer (0 past the end).
std::uint32_t BitAt(const std::vector<std::uint8_t>& bytes, std::size_t i);

}  // namespace enginetest

#pragma once
// What a header walk leaves in the engine's store, against what the shared
// stream builder encoded.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "vc1_stream_builder.h"

namespace enginetest {

using vc1build::BitAt;
using vc1build::BitPacker;
using vc1build::Encode;
using vc1build::Encoded;
using vc1build::Headers;
using vc1build::TypicalHeaders;
using vc1build::With;

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

}  // namespace enginetest

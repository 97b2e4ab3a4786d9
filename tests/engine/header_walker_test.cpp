#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/VC1Parse.h"
#include "header_stream_support.h"

using namespace vc1;
using namespace enginetest;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint32_t kHeaderBufferSize = 1024;  // what the filter hands the walker

std::uint32_t Size(const Bytes& b) { return static_cast<std::uint32_t>(b.size()); }

std::uint32_t Parse(const Bytes& in) {
  return WalkHeaders(in.empty() ? nullptr : in.data(), Size(in), nullptr, 0, false);
}

Bytes Rewrite(const Bytes& in, bool inject = true, std::uint32_t outputLength = kHeaderBufferSize) {
  Bytes out(outputLength);
  const std::uint32_t n =
      WalkHeaders(in.data(), Size(in), out.empty() ? nullptr : out.data(), outputLength, inject);
  out.resize(n);
  return out;
}

std::size_t AlignUp(std::size_t bits) { return (bits + 7) / 8 * 8; }

// The block: the start code, the reference's sequence elements bit for bit, a
// 1 and 8..15 zeros, the entry-point code, its elements, a 1 and 8..15 zeros.
void ExpectBlockLayout(const Bytes& block, const Encoded& ref, std::size_t refPrefixBytes) {
  ASSERT_GE(block.size(), 8u);
  EXPECT_EQ(Bytes(block.begin(), block.begin() + 4), (Bytes{0x00, 0x00, 0x01, 0x0F}));
  const std::size_t refSeq = (refPrefixBytes + 4) * 8;
  for (std::size_t i = 0; i < ref.sequenceBits; ++i)
    ASSERT_EQ(BitAt(block, 32 + i), BitAt(ref.bytes, refSeq + i)) << "sequence bit " << i;
  const std::size_t trailer = 32 + ref.sequenceBits;
  const std::size_t entryCode = AlignUp(trailer + 9);
  EXPECT_EQ(BitAt(block, trailer), 1u);
  for (std::size_t i = trailer + 1; i < entryCode; ++i) EXPECT_EQ(BitAt(block, i), 0u) << "bit " << i;
  ASSERT_GE(block.size(), entryCode / 8 + 4);
  const auto code = block.begin() + static_cast<std::ptrdiff_t>(entryCode / 8);
  EXPECT_EQ(Bytes(code, code + 4), (Bytes{0x00, 0x00, 0x01, 0x0E}));
  const std::size_t refEntry = AlignUp(refSeq + ref.sequenceBits + 1) + 32;
  for (std::size_t i = 0; i < ref.entryPointBits; ++i)
    ASSERT_EQ(BitAt(block, entryCode + 32 + i), BitAt(ref.bytes, refEntry + i)) << "entry bit " << i;
  const std::size_t endTrailer = entryCode + 32 + ref.entryPointBits;
  EXPECT_EQ(BitAt(block, endTrailer), 1u);
  for (std::size_t i = endTrailer + 1; i < block.size() * 8; ++i) EXPECT_EQ(BitAt(block, i), 0u) << "bit " << i;
  EXPECT_EQ(block.size(), AlignUp(endTrailer + 9) / 8);
}

struct Variant {
  const char* what;
  Headers headers;
};

std::vector<Variant> Variants() {
  const Headers t = TypicalHeaders();
  Headers asf = t;
  asf.prefix = {0x25};  // codec data in an ASF header: one byte before the start code
  Headers noise = With(t, {{"DISPLAY_EXT", 0}});
  noise.prefix = {0x00, 0x00, 0x01, 0x0E, 0x00, 0x00, 0x01, 0x00, 0xFF};
  std::map<std::string, std::uint32_t> widest;
  for (const auto& [name, value] : t.fields) widest[name] = 0xFFFF;
  return {
      {"typical", t},
      {"no display extension", With(t, {{"DISPLAY_EXT", 0}})},
      {"custom aspect ratio", With(t, {{"ASPECT_RATIO", 15}, {"ASPECT_HORIZ_SIZE", 9}, {"ASPECT_VERT_SIZE", 15}})},
      {"no aspect ratio", With(t, {{"ASPECT_RATIO_FLAG", 0}})},
      {"frame-rate exponent", With(t, {{"FRAMERATEIND", 1}, {"FRAMERATEEXP", 766}})},
      {"no frame rate", With(t, {{"FRAMERATE_FLAG", 0}})},
      {"no colour format", With(t, {{"COLOR_FORMAT_FLAG", 0}})},
      {"HRD_PARAM_FLAG 0", With(t, {{"HRD_PARAM_FLAG", 0}})},
      {"no leaky buckets", With(t, {{"HRD_NUM_LEAKY_BUCKETS", 0}})},
      {"31 leaky buckets", With(t, {{"HRD_NUM_LEAKY_BUCKETS", 31}})},
      {"EXTENDED_MV 0", With(t, {{"EXTENDED_MV", 0}})},
      {"no coded size", With(t, {{"CODED_SIZE_FLAG", 0}})},
      {"RANGE_MAPY_FLAG 0", With(t, {{"RANGE_MAPY_FLAG", 0}})},
      {"RANGE_MAPUV_FLAG 0", With(t, {{"RANGE_MAPUV_FLAG", 0}})},
      {"one byte before the start code", asf},
      {"start-code-like bytes before it", noise},
      {"every element at its widest value", With(t, widest)},
      {"every element 0", With(t, [&] { auto z = widest; for (auto& f : z) f.second = 0; return z; }())},
  };
}

TEST(WalkHeaders, ParseStoresExactlyTheElementsOfTheStream) {
  for (const Variant& v : Variants()) {
    const Encoded e = Encode(v.headers);
    EXPECT_EQ(Parse(e.bytes), 1u) << v.what;
    EXPECT_TRUE(StoreHolds(v.headers, e)) << v.what;
  }
}

TEST(WalkHeaders, RewriteCopiesTheElementsIntoAFreshBlock) {
  SetFrameTiming(0);  // no injection
  for (const Variant& v : Variants()) {
    SCOPED_TRACE(v.what);
    const Encoded e = Encode(v.headers);
    const Bytes block = Rewrite(e.bytes);
    EXPECT_TRUE(StoreHolds(v.headers, e));
    ExpectBlockLayout(block, e, v.headers.prefix.size());
    EXPECT_LE(block.size(), 191u);
    // Parsed again, the block yields the same store.
    EXPECT_EQ(Parse(block), 1u);
    EXPECT_TRUE(StoreHolds(v.headers, e));
  }
}

TEST(WalkHeaders, TrailerAfterAnElementEndingOnBit5) {
  // 6 bits used in the last byte: the 1 goes to bit 6, nine zeros follow.
  const Headers h = With(TypicalHeaders(), {{"EXTENDED_MV", 0}});
  const Encoded e = Encode(h);
  SetFrameTiming(0);
  const Bytes block = Rewrite(e.bytes);
  ASSERT_FALSE(block.empty());
  const std::size_t endTrailer = block.size() * 8 - 10;
  EXPECT_EQ(endTrailer % 8, 6u);
  EXPECT_EQ(block.back(), 0x00);
  EXPECT_EQ(block[block.size() - 2] & 0x03, 0x02);
  ExpectBlockLayout(block, e, 0);
}

TEST(SetFrameTiming, CodesAndExponent) {
  struct Row {
    std::uint32_t microseconds, nr, dr, exp;
  } rows[] = {
      {41708, 1, 2, 766},  {41666, 0, 0, 767},  {40000, 2, 1, 799},   {41667, 1, 1, 767},
      {33367, 3, 2, 958},  {13903, 7, 2, 2301}, {100000, 0, 0, 319},  {0, 0, 0, 0},
      {489, 0, 0, 65439},  {488, 0, 0, 37},     {1, 0, 0, 18431},     {64000000, 0, 0, 0},
      {64000001, 0, 0, 0}, {0xFFFFFFFFu, 0, 0, 0},
  };
  for (const Row& r : rows) {
    SetFrameTiming(r.microseconds);
    EXPECT_EQ(g_FrameRateHint.nrIndex, r.nr) << r.microseconds;
    EXPECT_EQ(g_FrameRateHint.drIndex, r.dr) << r.microseconds;
    EXPECT_EQ(g_FrameRateHint.expValue, r.exp) << r.microseconds;
  }
}

TEST(WalkHeaders, InjectsADisplayExtensionWhenTheStreamHasNone) {
  const Headers plain = With(TypicalHeaders(), {{"DISPLAY_EXT", 0}, {"MAX_CODED_WIDTH", 239}, {"MAX_CODED_HEIGHT", 135}});
  const std::map<std::string, std::uint32_t> display = {
      {"DISPLAY_EXT", 1},       {"DISP_HORIZ_SIZE", 479}, {"DISP_VERT_SIZE", 271},
      {"ASPECT_RATIO_FLAG", 0}, {"FRAMERATE_FLAG", 1},    {"COLOR_FORMAT_FLAG", 0}};
  struct Row {
    std::uint32_t microseconds;
    bool inject;
    std::map<std::string, std::uint32_t> frameRate;  // empty: no injection
  } rows[] = {
      {41708, true, {{"FRAMERATEIND", 0}, {"FRAMERATENR", 1}, {"FRAMERATEDR", 2}}},
      {41666, true, {{"FRAMERATEIND", 1}, {"FRAMERATEEXP", 767}}},
      {40000, true, {{"FRAMERATEIND", 0}, {"FRAMERATENR", 2}, {"FRAMERATEDR", 1}}},
      {0, true, {}},
      {41708, false, {}},
  };
  const Encoded in = Encode(plain);
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.microseconds << (r.inject ? " inject" : " no inject"));
    Headers expected = plain;
    if (!r.frameRate.empty()) {
      expected = With(expected, display);
      expected = With(expected, r.frameRate);
    }
    const Encoded ref = Encode(expected);
    SetFrameTiming(r.microseconds);
    const Bytes block = Rewrite(in.bytes, r.inject);
    EXPECT_TRUE(StoreHolds(plain, in)) << "the store describes the input, not the block";
    ExpectBlockLayout(block, ref, 0);
    EXPECT_EQ(Parse(block), 1u);
    EXPECT_TRUE(StoreHolds(expected, ref));
  }
}

TEST(WalkHeaders, ExistingDisplayExtensionIsCopiedNotReplaced) {
  const Headers h = TypicalHeaders();
  const Encoded e = Encode(h);
  SetFrameTiming(41708);
  const Bytes block = Rewrite(e.bytes);
  ExpectBlockLayout(block, e, 0);
}

TEST(WalkHeaders, MissingStartCodes) {
  const Headers h = TypicalHeaders();
  const Encoded e = Encode(h);
  const std::size_t entryCode = AlignUp(32 + e.sequenceBits + 1) / 8;
  SetFrameTiming(0);

  // Only the sequence header: both modes fail, its elements are still stored.
  const Bytes sequenceOnly(e.bytes.begin(), e.bytes.begin() + static_cast<std::ptrdiff_t>(entryCode));
  EXPECT_EQ(Parse(sequenceOnly), 0u);
  EXPECT_EQ(HeaderSyntaxTable[FindFieldIndex(ID_MAX_CODED_WIDTH)].value, 959u);
  EXPECT_EQ(HeaderSyntaxTable[FindFieldIndex(ID_HRD_NUM_LEAKY_BUCKETS)].present, 1u);
  EXPECT_TRUE(Rewrite(sequenceOnly).empty());

  // No sequence start code: decoded from bit 0 all the same, and refused.
  const Bytes headless(e.bytes.begin() + 4, e.bytes.end());
  EXPECT_EQ(Parse(headless), 0u);
  EXPECT_TRUE(StoreHolds(h, e));
  EXPECT_TRUE(Rewrite(headless).empty());
}

TEST(WalkHeaders, SecondWalkResetsTheStore) {
  const Headers full = With(TypicalHeaders(), {{"ASPECT_RATIO", 15}, {"HRD_NUM_LEAKY_BUCKETS", 5}});
  const Headers bare = With(TypicalHeaders(), {{"DISPLAY_EXT", 0}, {"HRD_PARAM_FLAG", 0}, {"EXTENDED_MV", 0},
                                               {"CODED_SIZE_FLAG", 0}, {"RANGE_MAPY_FLAG", 0}, {"RANGE_MAPUV_FLAG", 0}});
  ASSERT_EQ(Parse(Encode(full).bytes), 1u);
  const Encoded e = Encode(bare);
  ASSERT_EQ(Parse(e.bytes), 1u);
  EXPECT_TRUE(StoreHolds(bare, e));
  EXPECT_EQ(HeaderSyntaxTable[FindFieldIndex(ID_DISP_HORIZ_SIZE)].present, 0u);
}

TEST(WalkHeaders, TruncatedInputNeverFailsLoudly) {
  const Encoded e = Encode(With(TypicalHeaders(), {{"HRD_NUM_LEAKY_BUCKETS", 31}}));
  SetFrameTiming(41708);
  EXPECT_EQ(WalkHeaders(nullptr, 0, nullptr, 0, false), 0u);
  EXPECT_EQ(WalkHeaders(nullptr, 0, nullptr, 0, true), 0u);
  // Headers are recognised from the cut that holds the entry-point start code
  // and the two bytes a start code needs behind it; the elements cut off
  // after it read as zeros.
  const Bytes entryCode = {0x00, 0x00, 0x01, 0x0E};
  const auto entryAt = static_cast<std::size_t>(
      std::search(e.bytes.begin(), e.bytes.end(), entryCode.begin(), entryCode.end()) -
      e.bytes.begin());
  ASSERT_LT(entryAt + 6, e.bytes.size());
  for (std::size_t n = 0; n <= e.bytes.size(); ++n) {
    // An exact-size copy, so that a read past its end is caught by the sanitizer.
    const Bytes cut(e.bytes.begin(), e.bytes.begin() + static_cast<std::ptrdiff_t>(n));
    const std::uint32_t parsed = Parse(cut);
    const Bytes block = Rewrite(cut);
    EXPECT_EQ(parsed, n >= entryAt + 6 ? 1u : 0u) << n;
    EXPECT_EQ(block.empty(), parsed == 0) << n;
  }
  EXPECT_EQ(Parse(Bytes(3, 0)), 0u);
}

TEST(WalkHeaders, RewriteStaysInsideSmallOutputs) {
  const Encoded e = Encode(With(TypicalHeaders(), {{"DISPLAY_EXT", 0}}));
  SetFrameTiming(41666);
  const Bytes full = Rewrite(e.bytes);
  ASSERT_FALSE(full.empty());
  constexpr std::size_t kGuard = 64;
  for (std::uint32_t length = 0; length <= full.size() + 2; ++length) {
    Bytes backing(length + kGuard, 0xA5);
    const std::uint32_t n = WalkHeaders(e.bytes.data(), Size(e.bytes), backing.data(), length, true);
    for (std::size_t i = length; i < backing.size(); ++i) ASSERT_EQ(backing[i], 0xA5) << length << "/" << i;
    if (length > full.size()) {
      EXPECT_EQ(n, full.size()) << length;
    }
    if (n != 0) {
      EXPECT_EQ(n, full.size()) << length;
      EXPECT_EQ(Bytes(backing.begin(), backing.begin() + static_cast<std::ptrdiff_t>(n)), full) << length;
    }
  }
}

}  // namespace

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "engine/VC1Parse.h"

using vc1::BitCursor;
using Bytes = std::vector<std::uint8_t>;

namespace {

BitCursor Reader(const Bytes& bytes) {
  BitCursor c;
  c.InitReader(bytes.empty() ? nullptr : bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  return c;
}

TEST(BitCursor, GetBitsFollowsTheBoundsRule) {
  struct Row {
    Bytes bytes;
    std::uint32_t start, width, expected;
  } rows[] = {
      {{0x12, 0x34, 0x56, 0x78, 0x9A}, 0, 32, 0x12345678u},
      {{0x12, 0x34, 0x56, 0x78}, 0, 32, 0},  // ends on the last bit: refused
      {{0xA5, 0xA5, 0xA5, 0xFF}, 24, 8, 0},  // byte 3 exists, yet refused
      {{0xA5, 0xA5, 0xA5, 0xFF}, 24, 7, 0x7F},
      {{0x80, 0x00}, 0, 1, 1},
      {{0x0F, 0xF0, 0x00}, 4, 8, 0xFF},  // straddles a byte boundary
      {{0x5A, 0x5A, 0x5A}, 3, 7, 0x69},  // 1101001 from 01011010 01...
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0, 33, 0},  // wider than 32
      {{0xFF, 0xFF}, 0, 0, 0},
      {{0xFF, 0xFF}, 0xFFFFFFF8u, 16, 0},  // start + width wraps
      {{0xFF, 0xFF}, 0xFFFFFFFFu, 1, 0},   // wraps to exactly 0
      {{0xFF, 0xFF}, 16, 1, 0},            // wholly past the end
      {{}, 0, 1, 0},
  };
  for (const Row& r : rows) {
    const BitCursor c = Reader(r.bytes);
    EXPECT_EQ(c.GetBits(r.start, r.width), r.expected) << "start " << r.start << " width " << r.width;
  }
}

TEST(BitCursor, ReadBitsAdvancesWhetherOrNotItRead) {
  const Bytes bytes = {0xC3, 0x00, 0x00};
  struct Row {
    std::uint32_t width, expected, positionAfter;
  } rows[] = {{0, 0, 0}, {2, 3, 2}, {33, 0, 35}, {7, 0, 42}};
  BitCursor c = Reader(bytes);
  for (const Row& r : rows) {
    EXPECT_EQ(c.ReadBits(r.width), r.expected) << "width " << r.width;
    EXPECT_EQ(c.position, r.positionAfter);
  }
}

TEST(BitCursor, NullBuffersReadZeros) {
  BitCursor c;
  c.InitReader(nullptr, 100);  // a length without a buffer counts as empty
  EXPECT_EQ(c.ReadBits(8), 0u);
  EXPECT_FALSE(c.FindStartCode(vc1::kSequenceStartCode));
  c.InitWriter(nullptr, 100);
  c.WriteBits(8, 0xFF);
  EXPECT_EQ(c.ByteLength(), 1u);
}

TEST(BitCursor, FindStartCodeLimits) {
  const Bytes six = {0x00, 0x00, 0x01, 0x0F, 0x5A, 0x5A};
  Bytes tenAt4(10, 0x77), tenAt5(10, 0x77);
  for (std::size_t i = 0; i < 4; ++i) tenAt4[4 + i] = six[i], tenAt5[5 + i] = six[i];
  const Bytes entry = {0x00, 0x00, 0x01, 0x0F, 0x00, 0x00, 0x01, 0x0E, 0x80, 0x00};
  struct Row {
    const char* what;
    Bytes bytes;
    std::uint32_t code, startPosition;
    bool found;
    std::uint32_t position;
  } rows[] = {
      {"6 bytes", six, 0x10F, 0, true, 32},
      {"5 bytes", Bytes(six.begin(), six.begin() + 5), 0x10F, 0, false, 0},
      {"code at 4 of 10", tenAt4, 0x10F, 0, true, 64},
      {"code at 5 of 10: one byte after it", tenAt5, 0x10F, 0, false, 0},
      {"position 3 still searches byte 0", six, 0x10F, 3, true, 32},
      {"position 8 starts at byte 1", six, 0x10F, 8, false, 8},
      {"entry point behind a sequence code", entry, 0x10E, 0, true, 64},
      {"other code is not matched", six, 0x10E, 0, false, 0},
      {"position past the end", six, 0x10F, 0xFFFFFFF0u, false, 0xFFFFFFF0u},
      {"empty", {}, 0x10F, 0, false, 0},
  };
  for (const Row& r : rows) {
    BitCursor c = Reader(r.bytes);
    c.position = r.startPosition;
    EXPECT_EQ(c.FindStartCode(r.code), r.found) << r.what;
    EXPECT_EQ(c.position, r.position) << r.what;
  }
}

struct WriteStep {
  std::uint32_t width, value;
};

TEST(BitCursor, WriterLayout) {
  struct Row {
    const char* what;
    std::uint32_t length;
    std::vector<WriteStep> steps;
    bool align;
    Bytes expected;
    std::uint32_t byteLength;
  } rows[] = {
      {"trailer: a 1 then eight 0s, aligned", 4, {{9, 0x100}}, true, {0x80, 0x00, 0, 0}, 2},
      {"only the low bits are written", 2, {{3, 0x0F}}, false, {0xE0, 0x00}, 1},
      {"fields straddle bytes", 3, {{4, 0xA}, {8, 0xFF}, {4, 0x5}}, false, {0xAF, 0xF5, 0x00}, 2},
      {"width 32 is written whole", 5, {{32, 0x12345678}}, false, {0x12, 0x34, 0x56, 0x78, 0}, 4},
      {"a field ending on the last bit is dropped", 1, {{8, 0xFF}}, false, {0x00}, 1},
      {"one bit short of the end is written", 1, {{7, 0x7F}}, false, {0xFE}, 1},
      {"wider than 32 writes nothing", 8, {{33, 0xFFFFFFFF}, {1, 1}}, false,
       {0, 0, 0, 0, 0x40, 0, 0, 0}, 5},
      {"position keeps counting past the end", 1, {{16, 0xFFFF}, {4, 0xF}}, true, {0x00}, 3},
  };
  for (const Row& r : rows) {
    Bytes out(r.length, 0xEE);  // set-up must clear it
    BitCursor c;
    c.InitWriter(out.data(), r.length);
    for (const WriteStep& s : r.steps) c.WriteBits(s.width, s.value);
    if (r.align) c.AlignToByte();
    EXPECT_EQ(out, r.expected) << r.what;
    EXPECT_EQ(c.ByteLength(), r.byteLength) << r.what;
  }
}

TEST(BitCursor, PutBitsOrsIntoTheBuffer) {
  Bytes out(3);
  BitCursor c;
  c.InitWriter(out.data(), 3);
  c.PutBits(0, 8, 0xF0);
  c.PutBits(4, 8, 0x0F);  // a 0 bit never clears a 1 already there
  c.PutBits(2, 4, 0x0);
  EXPECT_EQ(out, (Bytes{0xF0, 0xF0, 0x00}));
  EXPECT_EQ(c.position, 0u);
}

TEST(BitCursor, AlignToByte) {
  const std::uint32_t rows[][2] = {{0, 0}, {1, 8}, {7, 8}, {8, 8}, {9, 16}, {0xFFFFFFF8u, 0xFFFFFFF8u}};
  for (const auto& r : rows) {
    BitCursor c;
    c.position = r[0];
    c.AlignToByte();
    EXPECT_EQ(c.position, r[1]) << r[0];
  }
}

TEST(BitCursor, WriterNeverTouchesBytesPastItsLength) {
  for (std::uint32_t length = 0; length <= 6; ++length) {
    Bytes backing(length + 8, 0xA5);
    BitCursor c;
    c.InitWriter(backing.data(), length);
    for (std::uint32_t width = 1; width <= 32; ++width) c.WriteBits(width, 0xFFFFFFFFu);
    c.position = 0;
    for (std::uint32_t start = 0; start < 80; ++start) c.PutBits(start, 32 - start % 32, 0xFFFFFFFFu);
    for (std::uint32_t i = length; i < backing.size(); ++i) EXPECT_EQ(backing[i], 0xA5) << length << "/" << i;
  }
}

}  // namespace

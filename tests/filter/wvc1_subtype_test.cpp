#include "filter/wvc1_subtype.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

TEST(Wvc1Subtype, IsTheFourCcGuid) {
  const GUID expected = {0x31435657, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  EXPECT_EQ(MEDIASUBTYPE_WVC1, expected);
  EXPECT_EQ(std::memcmp(&MEDIASUBTYPE_WVC1.Data1, "WVC1", 4), 0);  // little-endian FOURCC
}

}  // namespace

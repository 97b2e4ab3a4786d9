#include <cstdint>
#include <iterator>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "engine/VC1Parse.h"

using namespace vc1;

namespace {

constexpr std::uint32_t kEndIndex = kHeaderRowCount - 1;

TEST(HeaderTable, FindFieldIndex) {
  struct Row {
    std::int32_t id;
    std::uint32_t index;
  } rows[] = {
      {ID_PROFILE, 0},       {ID_DISPLAY_EXT_TEST, 15}, {ID_HRD_PARAM_FLAG, 31},
      {ID_ENTRY_POINT, 36},  {ID_BROKEN_LINK, 37},      {ID_RANGE_MAPUV, 57},
      {ID_END, kEndIndex},   {1, kEndIndex},            {0, kEndIndex},
      {-7, kEndIndex},       {61, kEndIndex},
  };
  for (const Row& r : rows) EXPECT_EQ(FindFieldIndex(r.id), r.index) << "id " << r.id;
  EXPECT_EQ(HeaderSyntaxTable[FindFieldIndex(1)].value, 0u);
}

TEST(HeaderTable, ShapeAndIds) {
  ASSERT_EQ(std::size(HeaderSyntaxTable), kHeaderRowCount);
  EXPECT_EQ(HeaderSyntaxTable[kEndIndex].id, ID_END);
  std::set<std::int32_t> ids;
  std::int32_t lastElement = 1;
  for (const HeaderField& row : HeaderSyntaxTable) {
    EXPECT_TRUE(ids.insert(row.id).second) << "duplicate id " << row.id;
    if (row.bits != 0) {
      // Elements are numbered 2..54 in bitstream order, with no gaps.
      EXPECT_EQ(row.id, lastElement + 1) << row.name;
      lastElement = row.id;
    }
  }
  EXPECT_EQ(lastElement, ID_RANGE_MAPUV);
  EXPECT_EQ(ids.size(), kHeaderRowCount);
}

TEST(HeaderTable, JumpsAndReferences) {
  for (std::uint32_t i = 0; i < kHeaderRowCount; ++i) {
    const HeaderField& row = HeaderSyntaxTable[i];
    const bool conditionRow = row.bits == 0 && row.condKind != COND_NONE;
    if (row.condKind != COND_NONE) {
      const std::uint32_t target = FindFieldIndex(row.targetId);
      EXPECT_EQ(HeaderSyntaxTable[target].id, row.targetId) << "row " << i << ": target missing";
      EXPECT_GT(target, i) << "row " << i << ": jump goes backwards";
    }
    if (conditionRow) {
      const std::uint32_t ref = FindFieldIndex(row.refId);
      EXPECT_LT(ref, i) << "row " << i << ": tests an element not yet read";
      EXPECT_NE(HeaderSyntaxTable[ref].bits, 0u) << "row " << i;
    } else {
      EXPECT_EQ(row.refId, 1) << "row " << i;
    }
  }
}

TEST(HeaderTable, NamesAreTheReportLabels) {
  std::set<std::string> names;
  for (HeaderField& row : HeaderSyntaxTable) {
    if (row.bits == 0) {
      EXPECT_STREQ(row.name, "") << "pseudo-row " << row.id;
      continue;
    }
    EXPECT_TRUE(names.insert(row.name).second) << "duplicate name " << row.name;
    const HeaderField saved = row;
    row.present = 1;
    StringReportSink present;
    PrintField(present, row);
    row = saved;
    EXPECT_EQ(present.text.rfind(std::string(row.name) + ": ", 0), 0u) << present.text;
  }
  EXPECT_EQ(names.size(), static_cast<std::size_t>(ID_RANGE_MAPUV - ID_PROFILE + 1));
}

TEST(HeaderTable, StoreStartsEmpty) {
  // Nothing in this executable has walked yet.
  for (const HeaderField& row : HeaderSyntaxTable) {
    EXPECT_EQ(row.present, 0u) << row.id;
    EXPECT_EQ(row.value, 0u) << row.id;
  }
}

}  // namespace

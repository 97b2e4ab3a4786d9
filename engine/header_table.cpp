// The header syntax table: constant syntax rows checked at compile time, and a
// mutable copy of them that doubles as the store of the last walk.
#include <iterator>

#include "engine/VC1Parse.h"

namespace vc1 {

namespace {

// Rows whose condition is not used carry refId 1 (an id no row has) and target 0.
constexpr HeaderField kSyntaxRows[] = {
    // id                          name                     bits pr val refId                condKind     cv  targetId
    {ID_PROFILE,                   "PROFILE",                  2, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_LEVEL,                     "LEVEL",                    3, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_COLORDIFF_FORMAT,          "COLORDIFF_FORMAT",         2, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_FRMRTQ_POSTPROC,           "FRMRTQ_POSTPROC",          3, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_BITRTQ_POSTPROC,           "BITRTQ_POSTPROC",          5, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_POSTPROCFLAG,              "POSTPROCFLAG",             1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_MAX_CODED_WIDTH,           "MAX_CODED_WIDTH",         12, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_MAX_CODED_HEIGHT,          "MAX_CODED_HEIGHT",        12, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_PULLDOWN,                  "PULLDOWN",                 1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_INTERLACE,                 "INTERLACE",                1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_TFCNTRFLAG,                "TFCNTRFLAG",               1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_FINTERPFLAG,               "FINTERPFLAG",              1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_RESERVED,                  "RESERVED",                 1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_PSF,                       "PSF",                      1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_DISPLAY_EXT,               "DISPLAY_EXT",              1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_DISPLAY_EXT_TEST,          "",                         0, 0, 0, ID_DISPLAY_EXT,      COND_EQUALS,  1, ID_HRD_PARAM_FLAG},
    {ID_DISP_HORIZ_SIZE,           "DISP_HORIZ_SIZE",         14, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_DISP_VERT_SIZE,            "DISP_VERT_SIZE",          14, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_ASPECT_RATIO_FLAG,         "ASPECT_RATIO_FLAG",        1, 0, 0, 1,                   COND_EQUALS,  1, ID_FRAMERATE_FLAG},
    {ID_ASPECT_RATIO,              "ASPECT_RATIO",             4, 0, 0, 1,                   COND_EQUALS, 15, ID_FRAMERATE_FLAG},
    {ID_ASPECT_HORIZ_SIZE,         "ASPECT_HORIZ_SIZE",        8, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_ASPECT_VERT_SIZE,          "ASPECT_VERT_SIZE",         8, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_FRAMERATE_FLAG,            "FRAMERATE_FLAG",           1, 0, 0, 1,                   COND_EQUALS,  1, ID_COLOR_FORMAT_FLAG},
    {ID_FRAMERATEIND,              "FRAMERATEIND",             1, 0, 0, 1,                   COND_EQUALS,  0, ID_FRAMERATEEXP},
    {ID_FRAMERATENR,               "FRAMERATENR",              8, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_FRAMERATEDR,               "FRAMERATEDR",              4, 0, 0, 1,                   COND_ALWAYS,  0, ID_COLOR_FORMAT_FLAG},
    {ID_FRAMERATEEXP,              "FRAMERATEEXP",            16, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_COLOR_FORMAT_FLAG,         "COLOR_FORMAT_FLAG",        1, 0, 0, 1,                   COND_EQUALS,  1, ID_HRD_PARAM_FLAG},
    {ID_COLOR_PRIM,                "COLOR_PRIM",               8, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_TRANSFER_CHAR,             "TRANSFER_CHAR",            8, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_MATRIX_COEF,               "MATRIX_COEF",              8, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_HRD_PARAM_FLAG,            "HRD_PARAM_FLAG",           1, 0, 0, 1,                   COND_EQUALS,  1, ID_ENTRY_POINT},
    {ID_HRD_NUM_LEAKY_BUCKETS,     "HRD_NUM_LEAKY_BUCKETS",    5, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_BIT_RATE_EXPONENT,         "BIT_RATE_EXPONENT",        4, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_BUFFER_SIZE_EXPONENT,      "BUFFER_SIZE_EXPONENT",     4, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_LEAKY_BUCKETS,             "",                         0, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_ENTRY_POINT,               "",                         0, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_BROKEN_LINK,               "BROKEN_LINK",              1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_CLOSED_ENTRY,              "CLOSED_ENTRY",             1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_PANSCAN_FLAG,              "PANSCAN_FLAG",             1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_REFDIST_FLAG,              "REFDIST_FLAG",             1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_LOOPFILTER,                "LOOPFILTER",               1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_FASTUVMC,                  "FASTUVMC",                 1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_EXTENDED_MV,               "EXTENDED_MV",              1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_DQUANT,                    "DQUANT",                   2, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_VSTRANSFORM,               "VSTRANSFORM",              1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_OVERLAP,                   "OVERLAP",                  1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_QUANTIZER,                 "QUANTIZER",                2, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_HRD_FULL,                  "",                         0, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_CODED_SIZE_FLAG,           "CODED_SIZE_FLAG",          1, 0, 0, 1,                   COND_EQUALS,  1, ID_EXTENDED_DMV_TEST},
    {ID_CODED_WIDTH,               "CODED_WIDTH",             12, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_CODED_HEIGHT,              "CODED_HEIGHT",            12, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_EXTENDED_DMV_TEST,         "",                         0, 0, 0, ID_EXTENDED_MV,      COND_EQUALS,  1, ID_RANGE_MAPY_FLAG},
    {ID_EXTENDED_DMV,              "EXTENDED_DMV",             1, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_RANGE_MAPY_FLAG,           "RANGE_MAPY_FLAG",          1, 0, 0, 1,                   COND_EQUALS,  1, ID_RANGE_MAPUV_FLAG},
    {ID_RANGE_MAPY,                "RANGE_MAPY",               3, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_RANGE_MAPUV_FLAG,          "RANGE_MAPUV_FLAG",         1, 0, 0, 1,                   COND_EQUALS,  1, ID_END},
    {ID_RANGE_MAPUV,               "RANGE_MAPUV",              3, 0, 0, 1,                   COND_NONE,    0, 0},
    {ID_END,                       "",                         0, 0, 0, 1,                   COND_NONE,    0, 0},
};

constexpr std::uint32_t kRowCount = static_cast<std::uint32_t>(std::size(kSyntaxRows));

// Same rule as FindFieldIndex, usable at compile time; kRowCount when absent.
constexpr std::uint32_t IndexOf(std::int32_t id) {
  for (std::uint32_t i = 0; i < kRowCount; ++i)
    if (kSyntaxRows[i].id == id) return i;
  return kRowCount;
}

constexpr bool EndRowIsLastAndOnly() {
  for (std::uint32_t i = 0; i + 1 < kRowCount; ++i)
    if (kSyntaxRows[i].id == ID_END) return false;
  return kSyntaxRows[kRowCount - 1].id == ID_END;
}

constexpr bool IdsUniqueAndAboveOne() {
  for (std::uint32_t i = 0; i < kRowCount; ++i) {
    if (kSyntaxRows[i].id <= 1) return false;
    for (std::uint32_t j = i + 1; j < kRowCount; ++j)
      if (kSyntaxRows[i].id == kSyntaxRows[j].id) return false;
  }
  return true;
}

// The walker relies on this to finish: it only ever moves forward.
constexpr bool JumpsGoForward() {
  for (std::uint32_t i = 0; i < kRowCount; ++i) {
    const HeaderField& r = kSyntaxRows[i];
    if (r.condKind == COND_NONE) continue;
    const std::uint32_t target = IndexOf(r.targetId);
    if (target >= kRowCount || target <= i) return false;
  }
  return true;
}

// Condition rows test an element that the walk has already passed.
constexpr bool ConditionRowsTestEarlierElements() {
  for (std::uint32_t i = 0; i < kRowCount; ++i) {
    const HeaderField& r = kSyntaxRows[i];
    if (r.bits != 0 || r.condKind == COND_NONE) continue;
    const std::uint32_t ref = IndexOf(r.refId);
    if (ref >= i || kSyntaxRows[ref].bits == 0) return false;
  }
  return true;
}

// Elements are 1..16 bits wide and named; pseudo-rows are 0 bits and unnamed.
constexpr bool WidthsMatchKinds() {
  for (std::uint32_t i = 0; i < kRowCount; ++i) {
    const HeaderField& r = kSyntaxRows[i];
    const bool pseudo = r.id >= ID_EXTENDED_DMV_TEST;
    if (pseudo != (r.bits == 0) || pseudo != (r.name[0] == '\0') || r.bits > 16) return false;
  }
  return true;
}

static_assert(kRowCount == kHeaderRowCount, "the header syntax has 59 rows");
static_assert(EndRowIsLastAndOnly(), "the end row terminates the table");
static_assert(IdsUniqueAndAboveOne(), "row ids are unique and never 0 or 1");
static_assert(JumpsGoForward(), "every jump target exists and lies after its row");
static_assert(ConditionRowsTestEarlierElements(), "condition rows test earlier elements");
static_assert(WidthsMatchKinds(), "element rows have 1..16 bits and a name");

struct SyntaxStore {
  HeaderField rows[kHeaderRowCount];
};

constexpr SyntaxStore MakeStore() {
  SyntaxStore store{};
  for (std::uint32_t i = 0; i < kRowCount; ++i) store.rows[i] = kSyntaxRows[i];
  return store;
}

// Constant-initialised, so the table is complete before any other code runs.
SyntaxStore g_store = MakeStore();

}  // namespace

HeaderField (&HeaderSyntaxTable)[kHeaderRowCount] = g_store.rows;

LeakyBucket LeakyBucketTable[kMaxLeakyBuckets];
std::uint8_t HrdFullTable[kMaxLeakyBuckets];

std::uint32_t FindFieldIndex(std::int32_t id) {
  std::uint32_t i = 0;
  while (HeaderSyntaxTable[i].id != ID_END && HeaderSyntaxTable[i].id != id) ++i;
  return i;
}

std::uint32_t StoredValue(std::int32_t id) { return HeaderSyntaxTable[FindFieldIndex(id)].value; }

std::uint32_t StoredLeakyBucketCount() {
  const std::uint32_t count = StoredValue(ID_HRD_NUM_LEAKY_BUCKETS);
  return count < kMaxLeakyBuckets ? count : kMaxLeakyBuckets;
}

std::recursive_mutex& HeaderEngineLock() {
  static std::recursive_mutex lock;
  return lock;
}

}  // namespace vc1

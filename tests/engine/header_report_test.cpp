#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/VC1Parse.h"
#include "header_stream_support.h"
#include "test_data.h"

using namespace vc1;
using namespace enginetest;

namespace {

// Clears the store (a walk over nothing) and sets the given elements.
void SetStore(const std::vector<std::pair<std::int32_t, std::uint32_t>>& values) {
  WalkHeaders(nullptr, 0, nullptr, 0, false);
  for (const auto& [id, value] : values) {
    HeaderField& row = HeaderSyntaxTable[FindFieldIndex(id)];
    row.present = 1;
    row.value = value;
  }
}

std::string Field(std::int32_t id) {
  StringReportSink sink;
  PrintField(sink, HeaderSyntaxTable[FindFieldIndex(id)]);
  return sink.text;
}

std::string Report() {
  StringReportSink sink;
  PrintHeaderReport(sink);
  return sink.text;
}

TEST(PrintField, DerivedValues) {
  struct Row {
    std::int32_t id;
    std::vector<std::pair<std::int32_t, std::uint32_t>> store;
    const char* line;
  } rows[] = {
      {ID_PROFILE, {{ID_PROFILE, 3}}, "PROFILE: 3\n"},
      {ID_LEVEL, {{ID_LEVEL, 0}}, "LEVEL: 0 (AP3@L0)\n"},
      {ID_LEVEL, {{ID_LEVEL, 4}}, "LEVEL: 4 (AP3@L4)\n"},
      {ID_LEVEL, {{ID_LEVEL, 5}}, "LEVEL: 5 (* illegal *)\n"},
      {ID_LEVEL, {{ID_LEVEL, 7}}, "LEVEL: 7 (* illegal *)\n"},
      {ID_COLORDIFF_FORMAT, {{ID_COLORDIFF_FORMAT, 1}}, "COLORDIFF_FORMAT: 1 (=4:2:0)\n"},
      {ID_COLORDIFF_FORMAT, {{ID_COLORDIFF_FORMAT, 0}}, "COLORDIFF_FORMAT: 0 (* illegal *)\n"},
      {ID_COLORDIFF_FORMAT, {{ID_COLORDIFF_FORMAT, 3}}, "COLORDIFF_FORMAT: 3 (* illegal *)\n"},
      {ID_MAX_CODED_WIDTH, {{ID_MAX_CODED_WIDTH, 959}}, "MAX_CODED_WIDTH: 959 (=1920)\n"},
      {ID_MAX_CODED_HEIGHT, {{ID_MAX_CODED_HEIGHT, 539}}, "MAX_CODED_HEIGHT: 539 (=1080)\n"},
      {ID_CODED_WIDTH, {{ID_CODED_WIDTH, 4095}}, "CODED_WIDTH: 4095 (=8192)\n"},
      {ID_CODED_HEIGHT, {{ID_CODED_HEIGHT, 0}}, "CODED_HEIGHT: 0 (=2)\n"},
      {ID_DISP_HORIZ_SIZE, {{ID_DISP_HORIZ_SIZE, 1919}}, "DISP_HORIZ_SIZE: 1919 (=1920)\n"},
      {ID_DISP_VERT_SIZE, {{ID_DISP_VERT_SIZE, 16383}}, "DISP_VERT_SIZE: 16383 (=16384)\n"},
      {ID_ASPECT_RATIO, {{ID_ASPECT_RATIO, 0}}, "ASPECT_RATIO: 0 (PAR=Unspecified)\n"},
      {ID_ASPECT_RATIO, {{ID_ASPECT_RATIO, 13}}, "ASPECT_RATIO: 13 (PAR=160:99)\n"},
      {ID_ASPECT_RATIO, {{ID_ASPECT_RATIO, 14}}, "ASPECT_RATIO: 14 (PAR=SMPTE Reserved (illegal))\n"},
      {ID_ASPECT_RATIO, {{ID_ASPECT_RATIO, 15}}, "ASPECT_RATIO: 15 (PAR=custom, below:)\n"},
      // Exact halves: both runtimes must round them the same way (to even).
      {ID_ASPECT_HORIZ_SIZE, {{ID_ASPECT_HORIZ_SIZE, 0}, {ID_ASPECT_VERT_SIZE, 15}},
       "ASPECT_HORIZ_SIZE: 0 (PAR= 1/16, =0.062)\n"},
      {ID_ASPECT_VERT_SIZE, {{ID_ASPECT_HORIZ_SIZE, 4}, {ID_ASPECT_VERT_SIZE, 15}},
       "ASPECT_VERT_SIZE: 15 (PAR= 5/16, =0.312)\n"},
      {ID_ASPECT_HORIZ_SIZE, {{ID_ASPECT_HORIZ_SIZE, 6}, {ID_ASPECT_VERT_SIZE, 15}},
       "ASPECT_HORIZ_SIZE: 6 (PAR= 7/16, =0.438)\n"},
      {ID_ASPECT_VERT_SIZE, {{ID_ASPECT_HORIZ_SIZE, 134}, {ID_ASPECT_VERT_SIZE, 135}},
       "ASPECT_VERT_SIZE: 135 (PAR= 135/136, =0.993)\n"},
      {ID_ASPECT_HORIZ_SIZE, {{ID_ASPECT_HORIZ_SIZE, 255}, {ID_ASPECT_VERT_SIZE, 0}},
       "ASPECT_HORIZ_SIZE: 255 (PAR= 256/1, =256.000)\n"},
      {ID_FRAMERATENR, {{ID_FRAMERATENR, 1}, {ID_FRAMERATEDR, 2}},
       "FRAMERATENR: 1 (=24000/1001, =23.976 FPS)\n"},
      {ID_FRAMERATEDR, {{ID_FRAMERATENR, 1}, {ID_FRAMERATEDR, 2}},
       "FRAMERATEDR: 2 (=24000/1001, =23.976 FPS)\n"},
      {ID_FRAMERATENR, {{ID_FRAMERATENR, 7}, {ID_FRAMERATEDR, 1}},
       "FRAMERATENR: 7 (=72000/1000, =72.000 FPS)\n"},
      {ID_FRAMERATEDR, {{ID_FRAMERATENR, 3}, {ID_FRAMERATEDR, 2}},
       "FRAMERATEDR: 2 (=30000/1001, =29.970 FPS)\n"},
      {ID_FRAMERATENR, {{ID_FRAMERATENR, 0}, {ID_FRAMERATEDR, 1}}, "FRAMERATENR: 0 (* illegal framerate *)\n"},
      {ID_FRAMERATEDR, {{ID_FRAMERATENR, 8}, {ID_FRAMERATEDR, 1}}, "FRAMERATEDR: 1 (* illegal framerate *)\n"},
      {ID_FRAMERATENR, {{ID_FRAMERATENR, 255}, {ID_FRAMERATEDR, 1}}, "FRAMERATENR: 255 (* illegal framerate *)\n"},
      {ID_FRAMERATENR, {{ID_FRAMERATENR, 2}, {ID_FRAMERATEDR, 0}}, "FRAMERATENR: 2 (* illegal framerate *)\n"},
      {ID_FRAMERATEDR, {{ID_FRAMERATENR, 2}, {ID_FRAMERATEDR, 3}}, "FRAMERATEDR: 3 (* illegal framerate *)\n"},
      {ID_FRAMERATEEXP, {{ID_FRAMERATEEXP, 766}}, "FRAMERATEEXP: 766 (= 23.969 FPS)\n"},
      {ID_FRAMERATEEXP, {{ID_FRAMERATEEXP, 959}}, "FRAMERATEEXP: 959 (= 30.000 FPS)\n"},
      {ID_FRAMERATEEXP, {{ID_FRAMERATEEXP, 0}}, "FRAMERATEEXP: 0 (= 0.031 FPS)\n"},
      {ID_FRAMERATEEXP, {{ID_FRAMERATEEXP, 1}}, "FRAMERATEEXP: 1 (= 0.062 FPS)\n"},
      {ID_FRAMERATEEXP, {{ID_FRAMERATEEXP, 5}}, "FRAMERATEEXP: 5 (= 0.188 FPS)\n"},
      {ID_FRAMERATEEXP, {{ID_FRAMERATEEXP, 65535}}, "FRAMERATEEXP: 65535 (= 2048.000 FPS)\n"},
      {ID_TRANSFER_CHAR, {{ID_TRANSFER_CHAR, 0}}, "TRANSFER_CHAR: 0 (= * illegal *)\n"},
      {ID_TRANSFER_CHAR, {{ID_TRANSFER_CHAR, 1}},
       "TRANSFER_CHAR: 1 (= ITU-R BT.709-5, SMPTE 274M-2005, SMPTE 296M-2001, SMPTE 293M-2003)\n"},
      {ID_TRANSFER_CHAR, {{ID_TRANSFER_CHAR, 7}}, "TRANSFER_CHAR: 7 (= * illegal *)\n"},
      {ID_TRANSFER_CHAR, {{ID_TRANSFER_CHAR, 8}}, "TRANSFER_CHAR: 8 (= ITU-R BT.1361 [Conventional Color Space])\n"},
      {ID_TRANSFER_CHAR, {{ID_TRANSFER_CHAR, 200}}, "TRANSFER_CHAR: 200 (= ITU-R BT.1361 [Conventional Color Space])\n"},
      {ID_TRANSFER_CHAR, {{ID_TRANSFER_CHAR, 255}}, "TRANSFER_CHAR: 255 (= ITU-R BT.1361 [Conventional Color Space])\n"},
      {ID_HRD_NUM_LEAKY_BUCKETS, {{ID_HRD_NUM_LEAKY_BUCKETS, 31}}, "HRD_NUM_LEAKY_BUCKETS: 31\n"},
  };
  for (const Row& r : rows) {
    SetStore(r.store);
    EXPECT_EQ(Field(r.id), r.line);
  }
}

constexpr const char* kSampleReport = R"(
---------  Sequence Level Header ----------- 

PROFILE: 3
LEVEL: 3 (AP3@L3)
COLORDIFF_FORMAT: 1 (=4:2:0)
FRMRTQ_POSTPROC: 7
BITRTQ_POSTPROC: 31
POSTPROCFLAG: 0
MAX_CODED_WIDTH: 959 (=1920)
MAX_CODED_HEIGHT: 539 (=1080)
PULLDOWN: 0
INTERLACE: 0
TFCNTRFLAG: 0
FINTERPFLAG: 1
RESERVED: 0
PSF: 0
DISPLAY_EXT: 1
DISP_HORIZ_SIZE: 1919 (=1920)
DISP_VERT_SIZE: 1079 (=1080)
ASPECT_RATIO_FLAG: 1
ASPECT_RATIO: 1 (PAR=1:1(square))
ASPECT_HORIZ_SIZE: --
ASPECT_VERT_SIZE: --
FRAMERATE_FLAG: 1
FRAMERATEIND: 0
FRAMERATENR: 1 (=24000/1001, =23.976 FPS)
FRAMERATEDR: 2 (=24000/1001, =23.976 FPS)
FRAMERATEEXP: --
COLOR_FORMAT_FLAG: 1
COLOR_PRIM: 1
TRANSFER_CHAR: 1 (= ITU-R BT.709-5, SMPTE 274M-2005, SMPTE 296M-2001, SMPTE 293M-2003)
MATRIX_COEF: 1
HRD_PARAM_FLAG: 1
HRD_NUM_LEAKY_BUCKETS: 2
BIT_RATE_EXPONENT: 3
BUFFER_SIZE_EXPONENT: 4
HRD_RATE[1]: 2000
HRD_BUFFER[1]: 3000
HRD_RATE[2]: 4000
HRD_BUFFER[2]: 5000

---------  Entry Point Level Header ----------- 

BROKEN_LINK: 0
CLOSED_ENTRY: 1
PANSCAN_FLAG: 0
REFDIST_FLAG: 1
LOOPFILTER: 1
FASTUVMC: 1
EXTENDED_MV: 0
DQUANT: 0
VSTRANSFORM: 1
OVERLAP: 1
QUANTIZER: 0
CODED_SIZE_FLAG: 1
CODED_WIDTH: 959 (=1920)
CODED_HEIGHT: 539 (=1080)
EXTENDED_DMV: --
RANGE_MAPY_FLAG: 1
RANGE_MAPY: 4
RANGE_MAPUV_FLAG: 0
RANGE_MAPUV: --
HRD_FULL[1]: 128
HRD_FULL[2]: 200
)";

TEST(PrintHeaderReport, GoldenReportOfTheProjectSample) {
  const std::vector<std::uint8_t> sample = testdata::ReadFile(testdata::SamplesDir() + "/sample.vc1");
  ASSERT_FALSE(sample.empty()) << "samples/sample.vc1 not found (VC1_SAMPLES_DIR)";
  ASSERT_EQ(WalkHeaders(sample.data(), static_cast<std::uint32_t>(sample.size()), nullptr, 0, false), 1u);
  EXPECT_EQ(Report(), kSampleReport);
}

TEST(PrintHeaderReport, AbsentElementsAndEmptyBucketLists) {
  const Headers h = With(TypicalHeaders(), {{"DISPLAY_EXT", 0}, {"HRD_PARAM_FLAG", 0}, {"EXTENDED_MV", 0}});
  const Encoded e = Encode(h);
  ASSERT_EQ(WalkHeaders(e.bytes.data(), static_cast<std::uint32_t>(e.bytes.size()), nullptr, 0, false), 1u);
  const std::string report = Report();
  EXPECT_NE(report.find("DISPLAY_EXT: 0\n"
                        "DISP_HORIZ_SIZE: --\nDISP_VERT_SIZE: --\nASPECT_RATIO_FLAG: --\nASPECT_RATIO: --\n"
                        "ASPECT_HORIZ_SIZE: --\nASPECT_VERT_SIZE: --\nFRAMERATE_FLAG: --\nFRAMERATEIND: --\n"
                        "FRAMERATENR: --\nFRAMERATEDR: --\nFRAMERATEEXP: --\nCOLOR_FORMAT_FLAG: --\n"
                        "COLOR_PRIM: --\nTRANSFER_CHAR: --\nMATRIX_COEF: --\nHRD_PARAM_FLAG: 0\n"
                        "HRD_NUM_LEAKY_BUCKETS: --\nBIT_RATE_EXPONENT: --\nBUFFER_SIZE_EXPONENT: --\n"
                        "\n---------  Entry Point Level Header ----------- \n\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("\nEXTENDED_DMV: --\n"), std::string::npos);
  EXPECT_EQ(report.find("HRD_RATE["), std::string::npos);
  EXPECT_EQ(report.find("HRD_BUFFER["), std::string::npos);
  EXPECT_EQ(report.find("HRD_FULL["), std::string::npos);
  const std::string last = "\nRANGE_MAPUV: 6\n";
  EXPECT_EQ(report.compare(report.size() - last.size(), last.size(), last), 0) << report;
}

TEST(PrintHeaderReport, SinksAgree) {
  const Encoded e = Encode(TypicalHeaders());
  ASSERT_EQ(WalkHeaders(e.bytes.data(), static_cast<std::uint32_t>(e.bytes.size()), nullptr, 0, false), 1u);
  testing::internal::CaptureStdout();
  PrintHeaderReport(DiscardingReportSink());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  testing::internal::CaptureStdout();
  PrintHeaderReport(StdoutReportSink());
  std::string out = testing::internal::GetCapturedStdout();
  out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());  // a Windows console's text mode
  EXPECT_EQ(out, Report());
}

}  // namespace

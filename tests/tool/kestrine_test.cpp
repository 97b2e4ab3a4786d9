#include "tool/kestrine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "asf_file_builder.h"
#include "test_data.h"

namespace {

using asfbuild::Bytes;

const std::string kBanner = "Kestrine v0.02\n\n";
const std::string kUsage =
    "Usage: Kestrine <filename>\n"
    "       where <filename> is a VC-1 Advanced Profile Elementary Stream (.VC1),\n"
    "       - or VC-1 Advanced Profile Content in a Windows Media (.WMV) container.\n.";
const std::string kNotAsf = "Not a valid WVC1 WMV/ASF, will attempt to parse as elementary...\n";
const std::string kWvc1 = "Found \"WVC1\" Video Stream in WMV/ASF, parsing header data...\n";
const std::string kFound = "Found Sequence and Entry Point Headers - information follows:\n";
const std::string kNotFound = "Not a recognized as an Advanced Profile VC-1 ES or WVC1 WMV/ASF vile\n";
const std::string kReportStart = "\n---------  Sequence Level Header ----------- \n\n";

// Windows' text-mode standard output turns each \n into \r\n; compare the
// lines, not the line ends, there.
std::string Comparable(std::string s) {
#ifdef _WIN32
  s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
#endif
  return s;
}

platform::NativeString Native(const std::string& s) {
  return platform::NativeString(s.begin(), s.end());  // test names are ASCII
}

struct Outcome {
  std::string out;
  int status = 0;
};

Outcome RunKestrine(const std::vector<platform::NativeString>& args) {
  std::vector<const platform::NativeChar*> argv;
  static const platform::NativeString program = Native("kestrine");
  argv.push_back(program.c_str());
  for (const auto& a : args) argv.push_back(a.c_str());
  testing::internal::CaptureStdout();
  Outcome o;
  o.status = kestrine::Run(static_cast<int>(argv.size()), argv.data());
  std::fflush(stdout);
  o.out = Comparable(testing::internal::GetCapturedStdout());
  return o;
}

Outcome RunOn(const std::string& path) { return RunKestrine({Native(path)}); }

std::string WriteScratch(const std::string& name, const Bytes& bytes) {
  std::string path = testdata::ScratchDir() + "/" + name;
  EXPECT_TRUE(testdata::WriteFile(path, bytes));
  return path;
}

Bytes Cat(const Bytes& a, const Bytes& b) { return asfbuild::Concat({a, b}); }

// A sequence header with display extension and HRD, then an entry point;
// decodes to 512x288 at 25 fps.
const Bytes kHeaders = asfbuild::BareCodecData();
const Bytes kSequenceOnly(kHeaders.begin(), kHeaders.begin() + 22);
const Bytes kGarbageCodec(40, 0x11);

Bytes AsfWith(const Bytes& codec, const char* fourcc, const Bytes& after) {
  return Cat(asfbuild::HeaderObject({asfbuild::VideoStreamProperties({codec, fourcc, 2})}), after);
}

// ------------------------------------------------------------------ every path

TEST(Kestrine, MessagesAndExitStatusOnEveryPath) {
  const std::string dir = testdata::ScratchDir();
  const std::string missing = dir + "/no such file.vc1";
  const Bytes headersAt70000 = Cat(Bytes(70000, 0xFF), kHeaders);
  const Bytes headersEndingAt64K = Cat(Bytes(65536 - kHeaders.size(), 0xFF), kHeaders);
  const Bytes noVideoThenStream =
      Cat(asfbuild::HeaderObject({asfbuild::AudioStreamProperties(1)}), kHeaders);

  struct Case {
    const char* name;
    std::vector<platform::NativeString> args;
    std::string expected;  // a trailing report is matched by its first line only
    int status;
  } cases[] = {
      {"no file name", {}, kBanner + kUsage, -1},
      {"missing file", {Native(missing)}, kBanner + "Unable to open input file " + missing + "\r\n", 0},
      {"only the first argument counts",
       {Native(missing), Native(WriteScratch("good.vc1", kHeaders))},
       kBanner + "Unable to open input file " + missing + "\r\n", 0},
      {"directory", {Native(dir)}, kBanner + "Unable to open input file " + dir + "\r\n", 0},
      {"empty file", {Native(WriteScratch("empty.vc1", {}))}, kBanner + kNotAsf + kNotFound, 0},
      {"five bytes", {Native(WriteScratch("five.vc1", {0, 0, 1, 0x0F, 0}))}, kBanner + kNotAsf + kNotFound, 0},
      {"elementary stream", {Native(WriteScratch("es.vc1", kHeaders))}, kBanner + kNotAsf + kFound + kReportStart, 0},
      {"headers ending at 64 KiB", {Native(WriteScratch("edge.vc1", headersEndingAt64K))},
       kBanner + kNotAsf + kFound + kReportStart, 0},
      {"headers at byte 70000", {Native(WriteScratch("late.vc1", headersAt70000))}, kBanner + kNotAsf + kNotFound, 0},
      {"sequence without entry point", {Native(WriteScratch("seq.vc1", kSequenceOnly))},
       kBanner + kNotAsf + kNotFound, 0},
      {"ASF with WVC1 codec data",
       {Native(WriteScratch("good.wmv", AsfWith(asfbuild::LeadingByteCodecData(), "WVC1", {})))},
       kBanner + kWvc1 + kFound + kReportStart, 0},
      // The stream after the header would be found if the file were retried.
      {"ASF codec data without start codes is not retried",
       {Native(WriteScratch("nostart.wmv", AsfWith(kGarbageCodec, "WVC1", kHeaders)))},
       kBanner + kWvc1 + kNotFound, 0},
      {"ASF codec data with a sequence but no entry point",
       {Native(WriteScratch("noentry.wmv", AsfWith(kSequenceOnly, "WVC1", kHeaders)))},
       kBanner + kWvc1 + kNotFound, 0},
      {"ASF of another codec",
       {Native(WriteScratch("wmv3.wmv", AsfWith(kHeaders, "WMV3", {})))},
       kBanner + "Warning: WMV/ASF Video Stream Type = WMV3, not \"WVC1\"\n" + kFound + kReportStart, 0},
      {"ASF without video is retried from byte 0",
       {Native(WriteScratch("audio.wma", noVideoThenStream))}, kBanner + kNotAsf + kFound + kReportStart, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = RunKestrine(c.args);
    EXPECT_EQ(o.status, c.status);
    EXPECT_EQ(o.out.substr(0, c.expected.size()), Comparable(c.expected));
    const bool report = c.expected.size() >= kReportStart.size() &&
                        c.expected.compare(c.expected.size() - kReportStart.size(), kReportStart.size(),
                                           kReportStart) == 0;
    if (!report) {
      EXPECT_EQ(o.out, Comparable(c.expected));
    }
  }
}

TEST(Kestrine, ReportOfTheAsfPathIsTheElementaryStreamsReport) {
  // The leading byte of ASF codec data is skipped by the start-code search:
  // same headers, same report, whichever way they arrive.
  Outcome es = RunOn(WriteScratch("es.vc1", kHeaders));
  Outcome asf = RunOn(WriteScratch("es.wmv", AsfWith(asfbuild::LeadingByteCodecData(), "WVC1", {})));
  const std::size_t esReport = es.out.find(kFound);
  const std::size_t asfReport = asf.out.find(kFound);
  ASSERT_NE(esReport, std::string::npos);
  ASSERT_NE(asfReport, std::string::npos);
  EXPECT_EQ(es.out.substr(esReport), asf.out.substr(asfReport));
  EXPECT_NE(es.out.find("MAX_CODED_WIDTH: 255 (=512)\n"), std::string::npos);
  EXPECT_NE(es.out.find("HRD_FULL[1]: 255\n"), std::string::npos);
}

#ifdef _WIN32
TEST(Kestrine, OpensAndPrintsAWideName) {
  const std::string dir = testdata::ScratchDir();
  const std::wstring wideDir(dir.begin(), dir.end());
  const std::wstring name = wideDir + L"/\x00e9t\x00e9.vc1";  // "été.vc1"
  {
    std::ofstream out(name.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(kHeaders.data()), static_cast<std::streamsize>(kHeaders.size()));
  }
  Outcome o = RunKestrine({name});
  EXPECT_NE(o.out.find(kFound), std::string::npos) << o.out;
  Outcome missing = RunKestrine({wideDir + L"/\x00e9\x00e9.vc1"});
  EXPECT_EQ(missing.out.rfind(kBanner + "Unable to open input file " + dir + "/", 0), 0u) << missing.out;
}
#endif

// ------------------------------------------------------------------ hostile ASF headers

TEST(Kestrine, HostileAsfHeadersFallBackOrReport) {
  const Bytes good = AsfWith(asfbuild::LeadingByteCodecData(), "WVC1", {});
  auto patched = [&](std::size_t offset, std::uint64_t value, int bytes) {
    Bytes b = good;
    asfbuild::PatchLe(b, offset, value, bytes);
    return b;
  };
  auto sized = [&](std::uint64_t size) { return patched(16, size, 8); };
  auto counted = [&](std::uint32_t count) { return patched(asfbuild::kHeaderCountOffset, count, 4); };
  auto objectSized = [&](std::uint64_t size) { return patched(asfbuild::kHeaderFixedSize + 16, size, 8); };
  auto lengthOf = [&](std::uint32_t length) {
    return patched(asfbuild::kHeaderFixedSize + asfbuild::kTypeSpecificLengthOffset, length, 4);
  };
  // A refused header sends the whole file to the elementary-stream search,
  // which then finds the codec data's start codes among the header bytes.
  const std::string retried = kBanner + kNotAsf + kFound + kReportStart;
  const std::string refused = kBanner + kWvc1 + kNotAsf + kFound + kReportStart;
  struct Case {
    const char* name;
    Bytes file;
    std::string expected;
  } cases[] = {
      {"truncated inside the fixed part", Bytes(good.begin(), good.begin() + 20), kBanner + kNotAsf + kNotFound},
      {"truncated inside the body", Bytes(good.begin(), good.end() - 1), retried},
      {"header size 0", sized(0), retried},
      {"header size 0xFFFFFFFF", sized(0xFFFFFFFF), retried},
      {"header size 2^64-1", sized(~0ULL), retried},
      {"object count 0", counted(0), retried},
      {"object count 2^32-1", counted(0xFFFFFFFF), kBanner + kWvc1 + kFound + kReportStart},
      {"object size 0", objectSized(0), retried},
      {"object size 1", objectSized(1), retried},
      {"object size past the body", objectSized(good.size()), retried},
      {"object size wraps", objectSized(0xFFFFFFFF), retried},
      {"codec length 0", lengthOf(0), refused},
      {"codec length past the object", lengthOf(0x7FFFFFFF), refused},
      {"codec length above 64 KiB", lengthOf(51 + 65537), refused},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = RunOn(WriteScratch("hostile.wmv", c.file));
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.substr(0, c.expected.size()), c.expected);
  }
}

// ------------------------------------------------------------------ real files against the oracle

// NAME: value pairs of a report (value = the first word after the colon).
std::map<std::string, std::string> Elements(const std::string& text, bool oracle) {
  std::map<std::string, std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t colon = line.find(": ");
    if (colon == std::string::npos || line.find(' ') < colon) continue;
    const std::string name = line.substr(0, colon);
    std::string value = line.substr(colon + 2);
    if (oracle) {
      // Container offsets and derived figures are the oracle's own, not elements.
      if (name.rfind("SEQUENCE_HEADER_", 0) == 0 || name.rfind("DERIVED_", 0) == 0 ||
          name.rfind("ENTRY_POINT_", 0) == 0 || value.find("UNRELIABLE") != std::string::npos)
        continue;
    }
    value = value.substr(0, value.find(' '));
    if (value == "--") continue;  // absent from the stream
    out[name] = value;
  }
  return out;
}

TEST(Kestrine, EveryElementMatchesTheOracleOnRealFiles) {
  VC1_REQUIRE_TESTDATA();
  std::vector<std::string> files = testdata::List("wmv", ".wmv");
  for (const auto& f : testdata::List("es", ".vc1")) files.push_back(f);
  ASSERT_EQ(files.size(), 6u);
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const std::string base = file.substr(file.rfind('/') + 1);
    const auto expected = Elements(testdata::ReadText(testdata::Path("expected/" + base + ".gst-oracle.txt")), true);
    ASSERT_GT(expected.size(), 30u);
    Outcome o = RunOn(file);
    EXPECT_EQ(o.status, 0);
    ASSERT_NE(o.out.find(kFound), std::string::npos) << o.out;
    const auto printed = Elements(o.out, false);
    for (const auto& [name, value] : expected) {
      auto it = printed.find(name);
      if (it == printed.end()) {
        ADD_FAILURE() << name << " not printed";
      } else {
        EXPECT_EQ(it->second, value) << name;
      }
    }
    // And nothing printed that the oracle decodes differently or not at all,
    // except the reserved bit, which it does not name.
    for (const auto& [name, value] : printed) {
      if (name == "RESERVED") continue;
      EXPECT_EQ(expected.count(name), 1u) << name << " printed but not in the oracle";
    }
  }
}

}  // namespace

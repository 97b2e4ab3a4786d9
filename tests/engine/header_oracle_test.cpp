// The walker against an independent decoder's reading of the shared sample
// files (expected/<file>.gst-oracle.txt: "NAME: value ..." lines).
#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/VC1Parse.h"
#include "header_stream_support.h"
#include "test_data.h"

using namespace vc1;

namespace {

constexpr std::size_t kProbeBytes = 65536;  // what the console tool reads of a file

std::vector<std::string> SampleFiles() {
  std::vector<std::string> files = testdata::List("wmv", ".wmv");
  for (const std::string& f : testdata::List("es", ".vc1")) files.push_back(f);
  return files;
}

std::vector<std::uint8_t> Head(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(kProbeBytes);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// NAME -> value, for the oracle's lines that carry a usable value.
std::map<std::string, std::uint32_t> ReadOracle(const std::string& path) {
  std::map<std::string, std::uint32_t> out;
  std::istringstream text(testdata::ReadText(path));
  std::string line;
  while (std::getline(text, line)) {
    const std::size_t colon = line.find(": ");
    if (colon == std::string::npos || line.find("UNRELIABLE") != std::string::npos) continue;
    std::istringstream value(line.substr(colon + 2));
    std::uint32_t v = 0;
    if (value >> v) out[line.substr(0, colon)] = v;
  }
  return out;
}

// The same names for our store: every present element, and the bucket lists.
std::map<std::string, std::uint32_t> OurElements() {
  std::map<std::string, std::uint32_t> out;
  for (const HeaderField& row : HeaderSyntaxTable)
    if (row.bits != 0 && row.present) out[row.name] = row.value;
  const std::uint32_t count = HeaderSyntaxTable[FindFieldIndex(ID_HRD_NUM_LEAKY_BUCKETS)].value;
  for (std::uint32_t n = 1; n <= count; ++n) {
    const std::string index = "[" + std::to_string(n) + "]";
    out["HRD_RATE" + index] = LeakyBucketTable[n - 1].HRD_RATE;
    out["HRD_BUFFER" + index] = LeakyBucketTable[n - 1].HRD_BUFFER;
    out["HRD_FULL" + index] = HrdFullTable[n - 1];
  }
  return out;
}

bool IsComparedName(const std::string& name) {
  for (const HeaderField& row : HeaderSyntaxTable)
    if (row.bits != 0 && name == row.name) return true;
  return name.rfind("HRD_RATE[", 0) == 0 || name.rfind("HRD_BUFFER[", 0) == 0 ||
         name.rfind("HRD_FULL[", 0) == 0;
}

TEST(HeaderOracle, EveryElementOfEverySampleFile) {
  VC1_REQUIRE_TESTDATA();
  const std::vector<std::string> files = SampleFiles();
  ASSERT_FALSE(files.empty());
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const std::string oraclePath = testdata::Path("expected/" + BaseName(file) + ".gst-oracle.txt");
    const std::map<std::string, std::uint32_t> oracle = ReadOracle(oraclePath);
    ASSERT_FALSE(oracle.empty()) << oraclePath;
    const std::vector<std::uint8_t> head = Head(file);
    ASSERT_EQ(WalkHeaders(head.data(), static_cast<std::uint32_t>(head.size()), nullptr, 0, false), 1u);

    std::map<std::string, std::uint32_t> ours = OurElements();
    ours.erase("RESERVED");  // the oracle does not keep it
    std::map<std::string, std::uint32_t> theirs;
    for (const auto& [name, value] : oracle)
      if (IsComparedName(name)) theirs[name] = value;
    EXPECT_EQ(ours, theirs);
  }
}

TEST(HeaderOracle, RewrittenBlocksParseToTheSameStore) {
  VC1_REQUIRE_TESTDATA();
  SetFrameTiming(41708);  // every sample carries its own display extension: nothing to inject
  for (const std::string& file : SampleFiles()) {
    SCOPED_TRACE(file);
    const std::vector<std::uint8_t> head = Head(file);
    std::vector<std::uint8_t> block(1024);
    ASSERT_EQ(WalkHeaders(head.data(), static_cast<std::uint32_t>(head.size()), nullptr, 0, false), 1u);
    const enginetest::StoreSnapshot parsed = enginetest::TakeStore();
    const std::uint32_t n =
        WalkHeaders(head.data(), static_cast<std::uint32_t>(head.size()), block.data(), 1024, true);
    ASSERT_GT(n, 8u);
    EXPECT_EQ(enginetest::TakeStore(), parsed);
    ASSERT_EQ(WalkHeaders(block.data(), n, nullptr, 0, false), 1u);
    EXPECT_EQ(enginetest::TakeStore(), parsed) << enginetest::Describe(enginetest::TakeStore());
  }
}

}  // namespace

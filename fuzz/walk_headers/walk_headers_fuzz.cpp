// Fuzz target for the header walker. Input layout: 4 bytes time per frame
// (little-endian microseconds), 1 byte output length (255 = the filter's 1,024
// bytes), 1 byte flags (bit 0: inject), then the stream. Checks, beyond the
// sanitizers: the rewrite never touches a byte past the output length it is
// given, rewriting decodes exactly what parsing does, and a block parses back
// to the same store (plus the display extension when one was injected).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/VC1Parse.h"

namespace {

constexpr std::size_t kGuardBytes = 64;
constexpr std::uint8_t kGuard = 0xA5;
constexpr std::uint32_t kMaxBlock = 191;

struct Snapshot {
  std::uint32_t present[vc1::kHeaderRowCount];
  std::uint32_t value[vc1::kHeaderRowCount];
  vc1::LeakyBucket buckets[vc1::kMaxLeakyBuckets];
  std::uint8_t full[vc1::kMaxLeakyBuckets];
};

Snapshot Take() {
  Snapshot s{};
  for (std::uint32_t i = 0; i < vc1::kHeaderRowCount; ++i) {
    s.present[i] = vc1::HeaderSyntaxTable[i].present;
    s.value[i] = vc1::HeaderSyntaxTable[i].value;
  }
  const std::uint32_t count = vc1::HeaderSyntaxTable[vc1::FindFieldIndex(vc1::ID_HRD_NUM_LEAKY_BUCKETS)].value;
  for (std::uint32_t n = 0; n < count && n < vc1::kMaxLeakyBuckets; ++n) {
    s.buckets[n] = vc1::LeakyBucketTable[n];
    s.full[n] = vc1::HrdFullTable[n];
  }
  return s;
}

bool Same(const Snapshot& a, const Snapshot& b, bool skipDisplayExtension) {
  for (std::uint32_t i = 0; i < vc1::kHeaderRowCount; ++i) {
    const std::int32_t id = vc1::HeaderSyntaxTable[i].id;
    if (skipDisplayExtension && id >= vc1::ID_DISPLAY_EXT && id <= vc1::ID_MATRIX_COEF) continue;
    if (a.present[i] != b.present[i] || a.value[i] != b.value[i]) return false;
  }
  for (std::uint32_t n = 0; n < vc1::kMaxLeakyBuckets; ++n)
    if (a.buckets[n].HRD_RATE != b.buckets[n].HRD_RATE ||
        a.buckets[n].HRD_BUFFER != b.buckets[n].HRD_BUFFER || a.full[n] != b.full[n])
      return false;
  return true;
}

std::uint32_t Stored(std::int32_t id) { return vc1::HeaderSyntaxTable[vc1::FindFieldIndex(id)].value; }

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "walk_headers: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint32_t microseconds = 0;
  std::uint32_t outputLength = 1024;
  bool inject = true;
  if (size >= 6) {
    microseconds = static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
                   static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    outputLength = data[4] == 255 ? 1024u : data[4];
    inject = (data[5] & 1) != 0;
    data += 6;
    size -= 6;
  }
  if (size > 65536) size = 65536;
  const std::uint32_t length = static_cast<std::uint32_t>(size);
  if (length == 0) data = nullptr;

  vc1::SetFrameTiming(microseconds);
  const std::uint32_t parsed = vc1::WalkHeaders(data, length, nullptr, 0, false);
  const Snapshot afterParse = Take();
  if (parsed == 1) {
    vc1::StringReportSink sink;
    vc1::PrintHeaderReport(sink);
    if (sink.text.empty()) Fail("empty report");
  }

  std::vector<std::uint8_t> out(outputLength + kGuardBytes, kGuard);
  const std::uint32_t written = vc1::WalkHeaders(data, length, out.data(), outputLength, inject);
  for (std::size_t i = outputLength; i < out.size(); ++i)
    if (out[i] != kGuard) Fail("rewrite wrote past the output length");
  if (!Same(afterParse, Take(), false)) Fail("rewrite decoded differently from parse");
  if (written == 0) return 0;
  if (parsed != 1) Fail("rewrite succeeded where parse failed");
  if (written > outputLength || written > kMaxBlock) Fail("block longer than its buffer or 191 bytes");

  const vc1::FrameRateHint hint = vc1::g_FrameRateHint;
  const bool injected = inject && Stored(vc1::ID_DISPLAY_EXT) == 0 && (hint.nrIndex != 0 || hint.expValue != 0);
  const std::uint32_t width = Stored(vc1::ID_MAX_CODED_WIDTH), height = Stored(vc1::ID_MAX_CODED_HEIGHT);
  std::vector<std::uint8_t> block(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(written));
  if (vc1::WalkHeaders(block.data(), written, nullptr, 0, false) != 1) Fail("block does not parse");
  if (!Same(afterParse, Take(), injected)) Fail("block parses to a different store");
  if (injected && (Stored(vc1::ID_DISPLAY_EXT) != 1 || Stored(vc1::ID_DISP_HORIZ_SIZE) != 2 * width + 1 ||
                   Stored(vc1::ID_DISP_VERT_SIZE) != 2 * height + 1 || Stored(vc1::ID_FRAMERATE_FLAG) != 1))
    Fail("injected display extension parses wrongly");
  return 0;
}

// Both variants of the ASF header probe over arbitrary bytes. Besides the
// sanitizers' checks, the two must agree: they copy the same codec data, each
// within its own capacity, when it fits both.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "asf/asf_header_probe.h"
#include "platform/file.h"

namespace {
constexpr std::uint32_t kWriterCapacity = 1024;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::vector<std::uint8_t> inspect(asf::kKestrineCodecDataSize);
  static std::vector<std::uint8_t> write(kWriterCapacity);

  platform::MemoryReader first(data, size);
  const std::uint32_t n = asf::AsfHeaderProbe(first).FindVideoCodecData(inspect.data());

  platform::MemoryReader second(data, size);
  std::uint32_t microseconds = 0xFFFFFFFF;
  const std::uint32_t m =
      asf::AsfHeaderProbe(second).FindVideoCodecData(write.data(), kWriterCapacity, &microseconds);

  if (n > asf::kKestrineCodecDataSize || m > kWriterCapacity) std::abort();
  if (first.Offset() != second.Offset()) std::abort();  // same reads, whichever variant
  // Codec data that fits both is the same copy; data too big for the writer
  // lets it go on to a later video stream, which the inspection tool never sees.
  if (n == 0 && m != 0) std::abort();
  if (n != 0 && n <= kWriterCapacity && (m != n || std::memcmp(inspect.data(), write.data(), n) != 0))
    std::abort();
  if (m == 0 && microseconds != 0) std::abort();
  return 0;
}

#include "tool/kestrine.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "asf/asf_header_probe.h"
#include "engine/VC1Parse.h"
#include "platform/text.h"

namespace kestrine {

namespace {

constexpr std::uint32_t kBufferSize = asf::kKestrineCodecDataSize;

// The number of header bytes placed at the start of `buffer`.
std::uint32_t LoadHeaderBytes(platform::File& file, std::uint8_t* buffer) {
  std::uint32_t n = asf::AsfHeaderProbe(file).FindVideoCodecData(buffer);
  if (n != 0) return n;
  std::fputs("Not a valid WVC1 WMV/ASF, will attempt to parse as elementary...\n", stdout);
  // A failed rewind or read leaves nothing to parse; neither is reported.
  file.Rewind();
  if (!file.Read(buffer, kBufferSize, &n)) n = 0;
  return n;
}

}  // namespace

int Run(int argc, const platform::NativeChar* const* argv) {
  std::fputs("Kestrine v0.02\n\n", stdout);
  if (argc <= 1) {
    std::fputs(
        "Usage: Kestrine <filename>\n"
        "       where <filename> is a VC-1 Advanced Profile Elementary Stream (.VC1),\n"
        "       - or VC-1 Advanced Profile Content in a Windows Media (.WMV) container.\n.",
        stdout);
    return -1;
  }

  platform::File file = platform::File::OpenExclusiveRead(argv[1]);
  if (!file.IsOpen()) {
    std::printf("Unable to open input file %s\r\n", platform::PrintableName(argv[1], "").c_str());
    return 0;
  }

  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kBufferSize]);
  if (!buffer) {
    std::fputs("Out of memory\n", stdout);
    return 0;
  }

  const std::uint32_t n = LoadHeaderBytes(file, buffer.get());
  if (vc1::WalkHeaders(buffer.get(), n, nullptr, 0, false) != 0) {
    std::fputs("Found Sequence and Entry Point Headers - information follows:\n", stdout);
    vc1::PrintHeaderReport(vc1::StdoutReportSink());
  } else {
    std::fputs("Not a recognized as an Advanced Profile VC-1 ES or WVC1 WMV/ASF vile\n", stdout);
  }
  return 0;
}

}  // namespace kestrine

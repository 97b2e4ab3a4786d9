#pragma once
// Shared by the writer-core tests: hand-made ASF files around hand-made VC-1
// headers, and small file helpers.

#include <cstdint>
#include <string>
#include <vector>

namespace writertest {

using Bytes = std::vector<std::uint8_t>;

struct SequenceOptions {
  bool interlace = false;
  std::uint32_t codedWidth = 320;   // pixels, even
  std::uint32_t codedHeight = 240;  // pixels, even
};
// An Advanced Profile sequence header and entry-point header, each behind its
// start code, with no display extension and no HRD parameters.
Bytes SequenceAndEntryPoint(const SequenceOptions& options);

struct AsfOptions {
  bool video = true;             // false: an audio stream only
  Bytes codecData;               // the video stream's codec-specific data
  std::uint64_t timePerFrame100ns = 0;  // 0: no Extended Stream Properties
};
Bytes AsfFile(const AsfOptions& options);

bool WriteFile(const std::string& path, const Bytes& bytes);
std::wstring Wide(const std::string& s);
Bytes Join(const std::vector<Bytes>& parts);

}  // namespace writertest

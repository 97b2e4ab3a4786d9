#pragma once
// ASF header probe: finds the video stream's codec-private data (where a WVC1
// stream keeps its sequence and entry-point headers) in an ASF Header Object,
// and for the writer also the video stream's average time per frame.
//
// Reads from the reader's current position (the file's start) and moves it
// on; never seeks; never reads outside the bytes it has read.

#include <cstdint>

#include "platform/file.h"

namespace asf {

inline constexpr std::uint32_t ASF_HEADER_READ_LIMIT = 102400;
inline constexpr std::uint32_t kKestrineCodecDataSize = 65536;

class AsfHeaderProbe {
 public:
  explicit AsfHeaderProbe(platform::ByteReader& file) : file_(file) {}

  // Inspection tool's variant: copies the whole codec-specific data into
  // `destination` (which must hold kKestrineCodecDataSize bytes) and prints
  // its one stream-type line on standard output. Returns the byte count, 0
  // when nothing usable was found.
  std::uint32_t FindVideoCodecData(std::uint8_t* destination);

  // Writer's variant: copies the whole codec-specific data when it fits in
  // `capacity` (0 when it does not: never a truncated copy) and reports the
  // video stream's own average time per frame in microseconds, taken from the
  // Extended Stream Properties Object carrying that stream's number wherever
  // it stands in the header (0 when the file gives none). Prints nothing.
  std::uint32_t FindVideoCodecData(std::uint8_t* destination, std::uint32_t capacity,
                                   std::uint32_t* microsecondsPerFrame);

 private:
  platform::ByteReader& file_;
};

}  // namespace asf

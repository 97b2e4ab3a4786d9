// Whole files through the data reader: header, Data Object and packets, every
// stream in turn. Frames are read to the last byte so that the sanitizers see
// any hand-out that reaches outside the bytes read.
#include <cstddef>
#include <cstdint>

#include "asf/asf_data_reader.h"
#include "platform/file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::MemoryReader probe(data, size);
  asf::AsfDataReader header(probe);
  if (!header.Open()) return 0;
  std::uint32_t sum = 0;
  for (const asf::AsfStreamInfo& stream : header.Info().streams) {
    platform::MemoryReader in(data, size);
    asf::AsfDataReader reader(in);
    if (!reader.Open() || !reader.SelectStream(stream.number)) __builtin_trap();
    asf::AsfFrame frame;
    while (reader.Next(&frame) == asf::AsfDataReader::Status::kFrame) {
      if (frame.size == 0 || frame.size > asf::kMaxFrameSize) __builtin_trap();
      for (std::uint32_t i = 0; i < frame.size; ++i) sum += frame.data[i];
    }
    if (reader.Next(&frame) == asf::AsfDataReader::Status::kFrame) __builtin_trap();
  }
  return static_cast<int>(sum & 1);
}

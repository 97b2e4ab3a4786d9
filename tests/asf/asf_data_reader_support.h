#pragma once
// Helpers for the data reader's tests (and dravik-extract's): a small ASF
// file builder for hand-made packets, MD5 for comparing with FFmpeg's
// framemd5, and running an oracle program.

#include <cstdint>
#include <string>
#include <vector>

#include "asf/asf_data_reader.h"

namespace asftest {

using Bytes = std::vector<std::uint8_t>;

std::string Md5Hex(const std::uint8_t* data, std::size_t size);

// Output of a shell command, and whether it ran and exited with 0.
bool RunCommand(const std::string& command, std::string* output);
// True when `ffmpeg` and `ffprobe` answer on this machine (never on Windows).
bool HaveFfmpeg();
std::string ShellQuote(const std::string& s);

// Number of the first WVC1 video stream, 0 when there is none.
std::uint8_t FirstWvc1Stream(const asf::AsfFileInfo& info);

struct Payload {
  std::uint8_t stream = 1;
  bool key = false;
  std::uint32_t object = 0;
  std::uint32_t offset = 0;  // offset into media object, or presentation time when compressed
  Bytes replicated;          // raw replicated data
  Bytes data;
};

// Media object size and presentation time, the usual replicated data.
Bytes Replicated(std::uint32_t objectSize, std::uint32_t time);
// Sub-payloads of a compressed payload: each a length byte, then its bytes.
Bytes SubPayloads(const std::vector<Bytes>& parts);

struct Packet {
  bool errorCorrection = true;    // 0x82 and two bytes, as writers do
  unsigned packetLengthType = 0;  // 0 none, 1 byte, 2 word, 3 dword
  unsigned sequenceType = 0;
  unsigned paddingLengthType = 2;
  unsigned objectType = 1;
  unsigned offsetType = 3;
  unsigned replicatedType = 1;
  unsigned streamType = 1;        // must be 1
  bool multiple = false;
  unsigned payloadLengthType = 2;
  std::vector<Payload> payloads;
  // Overrides for malformed packets; -1 = computed.
  std::int64_t packetLength = -1;
  std::int64_t padding = -1;
  std::int64_t payloadCount = -1;
  std::vector<std::int64_t> payloadLengths;  // per payload, -1 = its data size
};

class Builder {
 public:
  explicit Builder(std::uint32_t packetSize) : packetSize_(packetSize) {}
  void AddStream(std::uint8_t number, bool video, const char* fourcc = "WVC1",
                 std::uint32_t maxObjectSize = 0, std::uint64_t timePerFrame = 0);
  // Replaces a video stream's codec data (by default a 320x240 sequence
  // header without display extension and an entry-point header).
  void SetCodecData(std::uint8_t number, const Bytes& codecData);
  // Declares the stream inside its Extended Stream Properties Object only.
  void EmbedInExtension(std::uint8_t number);
  // One packet of exactly the packet size (raw bytes are padded with zeros).
  void AddPacket(const Packet& packet);
  void AddRawPacket(const Bytes& bytes);
  // A frame in single-payload packets, split into pieces of at most `piece`
  // bytes.
  void AddFrame(std::uint8_t stream, std::uint32_t object, const Bytes& frame, bool key,
                std::uint32_t time, std::uint32_t piece);

  Bytes Build() const;

  std::uint32_t minPacketSize = 0;   // 0 = the packet size
  std::uint32_t maxPacketSize = 0;
  std::uint32_t fileFlags = 2;
  std::int64_t dataObjectSize = -1;  // -1 = computed

 private:
  struct Stream {
    std::uint8_t number;
    bool video;
    std::string fourcc;
    std::uint32_t maxObjectSize;
    std::uint64_t timePerFrame;
    Bytes codecData;
    bool embedded = false;
  };
  std::uint32_t packetSize_;
  std::vector<Stream> streams_;
  Bytes packets_;
};

}  // namespace asftest

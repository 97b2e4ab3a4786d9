#pragma once
// ASF file header reader: reads an ASF file's Header Object and the Data
// Object's own header, and keeps what the data packets need (streams, packet
// size, per-stream object size limits) with the header's bytes. The packet
// and frame side is AsfDataReader (asf_data_reader.h), which starts here.
//
// Nothing is allocated from a size field alone: the header buffer grows only
// as bytes actually arrive. Every malformed structure stops the read with a
// message that names the byte offset of the fault.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"

namespace asf {

struct AsfStreamInfo {
  std::uint8_t number = 0;            // 1..127
  bool isVideo = false;
  bool isAudio = false;
  std::uint32_t compression = 0;      // video: the bitmap header's four characters, first in the low byte
  std::uint32_t maxObjectSize = 0;    // from Extended Stream Properties; 0 = not declared
  std::uint64_t averageTimePerFrame = 0;  // 100-nanosecond units; 0 = not declared
  std::uint32_t codecDataSize = 0;    // video: bytes of codec-specific data behind the bitmap header
  std::uint64_t headerOffset = 0;     // file offset of its Stream Properties Object
  std::uint32_t headerSize = 0;       // and that object's size
  bool inExtension = false;           // declared inside an Extended Stream Properties Object
  std::uint64_t extendedOffset = 0;   // file offset of its Extended Stream Properties Object
  std::uint32_t extendedSize = 0;     // and that object's size; 0 = none
};

struct AsfFileInfo {
  std::vector<AsfStreamInfo> streams;  // in the order their Stream Properties appear
  std::uint32_t minPacketSize = 0;
  std::uint32_t maxPacketSize = 0;
  std::uint64_t preroll = 0;           // milliseconds
  std::uint32_t flags = 0;             // File Properties flags (bit 0 broadcast)
  std::uint64_t headerSize = 0;        // bytes of the Header Object
  std::uint64_t dataObjectOffset = 0;  // file offset of the Data Object
  std::uint64_t dataObjectSize = 0;    // as declared (0 may mean unknown)
  std::uint64_t declaredPackets = 0;   // Total Data Packets as declared

  const AsfStreamInfo* Find(std::uint8_t number) const;
};

// Header Objects above this size are refused.
inline constexpr std::uint32_t kMaxHeaderSize = 16u << 20;

inline constexpr std::uint32_t FourCC(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24;
}
inline constexpr std::uint32_t kFourCcWvc1 = FourCC('W', 'V', 'C', '1');

// The first fault met, "offset N: what is wrong"; later ones are dropped.
struct AsfError {
  bool failed = false;
  std::uint64_t offset = 0;
  std::string message;

  // Records the fault (unless one is recorded already); always false.
  bool Fail(std::uint64_t at, const std::string& what);
};

// Reads up to `want` bytes into buffer[at...], growing the buffer by at most
// a step per read so that a lying size costs nothing until the bytes are
// really there. *got receives the count read; false on a read error.
bool ReadGrowing(platform::ByteReader& in, std::vector<std::uint8_t>& buffer, std::size_t at,
                 std::uint32_t want, std::uint32_t* got);

class AsfFileHeader {
 public:
  // Reads the Header Object and the Data Object's own header from `in`,
  // whose position must be the file's start, leaving it at the first packet.
  // False on a fault, which goes to `error`.
  bool Read(platform::ByteReader& in, AsfError* error);

  const AsfFileInfo& Info() const { return info_; }
  // The Header Object's bytes as read (offsets in Info() point into them).
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  struct Extended {
    std::uint8_t number;
    std::uint32_t maxObjectSize;
    std::uint64_t averageTimePerFrame;
    std::uint64_t offset;
    std::uint32_t size;
  };

  bool ReadDataObjectHeader(platform::ByteReader& in);
  bool ParseHeader(std::uint32_t size);
  bool ParseStreamProperties(const std::uint8_t* p, std::uint32_t size, std::uint64_t offset,
                             bool inExtension);
  bool ParseHeaderExtension(const std::uint8_t* p, std::uint32_t size, std::uint64_t offset);
  bool ParseExtendedStreamProperties(const std::uint8_t* p, std::uint32_t size,
                                     std::uint64_t offset);
  bool Fail(std::uint64_t at, const std::string& what) { return error_->Fail(at, what); }

  AsfError* error_ = nullptr;
  AsfFileInfo info_;
  std::vector<Extended> extended_;
  std::vector<std::uint8_t> bytes_;
};

// A Header Object that declares `stream` of `header` (an AsfFileHeader's
// bytes and info) alone: its Extended Stream Properties, when it has them, in
// a Header Extension, then its Stream Properties. A reader that takes the
// first video stream it meets sees that stream in it, as in a file holding
// only that stream.
std::vector<std::uint8_t> HeaderForStreamAlone(const std::vector<std::uint8_t>& header,
                                               const AsfStreamInfo& stream);

}  // namespace asf

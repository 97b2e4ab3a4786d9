#pragma once
// ASF data reader: reads an ASF file's Header Object for what the packets
// need (streams, packet size, per-stream object size limits), then walks the
// Data Object packet by packet and hands out the media objects (frames) of one
// stream, whole and in order.
//
// Streaming: one read buffer holding a run of packets and one frame-assembly
// buffer, both reused. A frame that sits whole in one payload is handed out in
// place, without a copy. Nothing is allocated from a size field alone: buffers
// grow only as bytes actually arrive, and a frame larger than its stream's
// declared maximum (or than kMaxFrameSize) is an error.
//
// Every malformed structure stops the reader with a message that names the
// byte offset of the fault; frames handed out before it stay valid results.

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

struct AsfFrame {
  const std::uint8_t* data = nullptr;  // valid until the next call of Next()
  std::uint32_t size = 0;
  bool keyFrame = false;               // key-frame bit of the object's first payload
  std::uint32_t presentationTime = 0;  // milliseconds, preroll included, as stored
  std::uint32_t objectNumber = 0;      // media object number (low 8 bits are what the file keeps)
  std::uint64_t offset = 0;            // file offset of the packet holding its first payload
};

// Frames above this size are refused whatever the file declares.
inline constexpr std::uint32_t kMaxFrameSize = 64u << 20;
// Packets above this size are refused (ASF packets are a few KiB in practice).
inline constexpr std::uint32_t kMaxPacketSize = 4u << 20;
// Header Objects above this size are refused.
inline constexpr std::uint32_t kMaxHeaderSize = 16u << 20;

inline constexpr std::uint32_t FourCC(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24;
}
inline constexpr std::uint32_t kFourCcWvc1 = FourCC('W', 'V', 'C', '1');

class AsfDataReader {
 public:
  enum class Status { kFrame, kEnd, kError };

  // Reads from the reader's current position, which must be the file's start.
  explicit AsfDataReader(platform::ByteReader& in) : in_(in) {}

  // Reads the Header Object and the Data Object's own header. False on error
  // (ErrorMessage() says what and where); then Next() gives kError.
  bool Open();
  const AsfFileInfo& Info() const { return info_; }
  // The Header Object's bytes as read (offsets in Info() point into them).
  const std::vector<std::uint8_t>& HeaderBytes() const { return header_; }

  // The stream whose frames Next() delivers. False when the file has no such
  // stream. Choose before the first Next().
  bool SelectStream(std::uint8_t number);

  // The next whole frame of the selected stream, kEnd after the last one, or
  // kError (sticky) at the first malformed byte.
  Status Next(AsfFrame* frame);

  // "offset N: what is wrong", empty while there has been no error.
  const std::string& ErrorMessage() const { return error_; }
  std::uint64_t ErrorOffset() const { return errorOffset_; }
  // Packets fully consumed so far, and the file offset reached.
  std::uint64_t PacketsRead() const { return packetsRead_; }
  std::uint64_t Position() const { return blockOffset_ + packetStart_; }

 private:
  bool Fail(std::uint64_t offset, const std::string& what);
  bool ReadExactly(std::vector<std::uint8_t>& buffer, std::size_t at, std::uint32_t want,
                   std::uint32_t* got);
  bool ParseHeader(const std::uint8_t* p, std::uint32_t size);
  bool ParseStreamProperties(const std::uint8_t* p, std::uint32_t size, std::uint64_t offset,
                             bool inExtension);
  bool ParseHeaderExtension(const std::uint8_t* p, std::uint32_t size, std::uint64_t offset);
  bool NextPacket();
  bool BeginPacket();
  // One payload header at cursor_; sets the payload fields below.
  bool ParsePayloadHeader();
  // Adds a fragment of the selected stream to the frame being assembled.
  // True with *done when the frame is complete.
  bool HandleFragment(AsfFrame* frame, bool* done);
  std::uint64_t At(std::uint32_t inPacket) const { return blockOffset_ + packetStart_ + inPacket; }

  struct Extended {
    std::uint8_t number;
    std::uint32_t maxObjectSize;
    std::uint64_t averageTimePerFrame;
    std::uint64_t offset;
    std::uint32_t size;
  };

  platform::ByteReader& in_;
  AsfFileInfo info_;
  std::vector<Extended> extended_;
  std::vector<std::uint8_t> header_;
  std::string error_;
  std::uint64_t errorOffset_ = 0;
  bool opened_ = false;
  bool failed_ = false;

  std::uint8_t stream_ = 0;
  std::uint32_t streamMaxObject_ = kMaxFrameSize;

  // Packets are read in runs into block_; the current packet starts at
  // packetStart_ within it. blockOffset_ is the file offset of block_[0].
  std::vector<std::uint8_t> block_;
  std::uint32_t blockLength_ = 0;
  std::uint64_t blockOffset_ = 0;
  std::uint32_t packetStart_ = 0;
  std::uint32_t packetSize_ = 0;     // fixed slot size, 0 when packets give their own
  std::uint64_t packetsLeft_ = 0;    // packets still to read, when the data size is known
  std::uint64_t packetsTotal_ = 0;
  bool packetsKnown_ = false;
  bool inPacket_ = false;
  std::uint64_t packetsRead_ = 0;
  // A short or failed read behind the whole packets of the last run: raised
  // once those packets have been handed out.
  std::string pendingError_;
  std::uint64_t pendingOffset_ = 0;

  // Current packet.
  std::uint32_t payloadEnd_ = 0;     // end of payload bytes (before padding), packet-relative
  std::uint32_t cursor_ = 0;         // packet-relative
  std::uint32_t payloadsLeft_ = 0;
  bool multiple_ = false;
  std::uint8_t propertyFlags_ = 0;
  std::uint8_t payloadLengthType_ = 0;

  // Current payload.
  std::uint8_t payloadStream_ = 0;
  bool payloadKey_ = false;
  std::uint32_t payloadObject_ = 0;
  std::uint32_t payloadOffset_ = 0;   // offset into media object, or presentation time when compressed
  std::uint32_t payloadObjectSize_ = 0;
  std::uint32_t payloadTime_ = 0;
  bool payloadCompressed_ = false;
  std::uint8_t payloadTimeDelta_ = 0;
  std::uint32_t payloadHeaderStart_ = 0;
  std::uint32_t payloadDataStart_ = 0;
  std::uint32_t payloadDataLength_ = 0;

  // Sub-payloads of a compressed payload being handed out.
  bool inSubPayloads_ = false;
  std::uint32_t subCursor_ = 0;
  std::uint32_t subEnd_ = 0;
  std::uint32_t subIndex_ = 0;

  // Frame being assembled from fragments.
  std::vector<std::uint8_t> frame_;
  bool assembling_ = false;
  std::uint32_t frameObject_ = 0;
  std::uint32_t frameSize_ = 0;
  std::uint32_t frameTime_ = 0;
  bool frameKey_ = false;
  std::uint64_t frameOffset_ = 0;
};

}  // namespace asf

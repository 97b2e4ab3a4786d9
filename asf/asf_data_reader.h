#pragma once
// ASF data reader: reads an ASF file's header (AsfFileHeader) for what the
// packets need, then walks the Data Object packet by packet and hands out the
// media objects (frames) of one stream, whole and in order.
//
// Streaming: one read buffer holding a run of packets and one frame-assembly
// buffer, both reused. A frame that sits whole in one payload is handed out in
// place, without a copy. Nothing is allocated from a size field alone: buffers
// grow only as bytes actually arrive, and a frame larger than its stream's
// declared maximum (or than kMaxFrameSize) is an error. Every field of a
// packet is read through the checked byte reader (ByteSpan).
//
// Every malformed structure stops the reader with a message that names the
// byte offset of the fault; frames handed out before it stay valid results.

#include <cstdint>
#include <string>
#include <vector>

#include "asf/asf_file_header.h"
#include "asf/byte_span.h"
#include "platform/file.h"

namespace asf {

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

class AsfDataReader {
 public:
  enum class Status { kFrame, kEnd, kError };

  // Reads from the reader's current position, which must be the file's start.
  explicit AsfDataReader(platform::ByteReader& in) : in_(in) {}

  // Reads the Header Object and the Data Object's own header. False on error
  // (ErrorMessage() says what and where); then Next() gives kError.
  bool Open();
  const AsfFileInfo& Info() const { return header_.Info(); }
  // The Header Object's bytes as read (offsets in Info() point into them).
  const std::vector<std::uint8_t>& HeaderBytes() const { return header_.Bytes(); }

  // The stream whose frames Next() delivers. False when the file has no such
  // stream. Choose before the first Next().
  bool SelectStream(std::uint8_t number);

  // The next whole frame of the selected stream, kEnd after the last one, or
  // kError (sticky) at the first malformed byte.
  Status Next(AsfFrame* frame);

  // "offset N: what is wrong", empty while there has been no error.
  const std::string& ErrorMessage() const { return error_.message; }
  std::uint64_t ErrorOffset() const { return error_.offset; }
  // Packets fully consumed so far, and the file offset reached.
  std::uint64_t PacketsRead() const { return packetsRead_; }
  std::uint64_t Position() const { return blockOffset_ + packetStart_; }

 private:
  bool Fail(std::uint64_t offset, const std::string& what) { return error_.Fail(offset, what); }
  bool NextPacket();
  bool ReadPacketRun();
  bool BeginPacket();
  // One payload header at cursor_; sets the payload fields below.
  bool ParsePayloadHeader();
  // The next sub-payload of the compressed payload being handed out, as a
  // whole frame; false when there is none left or on a fault.
  bool NextSubPayload(AsfFrame* frame);
  // Adds a fragment of the selected stream to the frame being assembled.
  // True with *done when the frame is complete.
  bool HandleFragment(AsfFrame* frame, bool* done);
  // The current packet's bytes, all packetSize_ of them.
  ByteSpan Packet() const;
  std::uint64_t At(std::uint32_t inPacket) const { return blockOffset_ + packetStart_ + inPacket; }

  platform::ByteReader& in_;
  AsfFileHeader header_;
  AsfError error_;
  bool opened_ = false;

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

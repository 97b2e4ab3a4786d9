#include "asf/asf_data_reader.h"

#include <algorithm>

#include "asf/asf_layout.h"

namespace asf {

namespace {

// About this many bytes of packets are read at once.
constexpr std::uint32_t kReadRun = 256u << 10;

std::string Num(std::uint64_t v) { return std::to_string(v); }

// Width in bytes of a 2-bit length-type code: none, BYTE, WORD, DWORD.
constexpr std::uint32_t kTypeWidth[4] = {0, 1, 2, 4};

// Reads a field of a 2-bit length type at *pos; false when it would pass end.
bool ReadTyped(const ByteSpan& s, std::uint32_t* pos, unsigned type, std::uint32_t* value) {
  bool ok = true;
  switch (type & 3) {
    case 0: *value = 0; break;
    case 1: { std::uint8_t v = 0; ok = s.U8(*pos, &v); *value = v; break; }
    case 2: { std::uint16_t v = 0; ok = s.U16(*pos, &v); *value = v; break; }
    default: ok = s.U32(*pos, value); break;
  }
  if (ok) *pos += kTypeWidth[type & 3];
  return ok;
}

}  // namespace

bool AsfDataReader::Open() {
  if (opened_ || error_.failed) return Fail(0, "the reader was opened twice");
  if (!header_.Read(in_, &error_)) return false;
  const AsfFileInfo& info = header_.Info();
  if (info.minPacketSize != info.maxPacketSize)
    return Fail(info.headerSize, "packets of varying size (" + Num(info.minPacketSize) + " to " +
                                     Num(info.maxPacketSize) + " bytes) are not supported");
  if (info.minPacketSize == 0 || info.minPacketSize > kMaxPacketSize)
    return Fail(info.headerSize,
                "data packet size " + Num(info.minPacketSize) + " is out of range");
  packetSize_ = info.minPacketSize;
  // A broadcast file leaves the Data Object's size undefined: read to the end.
  if ((info.flags & kFileBroadcastFlag) == 0 && info.dataObjectSize >= kDataObjectHeaderSize) {
    std::uint64_t bytes = info.dataObjectSize - kDataObjectHeaderSize;
    if (bytes % packetSize_ != 0)
      return Fail(info.headerSize + kObjectSizeOffset,
                  "Data Object size " + Num(info.dataObjectSize) +
                      " is not its header plus whole packets of " + Num(packetSize_) + " bytes");
    packetsKnown_ = true;
    packetsLeft_ = packetsTotal_ = bytes / packetSize_;
  }
  blockOffset_ = info.headerSize + kDataObjectHeaderSize;
  opened_ = true;
  return true;
}

// ---------------------------------------------------------------- packets

bool AsfDataReader::SelectStream(std::uint8_t number) {
  const AsfStreamInfo* s = Info().Find(number);
  if (!s) return false;
  stream_ = number;
  streamMaxObject_ = kMaxFrameSize;
  if (s->maxObjectSize != 0 && s->maxObjectSize < streamMaxObject_)
    streamMaxObject_ = s->maxObjectSize;
  return true;
}

ByteSpan AsfDataReader::Packet() const {
  return ByteSpan(block_.data() + packetStart_, packetSize_);
}

bool AsfDataReader::NextPacket() {
  if (blockLength_ - packetStart_ < packetSize_) {
    if (!pendingError_.empty()) return Fail(pendingOffset_, pendingError_);
    if (packetsKnown_ && packetsLeft_ == 0) return false;
    if (!ReadPacketRun()) return false;
  }
  return BeginPacket();
}

// Reads the next run of packets into block_. The whole packets read are
// handed out before a fault behind them, which waits in pendingError_.
bool AsfDataReader::ReadPacketRun() {
  blockOffset_ += blockLength_;
  packetStart_ = 0;
  blockLength_ = 0;
  std::uint64_t run = std::max<std::uint32_t>(1, kReadRun / packetSize_);
  if (packetsKnown_) run = std::min(run, packetsLeft_);
  // At most max(kReadRun, kMaxPacketSize) bytes.
  auto want = static_cast<std::uint32_t>(run * packetSize_);
  std::uint32_t got = 0;
  bool ok = ReadGrowing(in_, block_, 0, want, &got);
  std::uint32_t whole = got / packetSize_ * packetSize_;
  blockLength_ = whole;
  if (packetsKnown_) packetsLeft_ -= whole / packetSize_;
  std::uint64_t packetsSeen = packetsRead_ + whole / packetSize_;
  if (!ok) {
    pendingError_ = "read error in data packet " + Num(packetsSeen) + " (system error " +
                    Num(platform::LastSystemError()) + ")";
  } else if (got != whole) {
    pendingError_ = "file ends " + Num(got - whole) + " bytes into data packet " +
                    Num(packetsSeen) + " of " + Num(packetSize_) + " bytes";
  } else if (packetsKnown_ && got < want) {
    pendingError_ = "file ends after " + Num(packetsSeen) + " of " + Num(packetsTotal_) +
                    " data packets";
  }
  pendingOffset_ = blockOffset_ + got;
  if (whole != 0) return true;
  if (!pendingError_.empty()) return Fail(pendingOffset_, pendingError_);
  return false;
}

bool AsfDataReader::BeginPacket() {
  const ByteSpan packet = Packet();
  const std::uint32_t slot = packetSize_;
  std::uint32_t c = 0;
  std::uint8_t first = 0;
  packet.U8(0, &first);  // a packet has at least one byte
  if (first & kErrorCorrectionPresent) {
    unsigned lengthType = (first >> 5) & 3u;
    if (lengthType != 0)
      return Fail(At(0), "error correction length type " + Num(lengthType) +
                             " (only 0 is defined)");
    c = 1 + (first & 0x0Fu);
  }
  std::uint8_t flags = 0;
  if (!packet.U8(c, &flags) || !packet.U8(c + 1, &propertyFlags_))
    return Fail(At(c), "packet too short for its payload parsing information");
  c += 2;
  if (((propertyFlags_ >> 6) & 3u) != 1)
    return Fail(At(c - 1), "stream number length type " + Num((propertyFlags_ >> 6) & 3u) +
                               " (only 1, a byte, is defined)");
  std::uint32_t packetLength = 0, sequence = 0, padding = 0;
  const std::uint32_t lengthAt = c;
  if (!ReadTyped(packet, &c, flags >> 5, &packetLength) ||
      !ReadTyped(packet, &c, flags >> 1, &sequence) ||
      !ReadTyped(packet, &c, flags >> 3, &padding) || slot - c < kSendTimeAndDurationSize)
    return Fail(At(c), "packet too short for its payload parsing information");
  c += kSendTimeAndDurationSize;
  if ((flags >> 5) & 3u) {
    // A shorter packet than the fixed size is padded up to it.
    if (packetLength > slot || packetLength < c)
      return Fail(At(lengthAt), "packet length " + Num(packetLength) +
                                    " outside its header and the packet size " + Num(slot));
  } else {
    packetLength = slot;
  }
  if (padding > packetLength - c)
    return Fail(At(c - kSendTimeAndDurationSize - kTypeWidth[(flags >> 3) & 3u]),
                "padding length " + Num(padding) + " exceeds the " + Num(packetLength - c) +
                    " bytes behind the packet header");
  payloadEnd_ = packetLength - padding;
  multiple_ = (flags & 1) != 0;
  payloadsLeft_ = 1;
  if (multiple_) {
    std::uint8_t payloadFlags = 0;
    if (!packet.Sub(0, payloadEnd_).U8(c, &payloadFlags))
      return Fail(At(c), "packet too short for its payload flags");
    payloadsLeft_ = payloadFlags & 0x3Fu;
    payloadLengthType_ = static_cast<std::uint8_t>(payloadFlags >> 6);
    if (payloadLengthType_ == 0 && payloadsLeft_ != 0)
      return Fail(At(c), "payload length type 0 in a packet of several payloads");
    ++c;
  }
  cursor_ = c;
  inPacket_ = true;
  return true;
}

bool AsfDataReader::ParsePayloadHeader() {
  // Everything of the payloads lies before the padding.
  const ByteSpan payloads = Packet().Sub(0, payloadEnd_);
  std::uint32_t c = cursor_;
  payloadHeaderStart_ = c;
  auto tooShort = [this](std::uint32_t where) {
    return Fail(At(where), "payload header runs past the packet's payload end at offset " +
                               Num(At(payloadEnd_)));
  };
  std::uint8_t streamByte = 0;
  if (!payloads.U8(c, &streamByte)) return tooShort(c);
  payloadStream_ = streamByte & 0x7F;
  payloadKey_ = (streamByte & 0x80) != 0;
  ++c;
  std::uint32_t replicated = 0;
  if (!ReadTyped(payloads, &c, propertyFlags_ >> 4, &payloadObject_) ||
      !ReadTyped(payloads, &c, propertyFlags_ >> 2, &payloadOffset_) ||
      !ReadTyped(payloads, &c, propertyFlags_, &replicated))
    return tooShort(c);
  if (replicated > payloadEnd_ - c)
    return Fail(At(c), "replicated data of " + Num(replicated) + " bytes runs past the payload end");
  const ByteSpan rep = payloads.Sub(c, replicated);
  payloadCompressed_ = replicated == 1;
  if (replicated == 1) {
    // Compressed payload: the offset field holds the presentation time.
    rep.U8(0, &payloadTimeDelta_);
    payloadTime_ = payloadOffset_;
    payloadObjectSize_ = 0;
  } else if (replicated >= 8) {
    rep.U32(0, &payloadObjectSize_);
    rep.U32(4, &payloadTime_);
  } else if (replicated == 0) {
    payloadObjectSize_ = 0;
    payloadTime_ = 0;
  } else {
    return Fail(At(c), "replicated data length " + Num(replicated) +
                           " (0, 1 or at least 8 are defined)");
  }
  c += replicated;
  if (multiple_) {
    std::uint32_t lengthAt = c, length = 0;
    if (!ReadTyped(payloads, &c, payloadLengthType_, &length)) return tooShort(c);
    if (length > payloadEnd_ - c)
      return Fail(At(lengthAt), "payload length " + Num(length) + " runs past the packet (" +
                                    Num(payloadEnd_ - c) + " bytes left)");
    payloadDataLength_ = length;
  } else {
    payloadDataLength_ = payloadEnd_ - c;
  }
  payloadDataStart_ = c;
  return true;
}

bool AsfDataReader::HandleFragment(AsfFrame* frame, bool* done) {
  *done = false;
  const std::uint32_t length = payloadDataLength_;
  const std::uint8_t* data = Packet().Sub(payloadDataStart_, length).data();
  const std::uint64_t at = At(payloadHeaderStart_);
  std::uint32_t objectSize = payloadObjectSize_;
  if (objectSize == 0) {
    // Without replicated data the payload must be the whole object.
    if (payloadOffset_ != 0)
      return Fail(at, "fragment at offset " + Num(payloadOffset_) +
                          " of a media object of unknown size");
    objectSize = length;
  }
  if (length == 0) return Fail(at, "empty payload of stream " + Num(stream_));
  if (objectSize > streamMaxObject_)
    return Fail(at, "media object of " + Num(objectSize) + " bytes exceeds the limit of " +
                        Num(streamMaxObject_) + " bytes for stream " + Num(stream_));
  if (payloadOffset_ > objectSize || length > objectSize - payloadOffset_)
    return Fail(at, "fragment of " + Num(length) + " bytes at offset " + Num(payloadOffset_) +
                        " lies outside its media object of " + Num(objectSize) + " bytes");
  if (!assembling_) {
    if (payloadOffset_ != 0)
      return Fail(at, "media object " + Num(payloadObject_) + " starts at offset " +
                          Num(payloadOffset_) + " (its beginning is missing)");
    if (length == objectSize) {
      // Whole in one payload: handed out in place.
      *frame = AsfFrame{data, length, payloadKey_, payloadTime_, payloadObject_, At(0)};
      *done = true;
      return true;
    }
    frame_.assign(data, data + length);
    assembling_ = true;
    frameObject_ = payloadObject_;
    frameSize_ = objectSize;
    frameTime_ = payloadTime_;
    frameKey_ = payloadKey_;
    frameOffset_ = At(0);
    return true;
  }
  if (payloadObject_ != frameObject_ || objectSize != frameSize_ ||
      payloadOffset_ != frame_.size())
    return Fail(at, "media object " + Num(frameObject_) + " (" + Num(frame_.size()) + " of " +
                        Num(frameSize_) + " bytes) interrupted by a fragment of object " +
                        Num(payloadObject_) + " (size " + Num(objectSize) + ", offset " +
                        Num(payloadOffset_) + ")");
  frame_.insert(frame_.end(), data, data + length);
  if (frame_.size() < frameSize_) return true;
  assembling_ = false;
  *frame = AsfFrame{frame_.data(), frameSize_, frameKey_, frameTime_, frameObject_, frameOffset_};
  *done = true;
  return true;
}

bool AsfDataReader::NextSubPayload(AsfFrame* frame) {
  if (subCursor_ >= subEnd_) {
    inSubPayloads_ = false;
    return false;
  }
  const ByteSpan compressed = Packet().Sub(0, subEnd_);
  const std::uint64_t at = At(subCursor_);
  std::uint8_t length = 0;
  compressed.U8(subCursor_++, &length);
  if (length == 0) return Fail(at, "empty sub-payload in a compressed payload");
  if (length > subEnd_ - subCursor_)
    return Fail(at, "sub-payload of " + Num(length) + " bytes runs past its compressed payload (" +
                        Num(subEnd_ - subCursor_) + " bytes left)");
  if (length > streamMaxObject_)
    return Fail(at, "media object of " + Num(length) + " bytes exceeds the limit of " +
                        Num(streamMaxObject_) + " bytes for stream " + Num(stream_));
  *frame = AsfFrame{compressed.Sub(subCursor_, length).data(), length, payloadKey_,
                    payloadTime_ + subIndex_ * payloadTimeDelta_, payloadObject_ + subIndex_,
                    At(0)};
  subCursor_ += length;
  ++subIndex_;
  return true;
}

AsfDataReader::Status AsfDataReader::Next(AsfFrame* frame) {
  if (error_.failed) return Status::kError;
  if (!opened_) {
    Fail(0, "frames asked for before the header was read");
    return Status::kError;
  }
  if (stream_ == 0) {
    Fail(0, "frames asked for before a stream was chosen");
    return Status::kError;
  }
  for (;;) {
    if (inSubPayloads_) {
      if (NextSubPayload(frame)) return Status::kFrame;
      if (error_.failed) return Status::kError;
    }
    if (!inPacket_ && !NextPacket()) {
      if (error_.failed) return Status::kError;
      if (assembling_) {
        Fail(Position(), "data ends inside media object " + Num(frameObject_) + " (" +
                             Num(frame_.size()) + " of " + Num(frameSize_) + " bytes)");
        return Status::kError;
      }
      return Status::kEnd;
    }
    if (payloadsLeft_ == 0) {
      inPacket_ = false;
      packetStart_ += packetSize_;
      ++packetsRead_;
      continue;
    }
    --payloadsLeft_;
    if (!ParsePayloadHeader()) return Status::kError;
    cursor_ = payloadDataStart_ + payloadDataLength_;
    if (payloadStream_ != stream_) continue;
    if (payloadCompressed_) {
      if (assembling_) {
        Fail(At(payloadHeaderStart_), "compressed payload inside media object " +
                                          Num(frameObject_) + " (" + Num(frame_.size()) +
                                          " of " + Num(frameSize_) + " bytes)");
        return Status::kError;
      }
      inSubPayloads_ = true;
      subCursor_ = payloadDataStart_;
      subEnd_ = cursor_;
      subIndex_ = 0;
      continue;
    }
    bool done = false;
    if (!HandleFragment(frame, &done)) return Status::kError;
    if (done) return Status::kFrame;
  }
}

}  // namespace asf

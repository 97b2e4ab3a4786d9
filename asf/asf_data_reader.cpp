#include "asf/asf_data_reader.h"

#include <algorithm>
#include <cstring>

#include "asf/asf_guid.h"
#include "asf/byte_span.h"

namespace asf {

namespace {

// Fields read here lie where the object's size was checked to reach; a
// field outside the span would read as 0.
std::uint16_t U16(const ByteSpan& s, std::size_t at) {
  std::uint16_t v = 0;
  s.U16(at, &v);
  return v;
}
std::uint32_t U32(const ByteSpan& s, std::size_t at) {
  std::uint32_t v = 0;
  s.U32(at, &v);
  return v;
}
std::uint64_t U64(const ByteSpan& s, std::size_t at) {
  std::uint64_t v = 0;
  s.U64(at, &v);
  return v;
}

constexpr std::uint32_t kObjectHeader = 24;
constexpr std::uint32_t kHeaderObjectFixed = 30;
constexpr std::uint32_t kDataObjectHeader = 50;
// About this many bytes of packets are read at once.
constexpr std::uint32_t kReadRun = 256u << 10;
// Buffers grow by at most this much per read, so a lying size costs nothing
// until the bytes are really there.
constexpr std::uint32_t kGrowStep = 1u << 20;

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

const AsfStreamInfo* AsfFileInfo::Find(std::uint8_t number) const {
  for (const auto& s : streams)
    if (s.number == number) return &s;
  return nullptr;
}

bool AsfDataReader::Fail(std::uint64_t offset, const std::string& what) {
  if (!failed_) {
    failed_ = true;
    errorOffset_ = offset;
    error_ = "offset " + Num(offset) + ": " + what;
  }
  return false;
}

bool AsfDataReader::ReadExactly(std::vector<std::uint8_t>& buffer, std::size_t at,
                                std::uint32_t want, std::uint32_t* got) {
  *got = 0;
  while (*got < want) {
    std::uint32_t step = std::min(want - *got, kGrowStep);
    if (buffer.size() < at + *got + step) buffer.resize(at + *got + step);
    std::uint32_t n = 0;
    bool ok = in_.Read(buffer.data() + at + *got, step, &n);
    *got += n;
    if (!ok) return false;
    if (n < step) break;
  }
  return true;
}

// ---------------------------------------------------------------- header

bool AsfDataReader::Open() {
  if (opened_ || failed_) return Fail(0, "the reader was opened twice");
  std::vector<std::uint8_t>& header = header_;
  std::uint32_t got = 0;
  if (!ReadExactly(header, 0, kHeaderObjectFixed, &got))
    return Fail(got, "read error in the Header Object (system error " +
                         Num(platform::LastSystemError()) + ")");
  if (got < kHeaderObjectFixed || !kHeaderObject.At(ByteSpan(header.data(), got), 0))
    return Fail(0, "not an ASF file (no Header Object at the start)");
  std::uint64_t size = U64(ByteSpan(header.data(), got), 16);
  if (size < kHeaderObjectFixed || size > kMaxHeaderSize)
    return Fail(16, "Header Object size " + Num(size) + " is out of range");
  auto body = static_cast<std::uint32_t>(size - kHeaderObjectFixed);
  if (!ReadExactly(header, kHeaderObjectFixed, body, &got))
    return Fail(kHeaderObjectFixed + got, "read error in the Header Object (system error " +
                                               Num(platform::LastSystemError()) + ")");
  if (got < body)
    return Fail(kHeaderObjectFixed + got,
                "file ends inside the Header Object of " + Num(size) + " bytes");
  info_.headerSize = size;
  if (!ParseHeader(header.data(), static_cast<std::uint32_t>(size))) return false;

  // The Data Object follows the Header Object directly.
  std::vector<std::uint8_t> dataHeader;
  if (!ReadExactly(dataHeader, 0, kDataObjectHeader, &got) || got < kDataObjectHeader)
    return Fail(size + got, "file ends inside the Data Object header");
  const ByteSpan data(dataHeader.data(), kDataObjectHeader);
  if (!kDataObject.At(data, 0)) return Fail(size, "no Data Object after the Header Object");
  info_.dataObjectOffset = size;
  info_.dataObjectSize = U64(data, 16);
  info_.declaredPackets = U64(data, 40);

  if (info_.minPacketSize != info_.maxPacketSize)
    return Fail(info_.headerSize, "packets of varying size (" + Num(info_.minPacketSize) +
                                      " to " + Num(info_.maxPacketSize) +
                                      " bytes) are not supported");
  if (info_.minPacketSize == 0 || info_.minPacketSize > kMaxPacketSize)
    return Fail(info_.headerSize,
                "data packet size " + Num(info_.minPacketSize) + " is out of range");
  packetSize_ = info_.minPacketSize;
  // A broadcast file leaves the Data Object's size undefined: read to the end.
  if ((info_.flags & 1) == 0 && info_.dataObjectSize >= kDataObjectHeader) {
    std::uint64_t bytes = info_.dataObjectSize - kDataObjectHeader;
    if (bytes % packetSize_ != 0)
      return Fail(size + 16, "Data Object size " + Num(info_.dataObjectSize) +
                                 " is not its header plus whole packets of " +
                                 Num(packetSize_) + " bytes");
    packetsKnown_ = true;
    packetsLeft_ = packetsTotal_ = bytes / packetSize_;
  }
  blockOffset_ = size + kDataObjectHeader;
  opened_ = true;
  return true;
}

bool AsfDataReader::ParseHeader(const std::uint8_t* p, std::uint32_t size) {
  const ByteSpan header(p, size);
  bool haveFileProperties = false;
  for (std::uint32_t pos = kHeaderObjectFixed; pos < size;) {
    if (size - pos < kObjectHeader)
      return Fail(pos, "header object too short for its own header");
    std::uint64_t objSize = U64(header, pos + 16);
    if (objSize < kObjectHeader || objSize > size - pos)
      return Fail(pos + 16, "header object size " + Num(objSize) +
                                " does not fit in the Header Object");
    auto n = static_cast<std::uint32_t>(objSize);
    const ByteSpan o = header.Sub(pos, n);
    if (kFilePropertiesObject.At(o, 0)) {
      if (n < 104) return Fail(pos, "File Properties Object too short (" + Num(n) + " bytes)");
      info_.preroll = U64(o, 80);
      info_.flags = U32(o, 88);
      info_.minPacketSize = U32(o, 92);
      info_.maxPacketSize = U32(o, 96);
      haveFileProperties = true;
    } else if (kStreamPropertiesObject.At(o, 0)) {
      if (!ParseStreamProperties(o.data(), n, pos, false)) return false;
    } else if (kHeaderExtensionObject.At(o, 0)) {
      if (!ParseHeaderExtension(o.data(), n, pos)) return false;
    }
    pos += n;
  }
  if (!haveFileProperties) return Fail(0, "the Header Object has no File Properties Object");
  // Extended properties may come before or after the stream they describe.
  for (const Extended& x : extended_) {
    for (auto& s : info_.streams) {
      if (s.number != x.number) continue;
      s.maxObjectSize = x.maxObjectSize;
      s.averageTimePerFrame = x.averageTimePerFrame;
      s.extendedOffset = x.offset;
      s.extendedSize = x.size;
    }
  }
  return true;
}

bool AsfDataReader::ParseStreamProperties(const std::uint8_t* p, std::uint32_t n,
                                          std::uint64_t offset, bool inExtension) {
  const ByteSpan o(p, n);
  if (n < 78) return Fail(offset, "Stream Properties Object too short (" + Num(n) + " bytes)");
  std::uint32_t typeLength = U32(o, 64);
  std::uint32_t ecLength = U32(o, 68);
  if (typeLength > n - 78 || ecLength > n - 78 - typeLength)
    return Fail(offset + 64, "Stream Properties data lengths " + Num(typeLength) + " + " +
                                 Num(ecLength) + " do not fit in its " + Num(n) + " bytes");
  AsfStreamInfo s;
  s.number = static_cast<std::uint8_t>(U16(o, 72) & 0x7F);
  s.headerOffset = offset;
  s.headerSize = n;
  s.inExtension = inExtension;
  if (s.number == 0) return Fail(offset + 72, "stream number 0");
  if (info_.Find(s.number))
    return Fail(offset + 72, "stream " + Num(s.number) + " is declared twice");
  s.isVideo = kVideoMedia.At(o, 24);
  s.isAudio = kAudioMedia.At(o, 24);
  // Video type-specific data: 11 bytes of picture size and flags, then a
  // 40-byte bitmap header, then the codec's own data.
  if (s.isVideo && typeLength >= 51) {
    s.compression = U32(o, 78 + 27);
    s.codecDataSize = typeLength - 51;
  }
  info_.streams.push_back(s);
  return true;
}

bool AsfDataReader::ParseHeaderExtension(const std::uint8_t* p, std::uint32_t n,
                                         std::uint64_t offset) {
  const ByteSpan o(p, n);
  if (n < 46) return Fail(offset, "Header Extension Object too short (" + Num(n) + " bytes)");
  std::uint32_t dataSize = U32(o, 42);
  if (dataSize > n - 46)
    return Fail(offset + 42, "Header Extension data size " + Num(dataSize) +
                                 " does not fit in its " + Num(n) + " bytes");
  std::uint32_t end = 46 + dataSize;
  for (std::uint32_t pos = 46; pos < end;) {
    if (end - pos < kObjectHeader)
      return Fail(offset + pos, "header extension object too short for its own header");
    std::uint64_t subSize = U64(o, pos + 16);
    if (subSize < kObjectHeader || subSize > end - pos)
      return Fail(offset + pos + 16, "header extension object size " + Num(subSize) +
                                         " does not fit in the Header Extension Object");
    auto m = static_cast<std::uint32_t>(subSize);
    const ByteSpan e = o.Sub(pos, m);
    if (kExtendedStreamPropertiesObject.At(e, 0)) {
      std::uint64_t at = offset + pos;
      if (m < 88)
        return Fail(at, "Extended Stream Properties Object too short (" + Num(m) + " bytes)");
      auto number = static_cast<std::uint8_t>(U16(e, 72) & 0x7F);
      std::uint32_t maxObjectSize = U32(e, 64);
      std::uint64_t timePerFrame = U64(e, 76);
      // Names and payload extension systems, then possibly the stream's own
      // Stream Properties Object (streams hidden from the top level).
      std::uint32_t q = 88;
      for (std::uint32_t i = U16(e, 84); i > 0; --i) {
        if (m - q < 4) return Fail(at + q, "stream name runs past its object");
        std::uint32_t len = U16(e, q + 2);
        if (m - q - 4 < len) return Fail(at + q, "stream name runs past its object");
        q += 4 + len;
      }
      for (std::uint32_t i = U16(e, 86); i > 0; --i) {
        if (m - q < 22) return Fail(at + q, "payload extension system runs past its object");
        std::uint32_t len = U32(e, q + 18);
        if (m - q - 22 < len)
          return Fail(at + q, "payload extension system runs past its object");
        q += 22 + len;
      }
      if (m - q >= kObjectHeader && kStreamPropertiesObject.At(e, q)) {
        std::uint64_t spSize = U64(e, q + 16);
        if (spSize < kObjectHeader || spSize > m - q)
          return Fail(at + q + 16, "embedded Stream Properties size " + Num(spSize) +
                                       " does not fit in its object");
        if (!ParseStreamProperties(e.data() + q, static_cast<std::uint32_t>(spSize), at + q, true))
          return false;
      }
      extended_.push_back({number, maxObjectSize, timePerFrame, at, m});
    }
    pos += m;
  }
  return true;
}

// ---------------------------------------------------------------- packets

bool AsfDataReader::SelectStream(std::uint8_t number) {
  const AsfStreamInfo* s = info_.Find(number);
  if (!s) return false;
  stream_ = number;
  streamMaxObject_ = kMaxFrameSize;
  if (s->maxObjectSize != 0 && s->maxObjectSize < streamMaxObject_)
    streamMaxObject_ = s->maxObjectSize;
  return true;
}

bool AsfDataReader::NextPacket() {
  if (blockLength_ - packetStart_ < packetSize_) {
    if (!pendingError_.empty()) return Fail(pendingOffset_, pendingError_);
    if (packetsKnown_ && packetsLeft_ == 0) return false;
    blockOffset_ += blockLength_;
    packetStart_ = 0;
    blockLength_ = 0;
    std::uint64_t run = std::max<std::uint32_t>(1, kReadRun / packetSize_);
    if (packetsKnown_) run = std::min(run, packetsLeft_);
    // At most max(kReadRun, kMaxPacketSize) bytes.
    auto want = static_cast<std::uint32_t>(run * packetSize_);
    std::uint32_t got = 0;
    bool ok = ReadExactly(block_, 0, want, &got);
    std::uint32_t whole = got / packetSize_ * packetSize_;
    blockLength_ = whole;
    if (packetsKnown_) packetsLeft_ -= whole / packetSize_;
    // The whole packets read are handed out before a fault behind them.
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
    if (whole == 0) {
      if (!pendingError_.empty()) return Fail(pendingOffset_, pendingError_);
      return false;
    }
  }
  return BeginPacket();
}

bool AsfDataReader::BeginPacket() {
  const std::uint8_t* p = block_.data() + packetStart_;
  const std::uint32_t slot = packetSize_;
  std::uint32_t c = 0;
  if (p[0] & 0x80) {
    unsigned lengthType = (p[0] >> 5) & 3u;
    if (lengthType != 0)
      return Fail(At(0), "error correction length type " + Num(lengthType) +
                             " (only 0 is defined)");
    c = 1 + (p[0] & 0x0Fu);
  }
  if (c + 2 > slot) return Fail(At(c), "packet too short for its payload parsing information");
  const std::uint8_t flags = p[c];
  propertyFlags_ = p[c + 1];
  c += 2;
  if (((propertyFlags_ >> 6) & 3u) != 1)
    return Fail(At(c - 1), "stream number length type " + Num((propertyFlags_ >> 6) & 3u) +
                               " (only 1, a byte, is defined)");
  std::uint32_t packetLength = 0, sequence = 0, padding = 0;
  const std::uint32_t lengthAt = c;
  if (!ReadTyped(ByteSpan(p, slot), &c, flags >> 5, &packetLength) ||
      !ReadTyped(ByteSpan(p, slot), &c, flags >> 1, &sequence) ||
      !ReadTyped(ByteSpan(p, slot), &c, flags >> 3, &padding) || slot - c < 6)
    return Fail(At(c), "packet too short for its payload parsing information");
  c += 6;  // send time and duration
  if ((flags >> 5) & 3u) {
    // A shorter packet than the fixed size is padded up to it.
    if (packetLength > slot || packetLength < c)
      return Fail(At(lengthAt), "packet length " + Num(packetLength) +
                                    " outside its header and the packet size " + Num(slot));
  } else {
    packetLength = slot;
  }
  if (padding > packetLength - c)
    return Fail(At(c - 6 - kTypeWidth[(flags >> 3) & 3u]),
                "padding length " + Num(padding) + " exceeds the " + Num(packetLength - c) +
                    " bytes behind the packet header");
  payloadEnd_ = packetLength - padding;
  multiple_ = (flags & 1) != 0;
  if (multiple_) {
    if (payloadEnd_ - c < 1) return Fail(At(c), "packet too short for its payload flags");
    payloadsLeft_ = p[c] & 0x3Fu;
    payloadLengthType_ = static_cast<std::uint8_t>(p[c] >> 6);
    if (payloadLengthType_ == 0 && payloadsLeft_ != 0)
      return Fail(At(c), "payload length type 0 in a packet of several payloads");
    ++c;
  } else {
    payloadsLeft_ = 1;
  }
  cursor_ = c;
  inPacket_ = true;
  return true;
}

bool AsfDataReader::ParsePayloadHeader() {
  const std::uint8_t* p = block_.data() + packetStart_;
  std::uint32_t c = cursor_;
  payloadHeaderStart_ = c;
  auto tooShort = [this](std::uint32_t where) {
    return Fail(At(where), "payload header runs past the packet's payload end at offset " +
                               Num(At(payloadEnd_)));
  };
  if (payloadEnd_ - c < 1) return tooShort(c);
  payloadStream_ = p[c] & 0x7F;
  payloadKey_ = (p[c] & 0x80) != 0;
  ++c;
  std::uint32_t replicated = 0;
  if (!ReadTyped(ByteSpan(p, payloadEnd_), &c, propertyFlags_ >> 4, &payloadObject_) ||
      !ReadTyped(ByteSpan(p, payloadEnd_), &c, propertyFlags_ >> 2, &payloadOffset_) ||
      !ReadTyped(ByteSpan(p, payloadEnd_), &c, propertyFlags_, &replicated))
    return tooShort(c);
  if (replicated > payloadEnd_ - c)
    return Fail(At(c), "replicated data of " + Num(replicated) + " bytes runs past the payload end");
  const std::uint8_t* rep = p + c;
  payloadCompressed_ = replicated == 1;
  if (replicated == 1) {
    // Compressed payload: the offset field holds the presentation time.
    payloadTimeDelta_ = rep[0];
    payloadTime_ = payloadOffset_;
    payloadObjectSize_ = 0;
  } else if (replicated >= 8) {
    payloadObjectSize_ = U32(ByteSpan(rep, replicated), 0);
    payloadTime_ = U32(ByteSpan(rep, replicated), 4);
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
    if (!ReadTyped(ByteSpan(p, payloadEnd_), &c, payloadLengthType_, &length)) return tooShort(c);
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
  const std::uint8_t* data = block_.data() + packetStart_ + payloadDataStart_;
  const std::uint32_t length = payloadDataLength_;
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
      frame->data = data;
      frame->size = length;
      frame->keyFrame = payloadKey_;
      frame->presentationTime = payloadTime_;
      frame->objectNumber = payloadObject_;
      frame->offset = At(0);
      *done = true;
      return true;
    }
    frame_.clear();
    frame_.insert(frame_.end(), data, data + length);
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
  frame->data = frame_.data();
  frame->size = frameSize_;
  frame->keyFrame = frameKey_;
  frame->presentationTime = frameTime_;
  frame->objectNumber = frameObject_;
  frame->offset = frameOffset_;
  *done = true;
  return true;
}

AsfDataReader::Status AsfDataReader::Next(AsfFrame* frame) {
  if (failed_) return Status::kError;
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
      if (subCursor_ < subEnd_) {
        const std::uint8_t* p = block_.data() + packetStart_;
        const std::uint64_t at = At(subCursor_);
        const std::uint32_t length = p[subCursor_++];
        if (length == 0) {
          Fail(at, "empty sub-payload in a compressed payload");
          return Status::kError;
        }
        if (length > subEnd_ - subCursor_) {
          Fail(at, "sub-payload of " + Num(length) + " bytes runs past its compressed payload (" +
                       Num(subEnd_ - subCursor_) + " bytes left)");
          return Status::kError;
        }
        if (length > streamMaxObject_) {
          Fail(at, "media object of " + Num(length) + " bytes exceeds the limit of " +
                       Num(streamMaxObject_) + " bytes for stream " + Num(stream_));
          return Status::kError;
        }
        frame->data = p + subCursor_;
        frame->size = length;
        frame->keyFrame = payloadKey_;
        frame->presentationTime = payloadTime_ + subIndex_ * payloadTimeDelta_;
        frame->objectNumber = payloadObject_ + subIndex_;
        frame->offset = At(0);
        subCursor_ += length;
        ++subIndex_;
        return Status::kFrame;
      }
      inSubPayloads_ = false;
    }
    if (!inPacket_ && !NextPacket()) {
      if (failed_) return Status::kError;
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

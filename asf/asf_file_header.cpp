#include "asf/asf_file_header.h"

#include <algorithm>

#include "asf/asf_guid.h"
#include "asf/asf_layout.h"
#include "asf/byte_span.h"

namespace asf {

namespace {

// Buffers grow by at most this much per read.
constexpr std::uint32_t kGrowStep = 1u << 20;

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

std::string Num(std::uint64_t v) { return std::to_string(v); }

std::string ReadErrorIn(const char* where) {
  return std::string("read error in ") + where + " (system error " +
         Num(platform::LastSystemError()) + ")";
}

}  // namespace

const AsfStreamInfo* AsfFileInfo::Find(std::uint8_t number) const {
  for (const auto& s : streams)
    if (s.number == number) return &s;
  return nullptr;
}

bool AsfError::Fail(std::uint64_t at, const std::string& what) {
  if (!failed) {
    failed = true;
    offset = at;
    message = "offset " + Num(at) + ": " + what;
  }
  return false;
}

bool ReadGrowing(platform::ByteReader& in, std::vector<std::uint8_t>& buffer, std::size_t at,
                 std::uint32_t want, std::uint32_t* got) {
  *got = 0;
  while (*got < want) {
    std::uint32_t step = std::min(want - *got, kGrowStep);
    if (buffer.size() < at + *got + step) buffer.resize(at + *got + step);
    std::uint32_t n = 0;
    bool ok = in.Read(buffer.data() + at + *got, step, &n);
    *got += n;
    if (!ok) return false;
    if (n < step) break;
  }
  return true;
}

bool AsfFileHeader::Read(platform::ByteReader& in, AsfError* error) {
  error_ = error;
  std::uint32_t got = 0;
  if (!ReadGrowing(in, bytes_, 0, kHeaderFixedSize, &got))
    return Fail(got, ReadErrorIn("the Header Object"));
  if (got < kHeaderFixedSize || !kHeaderObject.At(ByteSpan(bytes_.data(), got), 0))
    return Fail(0, "not an ASF file (no Header Object at the start)");
  std::uint64_t size = U64(ByteSpan(bytes_.data(), got), kObjectSizeOffset);
  if (size < kHeaderFixedSize || size > kMaxHeaderSize)
    return Fail(kObjectSizeOffset, "Header Object size " + Num(size) + " is out of range");
  auto body = static_cast<std::uint32_t>(size - kHeaderFixedSize);
  if (!ReadGrowing(in, bytes_, kHeaderFixedSize, body, &got))
    return Fail(kHeaderFixedSize + got, ReadErrorIn("the Header Object"));
  if (got < body)
    return Fail(kHeaderFixedSize + got,
                "file ends inside the Header Object of " + Num(size) + " bytes");
  info_.headerSize = size;
  return ParseHeader(static_cast<std::uint32_t>(size)) && ReadDataObjectHeader(in);
}

// The Data Object follows the Header Object directly.
bool AsfFileHeader::ReadDataObjectHeader(platform::ByteReader& in) {
  const std::uint64_t at = info_.headerSize;
  std::vector<std::uint8_t> dataHeader;
  std::uint32_t got = 0;
  if (!ReadGrowing(in, dataHeader, 0, kDataObjectHeaderSize, &got) || got < kDataObjectHeaderSize)
    return Fail(at + got, "file ends inside the Data Object header");
  const ByteSpan data(dataHeader.data(), kDataObjectHeaderSize);
  if (!kDataObject.At(data, 0)) return Fail(at, "no Data Object after the Header Object");
  info_.dataObjectOffset = at;
  info_.dataObjectSize = U64(data, kObjectSizeOffset);
  info_.declaredPackets = U64(data, kDataTotalPacketsOffset);
  return true;
}

bool AsfFileHeader::ParseHeader(std::uint32_t size) {
  const ByteSpan header(bytes_.data(), size);
  bool haveFileProperties = false;
  for (std::uint32_t pos = kHeaderFixedSize; pos < size;) {
    if (size - pos < kObjectHeaderSize)
      return Fail(pos, "header object too short for its own header");
    std::uint64_t objSize = U64(header, pos + kObjectSizeOffset);
    if (objSize < kObjectHeaderSize || objSize > size - pos)
      return Fail(pos + kObjectSizeOffset, "header object size " + Num(objSize) +
                                               " does not fit in the Header Object");
    auto n = static_cast<std::uint32_t>(objSize);
    const ByteSpan o = header.Sub(pos, n);
    if (kFilePropertiesObject.At(o, 0)) {
      if (n < kFilePropertiesSize)
        return Fail(pos, "File Properties Object too short (" + Num(n) + " bytes)");
      info_.preroll = U64(o, kFilePrerollOffset);
      info_.flags = U32(o, kFileFlagsOffset);
      info_.minPacketSize = U32(o, kFileMinPacketSizeOffset);
      info_.maxPacketSize = U32(o, kFileMaxPacketSizeOffset);
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

bool AsfFileHeader::ParseStreamProperties(const std::uint8_t* p, std::uint32_t n,
                                          std::uint64_t offset, bool inExtension) {
  const ByteSpan o(p, n);
  constexpr std::uint32_t kFixed = kStreamTypeSpecificOffset;
  if (n < kFixed) return Fail(offset, "Stream Properties Object too short (" + Num(n) + " bytes)");
  std::uint32_t typeLength = U32(o, kStreamTypeSpecificLengthOffset);
  std::uint32_t ecLength = U32(o, kStreamErrorCorrectionLengthOffset);
  if (typeLength > n - kFixed || ecLength > n - kFixed - typeLength)
    return Fail(offset + kStreamTypeSpecificLengthOffset,
                "Stream Properties data lengths " + Num(typeLength) + " + " + Num(ecLength) +
                    " do not fit in its " + Num(n) + " bytes");
  AsfStreamInfo s;
  s.number = static_cast<std::uint8_t>(U16(o, kStreamFlagsOffset) & kStreamNumberMask);
  s.headerOffset = offset;
  s.headerSize = n;
  s.inExtension = inExtension;
  if (s.number == 0) return Fail(offset + kStreamFlagsOffset, "stream number 0");
  if (info_.Find(s.number))
    return Fail(offset + kStreamFlagsOffset, "stream " + Num(s.number) + " is declared twice");
  s.isVideo = kVideoMedia.At(o, kStreamTypeOffset);
  s.isAudio = kAudioMedia.At(o, kStreamTypeOffset);
  if (s.isVideo && typeLength >= kVideoLayoutBeforeCodecData) {
    s.compression = U32(o, kCompressionCodeOffset);
    s.codecDataSize = typeLength - kVideoLayoutBeforeCodecData;
  }
  info_.streams.push_back(s);
  return true;
}

bool AsfFileHeader::ParseHeaderExtension(const std::uint8_t* p, std::uint32_t n,
                                         std::uint64_t offset) {
  const ByteSpan o(p, n);
  if (n < kExtensionFixedSize)
    return Fail(offset, "Header Extension Object too short (" + Num(n) + " bytes)");
  std::uint32_t dataSize = U32(o, kExtensionDataSizeOffset);
  if (dataSize > n - kExtensionFixedSize)
    return Fail(offset + kExtensionDataSizeOffset, "Header Extension data size " + Num(dataSize) +
                                                       " does not fit in its " + Num(n) + " bytes");
  std::uint32_t end = kExtensionFixedSize + dataSize;
  for (std::uint32_t pos = kExtensionFixedSize; pos < end;) {
    if (end - pos < kObjectHeaderSize)
      return Fail(offset + pos, "header extension object too short for its own header");
    std::uint64_t subSize = U64(o, pos + kObjectSizeOffset);
    if (subSize < kObjectHeaderSize || subSize > end - pos)
      return Fail(offset + pos + kObjectSizeOffset,
                  "header extension object size " + Num(subSize) +
                      " does not fit in the Header Extension Object");
    auto m = static_cast<std::uint32_t>(subSize);
    if (kExtendedStreamPropertiesObject.At(o.Sub(pos, m), 0) &&
        !ParseExtendedStreamProperties(p + pos, m, offset + pos))
      return false;
    pos += m;
  }
  return true;
}

bool AsfFileHeader::ParseExtendedStreamProperties(const std::uint8_t* p, std::uint32_t m,
                                                  std::uint64_t at) {
  const ByteSpan e(p, m);
  if (m < kExtFixedSize)
    return Fail(at, "Extended Stream Properties Object too short (" + Num(m) + " bytes)");
  auto number = static_cast<std::uint8_t>(U16(e, kExtStreamNumberOffset) & kStreamNumberMask);
  std::uint32_t maxObjectSize = U32(e, kExtMaxObjectSizeOffset);
  std::uint64_t timePerFrame = U64(e, kExtAverageTimePerFrameOffset);
  // Names and payload extension systems, then possibly the stream's own
  // Stream Properties Object (streams hidden from the top level).
  std::uint32_t q = kExtFixedSize;
  for (std::uint32_t i = U16(e, kExtNameCountOffset); i > 0; --i) {
    if (m - q < kStreamNameFixedSize) return Fail(at + q, "stream name runs past its object");
    std::uint32_t len = U16(e, q + kStreamNameLengthOffset);
    if (m - q - kStreamNameFixedSize < len)
      return Fail(at + q, "stream name runs past its object");
    q += kStreamNameFixedSize + len;
  }
  for (std::uint32_t i = U16(e, kExtPayloadExtensionCountOffset); i > 0; --i) {
    if (m - q < kPayloadExtensionFixedSize)
      return Fail(at + q, "payload extension system runs past its object");
    std::uint32_t len = U32(e, q + kPayloadExtensionInfoLengthOffset);
    if (m - q - kPayloadExtensionFixedSize < len)
      return Fail(at + q, "payload extension system runs past its object");
    q += kPayloadExtensionFixedSize + len;
  }
  if (m - q >= kObjectHeaderSize && kStreamPropertiesObject.At(e, q)) {
    std::uint64_t spSize = U64(e, q + kObjectSizeOffset);
    if (spSize < kObjectHeaderSize || spSize > m - q)
      return Fail(at + q + kObjectSizeOffset, "embedded Stream Properties size " + Num(spSize) +
                                                  " does not fit in its object");
    if (!ParseStreamProperties(p + q, static_cast<std::uint32_t>(spSize), at + q, true))
      return false;
  }
  extended_.push_back({number, maxObjectSize, timePerFrame, at, m});
  return true;
}

namespace {

void PutLe(std::vector<std::uint8_t>& b, std::uint64_t v, unsigned width) {
  for (unsigned i = 0; i < width; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void Append(std::vector<std::uint8_t>& b, const std::vector<std::uint8_t>& from, std::uint64_t at,
            std::uint32_t size) {
  const auto* p = from.data() + at;
  b.insert(b.end(), p, p + size);
}

void AppendGuid(std::vector<std::uint8_t>& b, const Guid& id) {
  b.insert(b.end(), id.bytes, id.bytes + sizeof id.bytes);
}

}  // namespace

std::vector<std::uint8_t> HeaderForStreamAlone(const std::vector<std::uint8_t>& header,
                                               const AsfStreamInfo& s) {
  const bool extended = s.extendedSize != 0 && s.extendedOffset + s.extendedSize <= header.size();
  std::vector<std::uint8_t> b;
  AppendGuid(b, kHeaderObject);
  PutLe(b, 0, 8);  // size, set below
  PutLe(b, s.extendedSize ? 2 : 1, 4);
  b.push_back(1);  // the two reserved bytes
  b.push_back(2);
  if (extended) {
    AppendGuid(b, kHeaderExtensionObject);
    PutLe(b, kExtensionFixedSize + s.extendedSize, 8);
    AppendGuid(b, kHeaderExtensionReserved1);
    PutLe(b, kExtensionReserved2Value, 2);
    PutLe(b, s.extendedSize, 4);
    Append(b, header, s.extendedOffset, s.extendedSize);
  }
  if (s.headerOffset + s.headerSize <= header.size()) Append(b, header, s.headerOffset, s.headerSize);
  const std::uint64_t size = b.size();
  for (unsigned i = 0; i < 8; ++i) b[kObjectSizeOffset + i] = static_cast<std::uint8_t>(size >> (8 * i));
  return b;
}

}  // namespace asf

#include "asf_data_reader_support.h"

#include "asf_file_builder.h"

#include <cstdio>
#include <cstring>

namespace asftest {

// ---------------------------------------------------------------- MD5 (RFC 1321)

namespace {
constexpr std::uint32_t kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                      5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                      4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                      6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
    0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
    0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
    0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
    0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
    0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
    0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
    0xeb86d391};

void Md5Block(std::uint32_t h[4], const std::uint8_t* block) {
  std::uint32_t m[16];
  for (int i = 0; i < 16; ++i)
    m[i] = static_cast<std::uint32_t>(block[4 * i]) | static_cast<std::uint32_t>(block[4 * i + 1]) << 8 |
           static_cast<std::uint32_t>(block[4 * i + 2]) << 16 |
           static_cast<std::uint32_t>(block[4 * i + 3]) << 24;
  std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
  for (std::uint32_t i = 0; i < 64; ++i) {
    std::uint32_t f, g;
    if (i < 16) { f = (b & c) | (~b & d); g = i; }
    else if (i < 32) { f = (d & b) | (~d & c); g = (5 * i + 1) % 16; }
    else if (i < 48) { f = b ^ c ^ d; g = (3 * i + 5) % 16; }
    else { f = c ^ (b | ~d); g = (7 * i) % 16; }
    std::uint32_t t = d;
    d = c;
    c = b;
    std::uint32_t x = a + f + kSine[i] + m[g];
    b = b + ((x << kShift[i]) | (x >> (32 - kShift[i])));
    a = t;
  }
  h[0] += a; h[1] += b; h[2] += c; h[3] += d;
}
}  // namespace

std::string Md5Hex(const std::uint8_t* data, std::size_t size) {
  std::uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  std::size_t full = size / 64 * 64;
  for (std::size_t i = 0; i < full; i += 64) Md5Block(h, data + i);
  std::uint8_t tail[128] = {};
  std::size_t rest = size - full;
  if (rest) std::memcpy(tail, data + full, rest);
  tail[rest] = 0x80;
  std::size_t tailSize = rest < 56 ? 64 : 128;
  std::uint64_t bits = static_cast<std::uint64_t>(size) * 8;
  for (int i = 0; i < 8; ++i) tail[tailSize - 8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits >> (8 * i));
  Md5Block(h, tail);
  if (tailSize == 128) Md5Block(h, tail + 64);
  static const char* hex = "0123456789abcdef";
  std::string out;
  for (std::uint32_t w : h)
    for (int i = 0; i < 4; ++i) {
      auto byte = static_cast<std::uint8_t>(w >> (8 * i));
      out += hex[byte >> 4];
      out += hex[byte & 15];
    }
  return out;
}

// ---------------------------------------------------------------- oracles

bool RunCommand(const std::string& command, std::string* output) {
#ifdef _WIN32
  (void)command;
  output->clear();
  return false;
#else
  output->clear();
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return false;
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) output->append(buf, n);
  return ::pclose(p) == 0;
#endif
}

bool HaveFfmpeg() {
  static const bool have = [] {
    std::string out;
    return RunCommand("ffmpeg -version >/dev/null 2>&1 && ffprobe -version >/dev/null 2>&1", &out);
  }();
  return have;
}

std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

std::uint8_t FirstWvc1Stream(const asf::AsfFileInfo& info) {
  for (const auto& s : info.streams)
    if (s.isVideo && s.compression == asf::kFourCcWvc1) return s.number;
  return 0;
}

// ---------------------------------------------------------------- builder

namespace {
void Put(Bytes& b, std::uint64_t v, unsigned width) {
  for (unsigned i = 0; i < width; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutTyped(Bytes& b, std::uint64_t v, unsigned type) {
  static constexpr unsigned kWidth[4] = {0, 1, 2, 4};
  Put(b, v, kWidth[type & 3]);
}
const asf::Guid& kFileProperties = asf::kFilePropertiesObject;
const asf::Guid& kDataObject = asf::kDataObject;
}  // namespace

Bytes Replicated(std::uint32_t objectSize, std::uint32_t time) {
  Bytes b;
  Put(b, objectSize, 4);
  Put(b, time, 4);
  return b;
}

Bytes SubPayloads(const std::vector<Bytes>& parts) {
  Bytes b;
  for (const Bytes& p : parts) {
    b.push_back(static_cast<std::uint8_t>(p.size()));
    b.insert(b.end(), p.begin(), p.end());
  }
  return b;
}

void Builder::AddStream(std::uint8_t number, bool video, const char* fourcc,
                        std::uint32_t maxObjectSize, std::uint64_t timePerFrame) {
  streams_.push_back({number, video, fourcc, maxObjectSize, timePerFrame,
                      {0x25, 0, 0, 1, 0x0F, 0xCA, 0x00, 0x09, 0xF0, 0x77, 0x08, 0, 0, 1, 0x0E, 0x48,
                       0x80}});
}

void Builder::EmbedInExtension(std::uint8_t number) {
  for (Stream& st : streams_)
    if (st.number == number) st.embedded = true;
}

void Builder::SetCodecData(std::uint8_t number, const Bytes& codecData) {
  for (Stream& s : streams_)
    if (s.number == number) s.codecData = codecData;
}

void Builder::AddRawPacket(const Bytes& bytes) {
  Bytes p(bytes);
  p.resize(packetSize_, 0);
  packets_.insert(packets_.end(), p.begin(), p.end());
}

void Builder::AddPacket(const Packet& k) {
  // Payload bytes first, so the header can say how much padding follows.
  Bytes body;
  if (k.multiple)
    body.push_back(static_cast<std::uint8_t>(
        (k.payloadCount >= 0 ? static_cast<std::uint64_t>(k.payloadCount) : k.payloads.size()) |
        k.payloadLengthType << 6));
  for (std::size_t i = 0; i < k.payloads.size(); ++i) {
    const Payload& p = k.payloads[i];
    body.push_back(static_cast<std::uint8_t>(p.stream | (p.key ? 0x80 : 0)));
    PutTyped(body, p.object, k.objectType);
    PutTyped(body, p.offset, k.offsetType);
    PutTyped(body, p.replicated.size(), k.replicatedType);
    body.insert(body.end(), p.replicated.begin(), p.replicated.end());
    if (k.multiple) {
      std::int64_t length = i < k.payloadLengths.size() ? k.payloadLengths[i] : -1;
      PutTyped(body, length >= 0 ? static_cast<std::uint64_t>(length) : p.data.size(),
               k.payloadLengthType);
    }
    body.insert(body.end(), p.data.begin(), p.data.end());
  }
  static constexpr unsigned kWidth[4] = {0, 1, 2, 4};
  Bytes head;
  if (k.errorCorrection) {
    head.push_back(0x82);
    head.push_back(0);
    head.push_back(0);
  }
  head.push_back(static_cast<std::uint8_t>((k.multiple ? 1 : 0) | k.sequenceType << 1 |
                                           k.paddingLengthType << 3 | k.packetLengthType << 5));
  head.push_back(static_cast<std::uint8_t>(k.replicatedType | k.offsetType << 2 |
                                           k.objectType << 4 | k.streamType << 6));
  std::size_t headSize = head.size() + kWidth[k.packetLengthType & 3] +
                         kWidth[k.sequenceType & 3] + kWidth[k.paddingLengthType & 3] + 6;
  std::size_t natural = headSize + body.size();
  std::size_t slack = natural < packetSize_ ? packetSize_ - natural : 0;
  std::uint64_t length = k.packetLength >= 0 ? static_cast<std::uint64_t>(k.packetLength)
                         : k.packetLengthType ? natural
                                              : packetSize_;
  std::uint64_t padding = k.padding >= 0                  ? static_cast<std::uint64_t>(k.padding)
                          : k.packetLengthType ? 0
                          : k.paddingLengthType ? slack
                                                : 0;
  PutTyped(head, length, k.packetLengthType);
  PutTyped(head, 0, k.sequenceType);
  PutTyped(head, padding, k.paddingLengthType);
  Put(head, 1000, 4);  // send time
  Put(head, 0, 2);     // duration
  head.insert(head.end(), body.begin(), body.end());
  AddRawPacket(head);
}

void Builder::AddFrame(std::uint8_t stream, std::uint32_t object, const Bytes& frame, bool key,
                       std::uint32_t time, std::uint32_t piece) {
  for (std::uint32_t at = 0; at < frame.size(); at += piece) {
    Packet k;
    Payload p;
    p.stream = stream;
    p.key = key;
    p.object = object;
    p.offset = at;
    p.replicated = Replicated(static_cast<std::uint32_t>(frame.size()), time);
    std::size_t end = std::min<std::size_t>(frame.size(), at + piece);
    p.data.assign(frame.begin() + static_cast<std::ptrdiff_t>(at),
                  frame.begin() + static_cast<std::ptrdiff_t>(end));
    k.payloads.push_back(p);
    AddPacket(k);
  }
}

Bytes Builder::Build() const {
  Bytes fileProps(16, 0x11);  // file id
  Put(fileProps, 0, 8);       // file size
  Put(fileProps, 0, 8);       // creation date
  Put(fileProps, packets_.size() / packetSize_, 8);
  Put(fileProps, 0, 8);  // play duration
  Put(fileProps, 0, 8);  // send duration
  Put(fileProps, 3000, 8);
  Put(fileProps, fileFlags, 4);
  Put(fileProps, minPacketSize ? minPacketSize : packetSize_, 4);
  Put(fileProps, maxPacketSize ? maxPacketSize : packetSize_, 4);
  Put(fileProps, 1000000, 4);

  std::vector<Bytes> objects{asfbuild::Object(kFileProperties, fileProps)};
  std::vector<Bytes> extensions;
  for (const Stream& s : streams_) {
    Bytes so = s.video ? asfbuild::VideoStreamProperties({s.codecData, s.fourcc, s.number})
                       : asfbuild::AudioStreamProperties(s.number);
    Bytes x = asfbuild::ExtendedStreamProperties(s.number, s.timePerFrame);
    asfbuild::PatchLe(x, 64, s.maxObjectSize, 4);
    // A stream hidden from the top level declares itself inside its
    // extended properties.
    if (s.embedded) {
      x.insert(x.end(), so.begin(), so.end());
      asfbuild::SetObjectSize(x, x.size());
    } else {
      objects.push_back(so);
    }
    extensions.push_back(x);
  }
  objects.insert(objects.begin() + 1, asfbuild::HeaderExtension(extensions));
  Bytes file = asfbuild::HeaderObject(objects);

  file.insert(file.end(), kDataObject.bytes, kDataObject.bytes + 16);
  Put(file, dataObjectSize >= 0 ? static_cast<std::uint64_t>(dataObjectSize) : packets_.size() + 50, 8);
  file.insert(file.end(), 16, 0x11);  // file id
  Put(file, packets_.size() / packetSize_, 8);
  file.push_back(1);
  file.push_back(1);
  file.insert(file.end(), packets_.begin(), packets_.end());
  return file;
}

}  // namespace asftest

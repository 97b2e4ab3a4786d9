#include "asf_file_builder.h"

namespace asfbuild {

namespace {
constexpr const asf::Guid& kAudioMedia = asf::kAudioMedia;
constexpr asf::Guid kReserved1 = asf::kHeaderExtensionReserved1;

Bytes GuidBytes(const asf::Guid& id) { return Bytes(id.bytes, id.bytes + sizeof id.bytes); }

Bytes StreamPropertiesBody(const asf::Guid& type, std::uint16_t number, const Bytes& typeSpecific) {
  Bytes b = GuidBytes(type);
  b.resize(b.size() + 16 + 8);                   // error correction type, time offset
  PutLe(b, typeSpecific.size(), 4);
  PutLe(b, 0, 4);                                // error correction data length
  PutLe(b, number, 2);
  PutLe(b, 0, 4);                                // reserved
  b.insert(b.end(), typeSpecific.begin(), typeSpecific.end());
  return b;
}
}  // namespace

void PutLe(Bytes& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PatchLe(Bytes& out, std::size_t offset, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.at(offset + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(value >> (8 * i));
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Object(const asf::Guid& id, const Bytes& body) {
  Bytes o = GuidBytes(id);
  PutLe(o, 24 + body.size(), 8);
  o.insert(o.end(), body.begin(), body.end());
  return o;
}

void SetObjectSize(Bytes& object, std::uint64_t size) { PatchLe(object, 16, size, 8); }

Bytes VideoStreamProperties(const Video& video) {
  Bytes ts;
  PutLe(ts, video.width, 4);  // encoded width
  PutLe(ts, video.height, 4);  // encoded height
  PutLe(ts, 2, 1);    // reserved flags
  PutLe(ts, 40 + video.codecData.size(), 2);
  PutLe(ts, 40 + video.codecData.size(), 4);  // bitmap header size
  PutLe(ts, video.width, 4);
  PutLe(ts, video.height, 4);
  PutLe(ts, 1, 2);   // planes
  PutLe(ts, 24, 2);  // bit count
  for (std::size_t i = 0; i < 4; ++i)
    ts.push_back(static_cast<std::uint8_t>(i < video.fourcc.size() ? video.fourcc[i] : 0));
  ts.resize(ts.size() + 20);  // image size, resolution, colour counts
  ts.insert(ts.end(), video.codecData.begin(), video.codecData.end());
  return Object(asf::kStreamPropertiesObject,
                StreamPropertiesBody(asf::kVideoMedia, video.streamNumber, ts));
}

Bytes AudioStreamProperties(std::uint16_t streamNumber) {
  Bytes wave(18, 0);
  PatchLe(wave, 0, 0x0161, 2);  // format tag
  PatchLe(wave, 2, 2, 2);       // channels
  return Object(asf::kStreamPropertiesObject, StreamPropertiesBody(kAudioMedia, streamNumber, wave));
}

Bytes ExtendedStreamProperties(std::uint16_t streamNumber, std::uint64_t averageTimePerFrame) {
  Bytes b(48, 0);  // start/end time, rates, buffers, maximum object size, flags
  PutLe(b, streamNumber, 2);
  PutLe(b, 0, 2);  // language index
  PutLe(b, averageTimePerFrame, 8);
  PutLe(b, 0, 2);  // stream name count
  PutLe(b, 0, 2);  // payload extension system count
  return Object(asf::kExtendedStreamPropertiesObject, b);
}

Bytes HeaderExtension(const std::vector<Bytes>& subObjects) {
  Bytes data;
  for (const Bytes& s : subObjects) data.insert(data.end(), s.begin(), s.end());
  Bytes b = GuidBytes(kReserved1);
  PutLe(b, 6, 2);
  PutLe(b, data.size(), 4);
  b.insert(b.end(), data.begin(), data.end());
  return Object(asf::kHeaderExtensionObject, b);
}

Bytes HeaderObject(const std::vector<Bytes>& objects, std::size_t trailing) {
  Bytes body;
  for (const Bytes& o : objects) body.insert(body.end(), o.begin(), o.end());
  Bytes h = GuidBytes(asf::kHeaderObject);
  PutLe(h, kHeaderFixedSize + body.size(), 8);
  PutLe(h, objects.size(), 4);
  PutLe(h, 1, 1);
  PutLe(h, 2, 1);
  h.insert(h.end(), body.begin(), body.end());
  h.resize(h.size() + trailing, 0xA5);
  return h;
}

Bytes LeadingByteCodecData() {
  Bytes b{0x25};
  Bytes bare = BareCodecData();
  b.insert(b.end(), bare.begin(), bare.end());
  return b;
}

Bytes BareCodecData() {
  // fishes.wmv's headers: 512x288, 25 fps, one leaky bucket.
  return {0x00, 0x00, 0x01, 0x0F, 0xCB, 0xA0, 0x0F, 0xF0, 0x8F, 0x8A, 0x0F, 0xF8, 0x23, 0xF1, 0x80,
          0x85, 0x08, 0x19, 0xFE, 0x3C, 0xFB, 0x9C, 0x00, 0x00, 0x01, 0x0E, 0x5A, 0x67, 0xF8, 0x40};
}

}  // namespace asfbuild

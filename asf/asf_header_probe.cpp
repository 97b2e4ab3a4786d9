#include "asf/asf_header_probe.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "asf/asf_guid.h"
#include "asf/asf_layout.h"
#include "asf/byte_span.h"

namespace asf {

namespace {

// What one call of the probe is allowed and asked to do; the two public
// variants differ only in these.
struct ProbeOptions {
  std::uint32_t capacity;
  bool announceStreamType;               // print the stream-type line (the inspection tool)
  std::uint32_t* microsecondsPerFrame;   // wanted by the writer only; null otherwise
};

// The Header Object's body, as far as it is read, and its declared object count.
struct HeaderBody {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::uint32_t size = 0;
  std::uint32_t objectCount = 0;

  ByteSpan Span() const { return ByteSpan(bytes.get(), size); }
};

bool ReadHeaderBody(platform::ByteReader& file, HeaderBody* body) {
  std::uint8_t fixed[kHeaderFixedSize];
  std::uint32_t got = 0;
  if (!file.Read(fixed, kHeaderFixedSize, &got) || got != kHeaderFixedSize) return false;
  const ByteSpan head(fixed, sizeof fixed);
  if (!kHeaderObject.At(head, 0)) return false;

  std::uint32_t objectSize = 0;
  head.U32(kObjectSizeOffset, &objectSize);  // the low half; the high half is ignored
  head.U32(kHeaderObjectCountOffset, &body->objectCount);
  // A size below the fixed part wraps to a huge body and is then capped.
  std::uint32_t bodySize = objectSize - kHeaderFixedSize;
  if (bodySize >= ASF_HEADER_READ_LIMIT) bodySize = ASF_HEADER_READ_LIMIT;

  body->bytes.reset(new (std::nothrow) std::uint8_t[bodySize == 0 ? 1 : bodySize]);
  if (!body->bytes) return false;
  if (!file.Read(body->bytes.get(), bodySize, &got) || got != bodySize) return false;
  body->size = bodySize;
  return true;
}

// Calls visit(object) for each object of `objects` in order, where object
// is the span of bytes that object's size claims, until visit returns true,
// `count` objects have been taken, or fewer than the next object's header
// (plus one byte) remain. An object that would run past the end ends the walk:
// nothing after it can be located reliably, and a size that wraps the 32-bit
// position would otherwise send the walk backwards.
template <typename Visit>
void ForEachObject(const ByteSpan& objects, std::uint32_t count, Visit visit) {
  std::size_t p = 0;
  for (std::uint32_t i = 0; i < count && p + kObjectHeaderSize < objects.size(); ++i) {
    std::uint32_t size = 0;
    objects.U32(p + kObjectSizeOffset, &size);
    // An empty object does not move the walk; every remaining turn would look
    // at the same empty bytes and find nothing.
    if (size == 0) return;
    if (size > objects.size() - p) return;
    if (visit(objects.Sub(p, size))) return;
    p += size;
  }
}

// Header Extension sub-objects: each is examined only when its header and its
// whole extent lie inside the extension. One whose size would not carry the
// walk past its own header ends the walk.
template <typename Visit>
void ForEachExtensionObject(const ByteSpan& extension, Visit visit) {
  std::size_t p = kExtensionFixedSize;
  while (extension.Contains(p, kObjectHeaderSize)) {
    std::uint32_t size = 0;
    extension.U32(p + kObjectSizeOffset, &size);
    if (size < kObjectHeaderSize || size > extension.size() - p) return;
    if (visit(extension.Sub(p, size))) return;
    p += size;
  }
}

struct VideoStream {
  ByteSpan codecData;
  std::uint16_t number = 0;
};

void AnnounceStreamType(const ByteSpan& code) {
  if (code.Matches(0, reinterpret_cast<const std::uint8_t*>("WVC1"), kCompressionCodeSize)) {
    std::fputs("Found \"WVC1\" Video Stream in WMV/ASF, parsing header data...\n", stdout);
  } else {
    const std::uint8_t* c = code.data();
    std::printf("Warning: WMV/ASF Video Stream Type = %c%c%c%c, not \"WVC1\"\n", c[0], c[1], c[2],
                c[3]);
  }
}

// The codec data of a video Stream Properties Object, or false when the
// object is not video or its codec data is absent, too long for the
// destination, or claimed to reach past the object.
bool ReadVideoStreamProperties(const ByteSpan& object, const ProbeOptions& options,
                               VideoStream* video) {
  if (!kVideoMedia.At(object, kStreamTypeOffset)) return false;
  // Too short to hold even the compression code: not a video description at all.
  const ByteSpan code = object.Sub(kCompressionCodeOffset, kCompressionCodeSize);
  if (code.empty()) return false;
  if (options.announceStreamType) AnnounceStreamType(code);

  std::uint32_t length = 0;
  std::uint16_t flags = 0;
  object.U32(kStreamTypeSpecificLengthOffset, &length);
  object.U16(kStreamFlagsOffset, &flags);
  if (length <= kVideoLayoutBeforeCodecData) return false;
  const std::uint32_t n = length - kVideoLayoutBeforeCodecData;
  if (n > options.capacity) return false;
  const ByteSpan codecData = object.Sub(kCodecDataOffset, n);
  if (codecData.empty()) return false;
  video->codecData = codecData;
  video->number = static_cast<std::uint16_t>(flags & kStreamNumberMask);
  return true;
}

// Average time per frame of stream `number`, in microseconds rounded half up,
// from the first Extended Stream Properties Object that names it in any
// Header Extension Object of the header; 0 when none does. The extension may
// come before or after the stream's own object, so this is a walk of its own.
std::uint32_t FindAverageTimePerFrame(const HeaderBody& body, std::uint16_t number) {
  std::uint32_t microseconds = 0;
  bool found = false;
  ForEachObject(body.Span(), body.objectCount, [&](const ByteSpan& object) {
    if (!kHeaderExtensionObject.At(object, 0)) return false;
    ForEachExtensionObject(object, [&](const ByteSpan& sub) {
      std::uint16_t stream = 0;
      std::uint64_t hundredNs = 0;
      if (!kExtendedStreamPropertiesObject.At(sub, 0) || !sub.U16(kExtStreamNumberOffset, &stream) ||
          !sub.U64(kExtAverageTimePerFrameOffset, &hundredNs) || stream != number) {
        return false;
      }
      microseconds = static_cast<std::uint32_t>((hundredNs + 5) / 10);
      found = true;
      return true;
    });
    return found;
  });
  return microseconds;
}

std::uint32_t Probe(platform::ByteReader& file, std::uint8_t* destination,
                    const ProbeOptions& options) {
  if (options.microsecondsPerFrame) *options.microsecondsPerFrame = 0;
  HeaderBody body;
  if (!ReadHeaderBody(file, &body)) return 0;

  VideoStream video;
  bool found = false;
  ForEachObject(body.Span(), body.objectCount, [&](const ByteSpan& object) {
    found = kStreamPropertiesObject.At(object, 0) &&
            ReadVideoStreamProperties(object, options, &video);
    return found;
  });
  if (!found) return 0;

  std::memcpy(destination, video.codecData.data(), video.codecData.size());
  if (options.microsecondsPerFrame)
    *options.microsecondsPerFrame = FindAverageTimePerFrame(body, video.number);
  return static_cast<std::uint32_t>(video.codecData.size());
}

}  // namespace

std::uint32_t AsfHeaderProbe::FindVideoCodecData(std::uint8_t* destination) {
  return Probe(file_, destination, ProbeOptions{kKestrineCodecDataSize, true, nullptr});
}

std::uint32_t AsfHeaderProbe::FindVideoCodecData(std::uint8_t* destination, std::uint32_t capacity,
                                                 std::uint32_t* microsecondsPerFrame) {
  std::uint32_t unused = 0;
  return Probe(file_, destination,
               ProbeOptions{capacity, false, microsecondsPerFrame ? microsecondsPerFrame : &unused});
}

}  // namespace asf

#include "asf/asf_header_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "asf_file_builder.h"
#include "test_data.h"

namespace {

using asfbuild::Bytes;

constexpr std::uint32_t kWriterCapacity = 1024;
constexpr std::size_t kCountOffset = asfbuild::kHeaderCountOffset;

struct KestrineResult {
  Bytes data;
  std::string printed;
  std::size_t consumed = 0;
};

KestrineResult RunKestrineProbe(const Bytes& file) {
  // An exact-size copy: ASan then catches any read past the input's end.
  std::vector<std::uint8_t> exact(file);
  platform::MemoryReader reader(exact.data(), exact.size());
  std::vector<std::uint8_t> buffer(asf::kKestrineCodecDataSize);
  testing::internal::CaptureStdout();
  std::uint32_t n = asf::AsfHeaderProbe(reader).FindVideoCodecData(buffer.data());
  KestrineResult r;
  r.printed = testing::internal::GetCapturedStdout();
  r.data.assign(buffer.data(), buffer.data() + n);
  r.consumed = reader.Offset();
  return r;
}

struct WriterResult {
  Bytes data;
  std::uint32_t microseconds = 0;
  std::string printed;
};

WriterResult RunWriterProbe(const Bytes& file, std::uint32_t capacity = kWriterCapacity) {
  std::vector<std::uint8_t> exact(file);
  platform::MemoryReader reader(exact.data(), exact.size());
  std::vector<std::uint8_t> buffer(capacity);
  WriterResult r;
  r.microseconds = 0xDEADBEEF;  // must be cleared whatever happens
  testing::internal::CaptureStdout();
  std::uint32_t n = asf::AsfHeaderProbe(reader).FindVideoCodecData(buffer.data(), capacity, &r.microseconds);
  r.printed = testing::internal::GetCapturedStdout();
  r.data.assign(buffer.data(), buffer.data() + n);
  return r;
}

const char kFoundLine[] = "Found \"WVC1\" Video Stream in WMV/ASF, parsing header data...\n";

Bytes Video(const Bytes& codec, const char* fourcc = "WVC1", std::uint16_t number = 2) {
  return asfbuild::VideoStreamProperties({codec, fourcc, number});
}

Bytes WithTypeSpecificLength(Bytes object, std::uint32_t length) {
  asfbuild::PatchLe(object, asfbuild::kTypeSpecificLengthOffset, length, 4);
  return object;
}

Bytes Sized(Bytes object, std::uint64_t size) {
  asfbuild::SetObjectSize(object, size);
  return object;
}

Bytes WithCount(Bytes file, std::uint32_t count) {
  asfbuild::PatchLe(file, kCountOffset, count, 4);
  return file;
}

// An object the probe does not know, of exactly `size` bytes.
Bytes Filler(std::size_t size) {
  constexpr asf::Guid kOther = asf::MakeGuid(0x8CABDCA1, 0xA947, 0x11CF, 0x8EE4, 0x00C00C205365);
  return asfbuild::Object(kOther, Bytes(size - 24, 0));
}

const Bytes kCodec = asfbuild::LeadingByteCodecData();

// ------------------------------------------------------------------ both variants

struct Row {
  const char* name;
  Bytes file;
  std::size_t expectedBytes;   // both variants copy the same bytes
  std::string printed;         // the inspection tool's lines, "" for none
};

std::vector<Row> HostileRows() {
  const Bytes good = asfbuild::HeaderObject({Video(kCodec)});
  Bytes es = asfbuild::BareCodecData();
  std::vector<Row> rows = {
      {"empty input", {}, 0, ""},
      {"29 bytes of a good header", Bytes(good.begin(), good.begin() + 29), 0, ""},
      {"elementary stream", es, 0, ""},
      {"wrong header identifier", [&] { Bytes b = good; b[3] ^= 1; return b; }(), 0, ""},
      {"well formed", good, kCodec.size(), kFoundLine},
      {"body cut short by end of file", Bytes(good.begin(), good.end() - 1), 0, ""},
      {"header size 0 wraps, read comes back short", Sized(good, 0), 0, ""},
      {"header size 29 wraps", Sized(good, 29), 0, ""},
      {"header size 30: empty body", Sized(good, 30), 0, ""},
      {"header size high half ignored", Sized(good, (1ULL << 32) + good.size()), kCodec.size(),
       kFoundLine},
      {"header size past end of file", Sized(good, good.size() + 1), 0, ""},
      {"object count 0", WithCount(good, 0), 0, ""},
      {"object count stops before video", WithCount(asfbuild::HeaderObject({Filler(40), Video(kCodec)}), 1), 0, ""},
      {"object count huge", WithCount(good, 0xFFFFFFFF), kCodec.size(), kFoundLine},
      {"empty object spins no more", WithCount(asfbuild::HeaderObject({Sized(Filler(40), 0), Video(kCodec)}), 0xFFFFFFFF), 0, ""},
      {"object shorter than its header misaligns the walk", asfbuild::HeaderObject({Sized(Filler(40), 23), Video(kCodec)}), 0, ""},
      {"object past the body", asfbuild::HeaderObject({Sized(Filler(40), 10000), Video(kCodec)}), 0, ""},
      {"object size wraps the position", asfbuild::HeaderObject({Sized(Filler(40), 0xFFFFFFF0), Video(kCodec)}), 0, ""},
      {"object size wraps to the video", asfbuild::HeaderObject({Sized(Filler(40), 0x1'0000'0028ULL), Video(kCodec)}), kCodec.size(), kFoundLine},
      {"video object ends exactly at body end", asfbuild::HeaderObject({Filler(40), Video(kCodec)}), kCodec.size(), kFoundLine},
      {"video object runs past body", asfbuild::HeaderObject({Sized(Video(kCodec), 24 + 129 + kCodec.size() + 1)}), 0, ""},
      {"stream type cut off", asfbuild::HeaderObject({Sized(Video(kCodec), 39)}), 0, ""},
      {"too short for the compression code", asfbuild::HeaderObject({Sized(Video(kCodec), 108)}), 0, ""},
      {"codec length reaches past its object", asfbuild::HeaderObject({WithTypeSpecificLength(Video(kCodec), 51 + static_cast<std::uint32_t>(kCodec.size()) + 1), Filler(100)}), 0, kFoundLine},
      {"codec length 0", asfbuild::HeaderObject({WithTypeSpecificLength(Video(kCodec), 0)}), 0, kFoundLine},
      {"codec length 51 leaves nothing", asfbuild::HeaderObject({WithTypeSpecificLength(Video(kCodec), 51)}), 0, kFoundLine},
      {"codec length 52 gives one byte", asfbuild::HeaderObject({WithTypeSpecificLength(Video(kCodec), 52)}), 1, kFoundLine},
      {"codec length 0xFFFFFFFF", asfbuild::HeaderObject({WithTypeSpecificLength(Video(kCodec), 0xFFFFFFFF)}), 0, kFoundLine},
      {"audio only", asfbuild::HeaderObject({asfbuild::AudioStreamProperties(1)}), 0, ""},
      {"audio before video", asfbuild::HeaderObject({asfbuild::AudioStreamProperties(1), Video(kCodec)}), kCodec.size(), kFoundLine},
      {"unusable video, then a good one", asfbuild::HeaderObject({WithTypeSpecificLength(Video(kCodec), 51), Video(kCodec)}), kCodec.size(), std::string(kFoundLine) + kFoundLine},
  };
  return rows;
}

TEST(AsfHeaderProbe, HostileAndMalformedHeaders) {
  for (const Row& row : HostileRows()) {
    SCOPED_TRACE(row.name);
    KestrineResult k = RunKestrineProbe(row.file);
    EXPECT_EQ(k.data.size(), row.expectedBytes);
    EXPECT_EQ(k.printed, row.printed);
    WriterResult w = RunWriterProbe(row.file);
    EXPECT_EQ(w.data, k.data);
    EXPECT_EQ(w.printed, "");
    if (w.data.empty()) {
      EXPECT_EQ(w.microseconds, 0u);
    }
  }
}

TEST(AsfHeaderProbe, ReadsOnlyTheFixedPartOfANonAsfFile) {
  Bytes es = asfbuild::BareCodecData();
  es.resize(200, 0);
  EXPECT_EQ(RunKestrineProbe(es).consumed, 30u);
}

TEST(AsfHeaderProbe, ReadsAtMostTheCappedBodyAndWalksOnlyThat) {
  // 102400 body bytes are read whatever the header claims; a video object
  // that lies inside them is found, one that crosses the limit is not.
  const std::size_t limit = asf::ASF_HEADER_READ_LIMIT;
  const Bytes video = Video(kCodec);
  struct Case {
    const char* name;
    std::size_t fillerBefore;
    std::uint64_t headerSize;
    std::size_t expected;
  } cases[] = {
      {"video ends at the limit", limit - video.size(), 0xFFFFFFFF, kCodec.size()},
      {"video crosses the limit", limit - video.size() + 1, 0xFFFFFFFF, 0},
      {"header size below the fixed part wraps to the limit", limit - video.size(), 5, kCodec.size()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = asfbuild::HeaderObject({Filler(c.fillerBefore), video}, limit);
    asfbuild::SetObjectSize(file, c.headerSize);
    KestrineResult k = RunKestrineProbe(file);
    EXPECT_EQ(k.data.size(), c.expected);
    EXPECT_EQ(k.consumed, 30 + limit);
    EXPECT_EQ(RunWriterProbe(file).data.size(), c.expected);
  }
}

TEST(AsfHeaderProbe, CopiesWholeCodecDataUpToEachVariantsCapacity) {
  struct Case {
    std::size_t codecBytes;
    std::uint32_t writerCapacity;
    bool kestrineCopies;
    bool writerCopies;
  } cases[] = {
      {65536, kWriterCapacity, true, false},
      {65537, kWriterCapacity, false, false},
      {1024, 1024, true, true},
      {1025, 1024, true, false},
      {1, 1, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codecBytes);
    Bytes codec(c.codecBytes);
    for (std::size_t i = 0; i < codec.size(); ++i) codec[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const Bytes file = asfbuild::HeaderObject({Video(codec)});
    KestrineResult k = RunKestrineProbe(file);
    EXPECT_EQ(k.printed, kFoundLine);  // printed before the length is judged
    EXPECT_EQ(k.data, c.kestrineCopies ? codec : Bytes());
    EXPECT_EQ(RunWriterProbe(file, c.writerCapacity).data, c.writerCopies ? codec : Bytes());
  }
}

TEST(AsfHeaderProbe, OtherCompressionCodesAreWarnedAboutAndStillCopied) {
  struct Case {
    const char* fourcc;
    std::string line;
  } cases[] = {
      {"WMV3", "Warning: WMV/ASF Video Stream Type = WMV3, not \"WVC1\"\n"},
      {"wvc1", "Warning: WMV/ASF Video Stream Type = wvc1, not \"WVC1\"\n"},
      {"WVC", std::string("Warning: WMV/ASF Video Stream Type = WVC", 40) + '\0' + ", not \"WVC1\"\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fourcc);
    const Bytes file = asfbuild::HeaderObject({Video(kCodec, c.fourcc)});
    KestrineResult k = RunKestrineProbe(file);
    EXPECT_EQ(k.printed, c.line);
    EXPECT_EQ(k.data, kCodec);
    EXPECT_EQ(RunWriterProbe(file).data, kCodec);
  }
}

TEST(AsfHeaderProbe, WriterKeepsTheFirstCodecByte) {
  // Files whose codec data starts straight with the start code must keep it.
  for (const Bytes& codec : {asfbuild::LeadingByteCodecData(), asfbuild::BareCodecData()}) {
    const Bytes file = asfbuild::HeaderObject({Video(codec)});
    EXPECT_EQ(RunWriterProbe(file).data, codec);
  }
}

// ------------------------------------------------------------------ time per frame

TEST(AsfHeaderProbe, WriterTakesTheVideoStreamsOwnFrameTime) {
  using asfbuild::ExtendedStreamProperties;
  using asfbuild::HeaderExtension;
  const Bytes video = Video(kCodec, "WVC1", 2);
  const Bytes audio = asfbuild::AudioStreamProperties(1);
  Bytes shortEsp = ExtendedStreamProperties(2, 400000);
  shortEsp.resize(83);  // Average Time Per Frame cut by one byte
  asfbuild::SetObjectSize(shortEsp, shortEsp.size());
  Bytes encryptedFlag = Video(kCodec, "WVC1", 2);
  asfbuild::PatchLe(encryptedFlag, 72, 0x8002, 2);  // stream number lives in the low 7 bits
  Bytes heoTooShort = HeaderExtension({});
  heoTooShort.resize(45);
  asfbuild::SetObjectSize(heoTooShort, heoTooShort.size());
  auto extensionWith = [](Bytes sub, std::uint64_t size) {
    asfbuild::SetObjectSize(sub, size);
    return HeaderExtension({sub, ExtendedStreamProperties(2, 400000)});
  };

  struct Case {
    const char* name;
    Bytes file;
    std::uint32_t expected;
  } cases[] = {
      {"extension before video",
       asfbuild::HeaderObject({HeaderExtension({ExtendedStreamProperties(2, 400000)}), audio, video}), 40000},
      {"extension after video",
       asfbuild::HeaderObject({video, HeaderExtension({ExtendedStreamProperties(2, 416667)})}), 41667},
      {"audio's object last",
       asfbuild::HeaderObject({HeaderExtension({ExtendedStreamProperties(2, 400000),
                                               ExtendedStreamProperties(1, 1987297)}), audio, video}), 40000},
      {"audio's object last, zero",
       asfbuild::HeaderObject({HeaderExtension({ExtendedStreamProperties(2, 333667),
                                               ExtendedStreamProperties(1, 0)}), video}), 33367},
      {"only another stream's object", asfbuild::HeaderObject({HeaderExtension({ExtendedStreamProperties(1, 400000)}), video}), 0},
      {"no extension", asfbuild::HeaderObject({audio, video}), 0},
      {"video's object in a second extension",
       asfbuild::HeaderObject({HeaderExtension({ExtendedStreamProperties(1, 1987297)}), video,
                              HeaderExtension({ExtendedStreamProperties(2, 417083)})}), 41708},
      {"stream number under the encrypted flag",
       asfbuild::HeaderObject({encryptedFlag, HeaderExtension({ExtendedStreamProperties(2, 400000)})}), 40000},
      {"64-bit time keeps the low 32 bits of the quotient",
       asfbuild::HeaderObject({video, HeaderExtension({ExtendedStreamProperties(2, 0x10'0000'0005ULL * 10)})}), 5},
      {"rounds half up", asfbuild::HeaderObject({video, HeaderExtension({ExtendedStreamProperties(2, 5)})}), 1},
      {"too short for the time", asfbuild::HeaderObject({video, HeaderExtension({shortEsp})}), 0},
      {"extension too short for its sub-objects", asfbuild::HeaderObject({video, heoTooShort}), 0},
      {"sub-object of size 0 ends the walk", asfbuild::HeaderObject({video, extensionWith(ExtendedStreamProperties(1, 1), 0)}), 0},
      {"sub-object shorter than its header ends the walk", asfbuild::HeaderObject({video, extensionWith(ExtendedStreamProperties(1, 1), 23)}), 0},
      {"sub-object past the extension", asfbuild::HeaderObject({video, extensionWith(ExtendedStreamProperties(1, 1), 1000)}), 0},
      {"sub-object size wraps", asfbuild::HeaderObject({video, extensionWith(ExtendedStreamProperties(1, 1), 0xFFFFFFFF)}), 0},
      {"sub-object size with high half", asfbuild::HeaderObject({video, extensionWith(ExtendedStreamProperties(1, 1), 0x1'0000'0000ULL + 88)}), 40000},
      {"extension beyond the object count",
       WithCount(asfbuild::HeaderObject({video, HeaderExtension({ExtendedStreamProperties(2, 400000)})}), 1), 0},
      {"no usable video", asfbuild::HeaderObject({audio, HeaderExtension({ExtendedStreamProperties(1, 400000)})}), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriterResult w = RunWriterProbe(c.file);
    EXPECT_EQ(w.microseconds, c.expected);
  }
}

TEST(AsfHeaderProbe, WriterAcceptsNoTimeOut) {
  const Bytes file = asfbuild::HeaderObject({Video(kCodec)});
  platform::MemoryReader reader(file.data(), file.size());
  std::uint8_t buffer[kWriterCapacity];
  EXPECT_EQ(asf::AsfHeaderProbe(reader).FindVideoCodecData(buffer, kWriterCapacity, nullptr), kCodec.size());
}

// ------------------------------------------------------------------ real files

TEST(AsfHeaderProbe, RealFiles) {
  VC1_REQUIRE_TESTDATA();
  struct Case {
    const char* file;
    std::size_t bytes;
    std::uint8_t first;
    std::uint32_t microseconds;
  } cases[] = {
      {"wmv/fishes.wmv", 31, 0x25, 40000},
      {"wmv/ladybug.wmv", 31, 0x25, 40000},
      {"wmv/TallShip-medium.wmv", 34, 0x25, 33333},
      {"wmv/gstvaapi_vc1_clip.ffmpeg.wmv", 26, 0x00, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Bytes file = testdata::ReadFile(testdata::Path(c.file));
    ASSERT_FALSE(file.empty());
    KestrineResult k = RunKestrineProbe(file);
    EXPECT_EQ(k.printed, kFoundLine);
    ASSERT_EQ(k.data.size(), c.bytes);
    EXPECT_EQ(k.data[0], c.first);
    const Bytes sequenceStart{0x00, 0x00, 0x01, 0x0F};
    EXPECT_TRUE(std::search(k.data.begin(), k.data.end(), sequenceStart.begin(), sequenceStart.end()) !=
                k.data.end());
    WriterResult w = RunWriterProbe(file);
    EXPECT_EQ(w.data, k.data);
    EXPECT_EQ(w.microseconds, c.microseconds);
  }
}

}  // namespace

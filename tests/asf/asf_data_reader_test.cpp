#include "asf/asf_data_reader.h"

#include <gtest/gtest.h>

#include <sstream>

#include "asf_data_reader_support.h"
#include "test_data.h"

namespace {

using asf::AsfDataReader;
using asf::AsfFrame;
using asftest::Bytes;
using asftest::FirstWvc1Stream;
using asftest::Packet;
using asftest::Payload;

struct Read {
  std::vector<Bytes> frames;
  std::vector<bool> keys;
  std::vector<std::uint32_t> times;
  std::string error;  // empty when the data ended cleanly
};

Read ReadAll(platform::ByteReader& in, std::uint8_t stream) {
  Read r;
  AsfDataReader reader(in);
  if (!reader.Open()) {
    r.error = reader.ErrorMessage();
    return r;
  }
  if (!reader.SelectStream(stream)) {
    r.error = "no stream " + std::to_string(stream);
    return r;
  }
  AsfFrame f;
  AsfDataReader::Status st;
  while ((st = reader.Next(&f)) == AsfDataReader::Status::kFrame) {
    r.frames.emplace_back(f.data, f.data + f.size);
    r.keys.push_back(f.keyFrame);
    r.times.push_back(f.presentationTime);
  }
  if (st == AsfDataReader::Status::kError) r.error = reader.ErrorMessage();
  return r;
}

Read ReadBytes(const Bytes& file, std::uint8_t stream = 2) {
  platform::MemoryReader in(file.data(), file.size());
  return ReadAll(in, stream);
}

Bytes Seq(std::size_t n, std::uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
  return b;
}

Payload Fragment(std::uint8_t stream, std::uint32_t object, std::uint32_t offset,
                 std::uint32_t objectSize, Bytes data, bool key = false) {
  Payload p;
  p.stream = stream;
  p.key = key;
  p.object = object;
  p.offset = offset;
  p.replicated = asftest::Replicated(objectSize, 100 * object);
  p.data = std::move(data);
  return p;
}

Bytes Slice(const Bytes& b, std::size_t from, std::size_t to) {
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(to));
}

// ---------------------------------------------------------------- well-formed packets

// Each case builds a file of video stream 2 (and audio stream 1) and expects
// these frames of stream 2, whole and in order.
struct LayoutCase {
  const char* name;
  void (*build)(asftest::Builder&);
  std::vector<Bytes> frames;
  std::vector<bool> keys;
};

const Bytes kA = Seq(30, 1), kB = Seq(300, 50), kC = Seq(5, 9), kD = Seq(12, 200);

TEST(AsfDataReader, ReassemblesEveryPayloadLayout) {
  const LayoutCase cases[] = {
      {"single payloads, one frame each",
       [](asftest::Builder& b) {
         b.AddFrame(2, 0, kA, true, 0, 1000);
         b.AddFrame(1, 0, kD, true, 0, 1000);
         b.AddFrame(2, 1, kC, false, 40, 1000);
       },
       {kA, kC}, {true, false}},
      {"a frame split over four packets",
       [](asftest::Builder& b) { b.AddFrame(2, 7, kB, true, 0, 80); },
       {kB}, {true}},
      {"several payloads per packet, other streams between",
       [](asftest::Builder& b) {
         Packet k;
         k.multiple = true;
         k.payloads = {Fragment(2, 0, 0, 30, kA, true), Fragment(1, 0, 0, 12, kD),
                       Fragment(2, 1, 0, 5, kC)};
         b.AddPacket(k);
       },
       {kA, kC}, {true, false}},
      {"fragments of one object in consecutive multi-payload packets",
       [](asftest::Builder& b) {
         Packet k;
         k.multiple = true;
         k.payloads = {Fragment(2, 3, 0, 300, Slice(kB, 0, 100), true), Fragment(1, 0, 0, 12, kD)};
         b.AddPacket(k);
         k.payloads = {Fragment(2, 3, 100, 300, Slice(kB, 100, 300), true),
                       Fragment(2, 4, 0, 5, kC)};
         b.AddPacket(k);
       },
       {kB, kC}, {true, false}},
      {"every length type: byte, word and dword fields, packet length given",
       [](asftest::Builder& b) {
         for (unsigned t = 1; t <= 3; ++t) {
           Packet k;
           k.errorCorrection = t != 2;
           k.packetLengthType = t;
           k.sequenceType = t;
           k.paddingLengthType = 4 - t;
           k.objectType = t;
           k.offsetType = t;
           k.replicatedType = t;
           k.multiple = t == 3;
           k.payloadLengthType = t;
           k.payloads = {Fragment(2, t, 0, 30, kA)};
           b.AddPacket(k);
         }
       },
       {kA, kA, kA}, {false, false, false}},
      {"no padding field: packet length field shortens the packet",
       [](asftest::Builder& b) {
         Packet k;
         k.paddingLengthType = 0;
         k.packetLengthType = 2;
         k.payloads = {Fragment(2, 0, 0, 5, kC, true)};
         b.AddPacket(k);
       },
       {kC}, {true}},
      {"object and offset fields absent (length type 0), no replicated data",
       [](asftest::Builder& b) {
         Packet k;
         k.objectType = 0;
         k.offsetType = 0;
         k.replicatedType = 0;
         Payload p;
         p.stream = 2;
         p.data = kD;
         k.payloads = {p};
         k.multiple = true;
         b.AddPacket(k);
       },
       {kD}, {false}},
      {"compressed payload: sub-payloads are whole frames",
       [](asftest::Builder& b) {
         Packet k;
         k.multiple = true;
         Payload p;
         p.stream = 2;
         p.key = true;
         p.object = 9;
         p.offset = 5000;  // presentation time
         p.replicated = {40};
         p.data = asftest::SubPayloads({kA, kC, kD});
         k.payloads = {Fragment(1, 0, 0, 12, kD), p};
         b.AddPacket(k);
         k.multiple = false;
         p.data = asftest::SubPayloads({kC});
         k.payloads = {p};
         b.AddPacket(k);
       },
       {kA, kC, kD, kC}, {true, true, true, true}},
      {"empty multi-payload packet and stream 1 only packets",
       [](asftest::Builder& b) {
         Packet k;
         k.multiple = true;
         b.AddPacket(k);
         b.AddFrame(1, 0, kB, true, 0, 100);
         b.AddFrame(2, 0, kC, false, 0, 100);
       },
       {kC}, {false}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    asftest::Builder b(400);
    b.AddStream(1, false);
    b.AddStream(2, true);
    c.build(b);
    Read r = ReadBytes(b.Build());
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.frames, c.frames);
    EXPECT_EQ(r.keys, c.keys);
  }
}

TEST(AsfDataReader, CompressedPayloadTimesStepByTheDelta) {
  asftest::Builder b(200);
  b.AddStream(2, true);
  Packet k;
  Payload p;
  p.stream = 2;
  p.offset = 1000;
  p.replicated = {33};
  p.data = asftest::SubPayloads({kC, kC, kC});
  k.payloads = {p};
  b.AddPacket(k);
  Read r = ReadBytes(b.Build());
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.times, (std::vector<std::uint32_t>{1000, 1033, 1066}));
}

TEST(AsfDataReader, ReportsStreamsAndLimitsFromTheHeader) {
  asftest::Builder b(512);
  b.AddStream(1, false);
  b.AddStream(3, true, "WMV3", 0, 0);
  b.AddStream(5, true, "WVC1", 4096, 416667);
  Bytes file = b.Build();
  platform::MemoryReader in(file.data(), file.size());
  AsfDataReader reader(in);
  ASSERT_TRUE(reader.Open()) << reader.ErrorMessage();
  const asf::AsfFileInfo& info = reader.Info();
  ASSERT_EQ(info.streams.size(), 3u);
  EXPECT_TRUE(info.streams[0].isAudio);
  EXPECT_EQ(info.streams[1].compression, asf::FourCC('W', 'M', 'V', '3'));
  EXPECT_EQ(info.streams[2].compression, asf::kFourCcWvc1);
  EXPECT_EQ(info.streams[2].maxObjectSize, 4096u);
  EXPECT_EQ(info.streams[2].averageTimePerFrame, 416667u);
  EXPECT_EQ(info.streams[2].codecDataSize, 17u);
  EXPECT_EQ(info.minPacketSize, 512u);
  EXPECT_FALSE(reader.SelectStream(2));
  EXPECT_TRUE(reader.SelectStream(5));
}

TEST(AsfDataReader, FindsAStreamDeclaredInsideItsExtendedProperties) {
  asftest::Builder b(256);
  b.AddStream(1, false);
  b.AddStream(4, true, "WVC1", 100, 400000);
  b.EmbedInExtension(4);
  b.AddFrame(4, 0, kB, true, 0, 200);
  Bytes file = b.Build();
  platform::MemoryReader in(file.data(), file.size());
  AsfDataReader reader(in);
  ASSERT_TRUE(reader.Open()) << reader.ErrorMessage();
  const asf::AsfStreamInfo* s = reader.Info().Find(4);
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(s->inExtension);
  EXPECT_EQ(s->compression, asf::kFourCcWvc1);
  EXPECT_EQ(s->averageTimePerFrame, 400000u);
  EXPECT_FALSE(reader.Info().Find(1)->inExtension);
  // Its declared maximum object size (100) holds for its frames.
  Read r = ReadBytes(file, 4);
  EXPECT_EQ(r.frames.size(), 0u);
  EXPECT_NE(r.error.find("media object of 300 bytes exceeds the limit of 100 bytes for stream 4"),
            std::string::npos) << r.error;
}

// ---------------------------------------------------------------- malformed input

struct BadCase {
  const char* name;
  Bytes (*build)();
  std::size_t framesBefore;  // frames delivered before the error
  const char* error;         // the whole message, offset included
};

Bytes TwoGoodFramesThen(void (*bad)(asftest::Builder&)) {
  asftest::Builder b(200);
  b.AddStream(2, true, "WVC1", 1000);
  b.AddFrame(2, 0, kA, true, 0, 100);
  b.AddFrame(2, 1, kC, false, 40, 100);
  bad(b);
  return b.Build();
}

// The data packets of these files start at this offset (header 414 + 50).
constexpr std::size_t kFirstPacket = 464;

TEST(AsfDataReader, MalformedPacketsStopWithTheOffset) {
  const BadCase cases[] = {
      {"not ASF", [] { return Bytes(100, 0x47); }, 0,
       "offset 0: not an ASF file (no Header Object at the start)"},
      {"truncated inside the header", [] { return Slice(TwoGoodFramesThen([](asftest::Builder&) {}), 0, 200); },
       0, "offset 200: file ends inside the Header Object of 414 bytes"},
      {"file ends inside the third packet",
       [] {
         Bytes f = TwoGoodFramesThen([](asftest::Builder& b) { b.AddFrame(2, 2, kB, false, 80, 100); });
         return Slice(f, 0, kFirstPacket + 2 * 200 + 150);
       },
       2, "offset 1014: file ends 150 bytes into data packet 2 of 200 bytes"},
      {"file ends at a packet boundary before the declared count",
       [] {
         Bytes f = TwoGoodFramesThen([](asftest::Builder& b) { b.AddFrame(2, 2, kB, false, 80, 100); });
         return Slice(f, 0, kFirstPacket + 3 * 200);
       },
       2, "offset 1064: file ends after 3 of 5 data packets"},
      {"file ends at a packet boundary after whole frames",
       [] {
         Bytes f = TwoGoodFramesThen([](asftest::Builder& b) { b.AddFrame(2, 2, kA, false, 80, 100); });
         return Slice(f, 0, kFirstPacket + 2 * 200);
       },
       2, "offset 864: file ends after 2 of 3 data packets"},
      {"data object size not whole packets",
       [] {
         asftest::Builder b(200);
         b.AddStream(2, true);
         b.AddFrame(2, 0, kA, true, 0, 100);
         b.dataObjectSize = 50 + 199;
         return b.Build();
       },
       0, "offset 430: Data Object size 249 is not its header plus whole packets of 200 bytes"},
      {"varying packet sizes",
       [] {
         asftest::Builder b(200);
         b.AddStream(2, true);
         b.maxPacketSize = 300;
         return b.Build();
       },
       0, "offset 414: packets of varying size (200 to 300 bytes) are not supported"},
      {"frame above the stream's maximum object size",
       [] { return TwoGoodFramesThen([](asftest::Builder& b) { b.AddFrame(2, 2, Seq(1001, 0), false, 80, 150); }); },
       2, "offset 877: media object of 1001 bytes exceeds the limit of 1000 bytes for stream 2"},
      {"fragment beyond its object's size",
       [] {
         return TwoGoodFramesThen([](asftest::Builder& b) {
           Packet k;
           k.payloads = {Fragment(2, 2, 20, 25, kA)};
           b.AddPacket(k);
         });
       },
       2, "offset 877: fragment of 30 bytes at offset 20 lies outside its media object of 25 bytes"},
      {"object whose beginning is missing",
       [] {
         return TwoGoodFramesThen([](asftest::Builder& b) {
           Packet k;
           k.payloads = {Fragment(2, 2, 10, 40, kA)};
           b.AddPacket(k);
         });
       },
       2, "offset 877: media object 2 starts at offset 10 (its beginning is missing)"},
      {"a new object before the last one was complete",
       [] {
         return TwoGoodFramesThen([](asftest::Builder& b) {
           Packet k;
           k.multiple = true;
           k.payloads = {Fragment(2, 2, 0, 60, kA), Fragment(2, 3, 0, 30, kA)};
           b.AddPacket(k);
         });
       },
       2, "offset 925: media object 2 (30 of 60 bytes) interrupted by a fragment of object 3 (size 30, offset 0)"},
      {"fragment that skips bytes",
       [] {
         return TwoGoodFramesThen([](asftest::Builder& b) {
           Packet k;
           k.multiple = true;
           k.payloads = {Fragment(2, 2, 0, 90, kA), Fragment(2, 2, 40, 90, kA)};
           b.AddPacket(k);
         });
       },
       2, "offset 925: media object 2 (30 of 90 bytes) interrupted by a fragment of object 2 (size 90, offset 40)"},
      {"payload length past the packet",
       [] {
         return TwoGoodFramesThen([](asftest::Builder& b) {
           Packet k;
           k.multiple = true;
           k.payloads = {Fragment(2, 2, 0, 30, kA)};
           k.payloadLengths = {300};
           b.AddPacket(k);
         });
       },
       2, "offset 893: payload length 300 runs past the packet (30 bytes left)"},
      {"padding longer than the packet",
       [] {
         return TwoGoodFramesThen([](asftest::Builder& b) {
           Packet k;
           k.payloads = {Fragment(2, 2, 0, 30, kA)};
           k.padding = 500;
           b.AddPacket(k);
         });
       },
       2, "offset 869: padding length 500 exceeds the 187 bytes behind the packet header"},
      {"packet length above the packet size",
       [] {
         return TwoGoodFramesThen([](asftest::Builder& b) {
           Packet k;
           k.packetLengthType = 2;
           k.packetLength = 201;
           k.payloads = {Fragment(2, 2, 0, 30, kA)};
           b.AddPacket(k);
         });
       },
       2, "offset 869: packet length 201 outside its header and the packet size 200"},
      {"replicated data of 5 bytes",
       [] {
         return TwoGoodFramesThen([](asftest::Builder& b) {
           Packet k;
           Payload p = Fragment(2, 2, 0, 30, kA);
           p.replicated.resize(5);
           k.payloads = {p};
           b.AddPacket(k);
         });
       },
       2, "offset 884: replicated data length 5 (0, 1 or at least 8 are defined)"},
      {"sub-payload running past its payload",
       [] {
         return TwoGoodFramesThen([](asftest::Builder& b) {
           Packet k;
           k.multiple = true;
           Payload p;
           p.stream = 2;
           p.replicated = {1};
           p.data = asftest::SubPayloads({kC, kC});
           p.data[6] = 9;
           k.payloads = {p};
           b.AddPacket(k);
         });
       },
       3, "offset 894: sub-payload of 9 bytes runs past its compressed payload (5 bytes left)"},
      {"compressed payload inside a fragmented object",
       [] {
         return TwoGoodFramesThen([](asftest::Builder& b) {
           Packet k;
           k.multiple = true;
           Payload p;
           p.stream = 2;
           p.replicated = {1};
           p.data = asftest::SubPayloads({kC});
           k.payloads = {Fragment(2, 2, 0, 60, kA), p};
           b.AddPacket(k);
         });
       },
       2, "offset 925: compressed payload inside media object 2 (30 of 60 bytes)"},
      {"stream number field of two bytes",
       [] {
         return TwoGoodFramesThen([](asftest::Builder& b) {
           Packet k;
           k.streamType = 2;
           k.payloads = {Fragment(2, 2, 0, 30, kA)};
           b.AddPacket(k);
         });
       },
       2, "offset 868: stream number length type 2 (only 1, a byte, is defined)"},
      {"error correction length type 1",
       [] {
         return TwoGoodFramesThen([](asftest::Builder& b) { b.AddRawPacket({0xA2, 0, 0, 0x10, 0x5D}); });
       },
       2, "offset 864: error correction length type 1 (only 0 is defined)"},
      {"multiple payloads with payload length type 0",
       [] {
         return TwoGoodFramesThen([](asftest::Builder& b) {
           Packet k;
           k.multiple = true;
           k.payloadLengthType = 0;
           k.payloads = {Fragment(2, 2, 0, 30, kA)};
           b.AddPacket(k);
         });
       },
       2, "offset 877: payload length type 0 in a packet of several payloads"},
      {"more payloads announced than the packet holds",
       [] {
         return TwoGoodFramesThen([](asftest::Builder& b) {
           Packet k;
           k.multiple = true;
           k.paddingLengthType = 0;
           k.packetLengthType = 1;
           k.payloadCount = 2;
           k.payloads = {Fragment(2, 2, 0, 30, kA)};
           b.AddPacket(k);
         });
       },
       3, "offset 924: payload header runs past the packet's payload end at offset 924"},
      {"data ends inside a frame",
       [] {
         return TwoGoodFramesThen([](asftest::Builder& b) {
           Packet k;
           k.payloads = {Fragment(2, 2, 0, 60, kA)};
           b.AddPacket(k);
         });
       },
       2, "offset 1064: data ends inside media object 2 (30 of 60 bytes)"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.name);
    Read r = ReadBytes(c.build());
    EXPECT_EQ(r.frames.size(), c.framesBefore);
    EXPECT_EQ(r.error, c.error);
  }
}

TEST(AsfDataReader, ErrorsAreStickyAndFramesBeforeThemStay) {
  Bytes f = TwoGoodFramesThen([](asftest::Builder& b) { b.AddRawPacket({0x82, 0, 0, 0x10, 0x9D}); });
  platform::MemoryReader in(f.data(), f.size());
  AsfDataReader reader(in);
  ASSERT_TRUE(reader.Open());
  ASSERT_TRUE(reader.SelectStream(2));
  AsfFrame frame;
  EXPECT_EQ(reader.Next(&frame), AsfDataReader::Status::kFrame);
  EXPECT_EQ(Bytes(frame.data, frame.data + frame.size), kA);
  EXPECT_EQ(reader.Next(&frame), AsfDataReader::Status::kFrame);
  EXPECT_EQ(reader.Next(&frame), AsfDataReader::Status::kError);
  std::string first = reader.ErrorMessage();
  EXPECT_EQ(reader.Next(&frame), AsfDataReader::Status::kError);
  EXPECT_EQ(reader.ErrorMessage(), first);
  EXPECT_EQ(reader.ErrorOffset(), 868u);
}

// ---------------------------------------------------------------- real files against FFmpeg

struct OraclePacket {
  std::size_t size;
  std::string md5;
  bool key;
};

std::vector<OraclePacket> FfmpegPackets(const std::string& path) {
  std::vector<OraclePacket> out;
  std::string md5s, flags;
  if (!asftest::RunCommand("ffmpeg -v error -nostdin -i " + asftest::ShellQuote(path) +
                               " -map 0:v -c copy -f framemd5 -",
                           &md5s) ||
      !asftest::RunCommand("ffprobe -v error -select_streams v -show_packets -show_entries "
                           "packet=size,flags -of csv " + asftest::ShellQuote(path),
                           &flags))
    return out;
  std::istringstream a(md5s), b(flags);
  std::string line;
  while (std::getline(a, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cols;
    std::istringstream l(line);
    for (std::string col; std::getline(l, col, ',');) {
      col.erase(0, col.find_first_not_of(' '));
      cols.push_back(col);
    }
    if (cols.size() >= 6) out.push_back({std::stoul(cols[4]), cols[5], false});
  }
  std::size_t i = 0;
  while (std::getline(b, line)) {
    // packet,SIZE,FLAGS
    std::size_t comma = line.rfind(',');
    if (comma == std::string::npos || line.compare(0, 7, "packet,") != 0) continue;
    if (i < out.size()) out[i].key = line[comma + 1] == 'K';
    ++i;
  }
  if (i != out.size()) out.clear();
  return out;
}

TEST(AsfDataReader, RealFilesMatchFfmpegPacketForPacket) {
  VC1_REQUIRE_TESTDATA();
  if (!asftest::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not found; skipped";
  auto files = testdata::List("wmv", ".wmv");
  ASSERT_FALSE(files.empty());
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    std::vector<OraclePacket> want = FfmpegPackets(path);
    ASSERT_FALSE(want.empty());
    platform::File file = platform::File::OpenSharedRead(path.c_str());
    ASSERT_TRUE(file.IsOpen());
    AsfDataReader reader(file);
    ASSERT_TRUE(reader.Open()) << reader.ErrorMessage();
    ASSERT_TRUE(reader.SelectStream(FirstWvc1Stream(reader.Info())));
    AsfFrame f;
    std::size_t n = 0;
    AsfDataReader::Status st;
    while ((st = reader.Next(&f)) == AsfDataReader::Status::kFrame) {
      if (n < want.size()) {
        EXPECT_EQ(f.size, want[n].size) << "frame " << n;
        EXPECT_EQ(asftest::Md5Hex(f.data, f.size), want[n].md5) << "frame " << n;
        EXPECT_EQ(f.keyFrame, want[n].key) << "frame " << n;
      }
      ++n;
    }
    EXPECT_EQ(st, AsfDataReader::Status::kEnd) << reader.ErrorMessage();
    EXPECT_EQ(n, want.size());
  }
}

TEST(AsfDataReader, TruncatedRealFileKeepsTheFramesBeforeTheCut) {
  VC1_REQUIRE_TESTDATA();
  auto files = testdata::List("wmv", ".wmv");
  ASSERT_FALSE(files.empty());
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    Bytes whole = testdata::ReadFile(path);
    platform::MemoryReader probe(whole.data(), whole.size());
    AsfDataReader header(probe);
    ASSERT_TRUE(header.Open());
    std::uint8_t stream = FirstWvc1Stream(header.Info());
    Read full = ReadBytes(whole, stream);
    ASSERT_EQ(full.error, "");
    Bytes cut = Slice(whole, 0, whole.size() * 2 / 3);
    Read part = ReadBytes(cut, stream);
    EXPECT_NE(part.error.find("file ends"), std::string::npos) << part.error;
    ASSERT_LE(part.frames.size(), full.frames.size());
    if (full.frames.size() > 10) {
      EXPECT_GT(part.frames.size(), full.frames.size() / 3);
    }
    for (std::size_t i = 0; i < part.frames.size(); ++i) EXPECT_EQ(part.frames[i], full.frames[i]);
  }
}

}  // namespace

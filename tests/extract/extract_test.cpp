#include "extract/extract.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sstream>

#include "asf/asf_data_reader.h"
#include "asf_data_reader_support.h"
#include "filter/vc1_writer_core.h"
#include "platform/ui.h"
#include "test_data.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

using asftest::Bytes;
using testdata::WriteFile;

platform::NativeString Native(const std::string& s) { return platform::NativeString(s.begin(), s.end()); }
std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome RunExtract(const std::string& dir, const std::vector<std::string>& args) {
  std::vector<platform::NativeString> argv{Native("dravik-extract")};
  for (const auto& a : args) argv.push_back(Native(a));
  std::string outPath = dir + "/stdout.txt", errPath = dir + "/stderr.txt";
  std::FILE* out = std::fopen(outPath.c_str(), "wb");
  std::FILE* err = std::fopen(errPath.c_str(), "wb");
  Outcome o{extract::Run(argv, out, err, false), "", ""};
  std::fclose(out);
  std::fclose(err);
  o.out = testdata::ReadText(outPath);
  o.err = testdata::ReadText(errPath);
  return o;
}

Bytes Frame(std::uint8_t first, std::size_t size, std::uint8_t seed) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 13);
  b[0] = first;
  return b;
}

// I pictures (first byte 110xxxxx) and others, some split across packets.
const std::vector<Bytes> kFrames = {Frame(0xC4, 300, 1), Frame(0x42, 40, 2), Frame(0x80, 90, 3),
                                    Frame(0xDF, 120, 4), Frame(0x12, 10, 5)};

// Stream 1 audio, stream 2 WVC1 with the frames above.
Bytes SampleFile(const char* secondFourcc = nullptr) {
  asftest::Builder b(128);
  b.AddStream(1, false);
  b.AddStream(2, true, "WVC1", 0, 400000);
  if (secondFourcc) b.AddStream(3, true, secondFourcc);
  for (std::size_t i = 0; i < kFrames.size(); ++i) {
    b.AddFrame(1, static_cast<std::uint32_t>(i), Frame(0, 20, 9), true, 0, 100);
    b.AddFrame(2, static_cast<std::uint32_t>(i), kFrames[i], kFrames[i][0] >= 0xC0, 0, 100);
  }
  return b.Build();
}

// What the writer core writes for these frames when the user names `input`.
Bytes DravikWrites(const std::string& dir, const std::string& input,
                   const std::vector<Bytes>& frames) {
  platform::ScriptedUserInterface ui;
  ui.Choose(input);
  std::string path = dir + "/reference.vc1";
  std::remove(path.c_str());
  {
    dravik::Vc1WriterCore core(ui, nullptr, nullptr);
    EXPECT_EQ(core.SetFileName(Wide(path).c_str()), platform::kOk);
    for (const Bytes& f : frames)
      EXPECT_EQ(core.WriteFrame(f.data(), static_cast<std::uint32_t>(f.size())), platform::kOk);
    core.CloseOutputFile();
  }
  return testdata::ReadFile(path);
}

TEST(DravikExtract, CommandLineMistakesExitWithTwo) {
  const std::string dir = testdata::ScratchDir();
  struct Row {
    std::vector<std::string> args;
    const char* message;
  };
  const Row rows[] = {
      {{}, "dravik-extract: INPUT and OUTPUT are needed\nTry 'dravik-extract --help'.\n"},
      {{"in.wmv"}, "dravik-extract: INPUT and OUTPUT are needed\nTry 'dravik-extract --help'.\n"},
      {{"a", "b", "c"}, "dravik-extract: too many names\nTry 'dravik-extract --help'.\n"},
      {{"-x", "a", "b"}, "dravik-extract: unknown option '-x'\nTry 'dravik-extract --help'.\n"},
      {{"a", "b", "--stream"},
       "dravik-extract: --stream needs a stream number\nTry 'dravik-extract --help'.\n"},
      {{"--stream", "0", "a", "b"},
       "dravik-extract: --stream takes a stream number from 1 to 127, not '0'\n"
       "Try 'dravik-extract --help'.\n"},
      {{"--stream=128", "a", "b"},
       "dravik-extract: --stream takes a stream number from 1 to 127, not '128'\n"
       "Try 'dravik-extract --help'.\n"},
      {{"--stream", "2x", "a", "b"},
       "dravik-extract: --stream takes a stream number from 1 to 127, not '2x'\n"
       "Try 'dravik-extract --help'.\n"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.message);
    Outcome o = RunExtract(dir, r.args);
    EXPECT_EQ(o.status, extract::kExitUsage);
    EXPECT_EQ(o.err, r.message);
  }
  Outcome help = RunExtract(dir, {"--help"});
  EXPECT_EQ(help.status, extract::kExitOk);
  EXPECT_EQ(help.out.rfind("Usage: dravik-extract [--force] [--stream N] INPUT OUTPUT\n", 0), 0u);
  EXPECT_NE(help.out.find("--force"), std::string::npos);
  EXPECT_EQ(help.err, "");
  Outcome version = RunExtract(dir, {"--version", "a", "b"});
  EXPECT_EQ(version.status, extract::kExitOk);
  EXPECT_EQ(version.out, "dravik-extract " VC1_VERSION "\n");
}

TEST(DravikExtract, WritesWhatTheWriterCoreWritesForTheSameFrames) {
  const std::string dir = testdata::ScratchDir();
  const std::string in = dir + "/in.wmv", out = dir + "/out.vc1";
  WriteFile(in, SampleFile());
  Outcome o = RunExtract(dir, {in, out});
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.status, extract::kExitOk);
  Bytes written = testdata::ReadFile(out);
  Bytes reference = DravikWrites(dir, in, kFrames);
  EXPECT_GT(reference.size(), 4 * kFrames.size() + 560);  // header blocks in front of two I pictures
  EXPECT_EQ(written, reference);
}

TEST(DravikExtract, RefusesAnExistingOutputUnlessForced) {
  const std::string dir = testdata::ScratchDir();
  const std::string in = dir + "/in.wmv", out = dir + "/out.vc1";
  WriteFile(in, SampleFile());
  WriteFile(out, {1, 2, 3});
  Outcome refused = RunExtract(dir, {in, out});
  EXPECT_EQ(refused.status, extract::kExitFailed);
  EXPECT_EQ(refused.err, "dravik-extract: " + out + ": already exists; use --force to overwrite it\n");
  EXPECT_EQ(testdata::ReadFile(out), (Bytes{1, 2, 3}));

  Outcome same = RunExtract(dir, {"--force", in, dir + "/./in.wmv"});
  EXPECT_EQ(same.status, extract::kExitFailed);
  EXPECT_EQ(same.err, "dravik-extract: " + dir + "/./in.wmv: is INPUT itself; nothing written\n");
  EXPECT_EQ(testdata::ReadFile(in), SampleFile());

  Outcome forced = RunExtract(dir, {"--force", in, out});
  EXPECT_EQ(forced.status, extract::kExitOk) << forced.err;
  EXPECT_EQ(testdata::ReadFile(out), DravikWrites(dir, in, kFrames));
}

TEST(DravikExtract, DropsATrailingAsfFromTheOutputNameAsDravikDoes) {
  const std::string dir = testdata::ScratchDir();
  const std::string in = dir + "/in.wmv";
  WriteFile(in, SampleFile());
  Outcome o = RunExtract(dir, {in, dir + "/out.asf"});
  EXPECT_EQ(o.status, extract::kExitOk);
  EXPECT_EQ(o.err, "dravik-extract: writing to " + dir +
                       "/out (a trailing \".asf\" is dropped, as Dravik does)\n");
  EXPECT_FALSE(testdata::ReadFile(dir + "/out").empty());
}

// Streams 2 and 3 both WVC1, with different sequence headers; the frames
// are stream 3's. Without stream 2 this is the file Dravik would be given for
// stream 3 alone.
Bytes TwoVideoStreams(bool withStream2) {
  asftest::Builder b(128);
  b.AddStream(1, false);
  if (withStream2) b.AddStream(2, true, "WVC1", 0, 400000);
  b.AddStream(3, true, "WVC1", 0, 333667);
  // 640x480 this time.
  b.SetCodecData(3, {0, 0, 1, 0x0F, 0xCA, 0x00, 0x13, 0xF0, 0xEF, 0x08, 0, 0, 1, 0x0E, 0x48, 0x80});
  for (std::size_t i = 0; i < kFrames.size(); ++i) {
    if (withStream2) b.AddFrame(2, static_cast<std::uint32_t>(i), Frame(0xC0, 20, 9), true, 0, 100);
    b.AddFrame(3, static_cast<std::uint32_t>(i), kFrames[i], kFrames[i][0] >= 0xC0, 0, 100);
  }
  return b.Build();
}

TEST(DravikExtract, AnotherVideoStreamGetsItsOwnHeaders) {
  const std::string dir = testdata::ScratchDir();
  const std::string in = dir + "/two.wmv", alone = dir + "/alone.wmv", out = dir + "/out.vc1";
  WriteFile(in, TwoVideoStreams(true));
  WriteFile(alone, TwoVideoStreams(false));
  Outcome o = RunExtract(dir, {"--stream", "3", in, out});
  EXPECT_EQ(o.status, extract::kExitOk);
  EXPECT_EQ(o.err, "dravik-extract: stream 3 is not the first video stream; its headers were "
                   "taken from its own Stream Properties\n");
  Bytes reference = DravikWrites(dir, alone, kFrames);
  EXPECT_EQ(testdata::ReadFile(out), reference);
  // The default is the first WVC1 stream, and the others are named.
  Outcome first = RunExtract(dir, {"--force", in, out});
  EXPECT_EQ(first.status, extract::kExitOk);
  EXPECT_EQ(first.err, "dravik-extract: taking stream 2; other WVC1 streams: 3 (see --stream)\n");
  EXPECT_NE(testdata::ReadFile(out), reference);
}

TEST(DravikExtract, AStreamHiddenInTheHeaderExtensionGetsItsHeaders) {
  const std::string dir = testdata::ScratchDir();
  const std::string hidden = dir + "/hidden.wmv", plain = dir + "/plain.wmv", out = dir + "/out.vc1";
  for (bool embed : {true, false}) {
    asftest::Builder b(128);
    b.AddStream(1, false);
    b.AddStream(4, true, "WVC1", 0, 400000);
    if (embed) b.EmbedInExtension(4);
    for (std::size_t i = 0; i < kFrames.size(); ++i)
      b.AddFrame(4, static_cast<std::uint32_t>(i), kFrames[i], false, 0, 100);
    WriteFile(embed ? hidden : plain, b.Build());
  }
  Outcome o = RunExtract(dir, {hidden, out});
  EXPECT_EQ(o.status, extract::kExitOk);
  EXPECT_EQ(o.err, "dravik-extract: stream 4 is not the first video stream; its headers were "
                   "taken from its own Stream Properties\n");
  EXPECT_EQ(testdata::ReadFile(out), DravikWrites(dir, plain, kFrames));
}

Bytes NoHeaders(const Bytes& codecData = {0x25, 1, 2, 3, 4, 5, 6, 7}) {
  asftest::Builder b(128);
  b.AddStream(2, true);
  b.SetCodecData(2, codecData);
  b.AddFrame(2, 0, kFrames[0], true, 0, 100);
  return b.Build();
}

TEST(DravikExtract, InputProblemsAreReportedAndWriteNothing) {
  const std::string dir = testdata::ScratchDir();
  struct Row {
    const char* name;
    Bytes input;  // empty: no input file at all
    std::vector<std::string> options;
    std::string message;  // after "dravik-extract: <input>: "
  };
  asftest::Builder wmv3(128);
  wmv3.AddStream(2, true, "WMV3");
  wmv3.AddFrame(2, 0, kFrames[0], true, 0, 100);
  const Row rows[] = {
      {"missing", {}, {}, "cannot open: the folder or file does not exist (0x80070002)"},
      {"not ASF", Bytes(300, 0x47), {}, "offset 0: not an ASF file (no Header Object at the start)"},
      {"no WVC1 stream", wmv3.Build(), {}, "no WVC1 video stream"},
      {"audio stream chosen", SampleFile(), {"--stream", "1"}, "stream 1 is an audio stream, not WVC1"},
      {"absent stream chosen", SampleFile(), {"--stream", "9"}, "there is no stream 9"},
      {"WMV3 stream chosen", SampleFile("WMV3"), {"--stream", "3"}, "stream 3 is a WMV3 video stream, not WVC1"},
      {"codec data without headers", NoHeaders(), {},
       "stream 2 has no sequence header and entry-point header in its codec data; nothing written"},
      {"no codec data", NoHeaders({}), {},
       "the header capture found no codec data for stream 2 (it has 0 bytes of it); nothing written"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const std::string in = dir + "/" + r.name + ".wmv", out = dir + "/" + r.name + ".vc1";
    if (!r.input.empty()) WriteFile(in, r.input);
    std::vector<std::string> args = r.options;
    args.push_back(in);
    args.push_back(out);
    Outcome o = RunExtract(dir, args);
    EXPECT_EQ(o.status, extract::kExitFailed);
    EXPECT_EQ(o.err, "dravik-extract: " + in + ": " + r.message + "\n");
    std::FILE* left = std::fopen(out.c_str(), "rb");
    EXPECT_EQ(left, nullptr) << "output left behind";
    if (left) std::fclose(left);
  }
}

TEST(DravikExtract, TruncatedInputKeepsTheFramesWrittenAndFails) {
  const std::string dir = testdata::ScratchDir();
  const std::string whole = dir + "/whole.wmv", cut = dir + "/cut.wmv", out = dir + "/out.vc1";
  Bytes file = SampleFile();
  WriteFile(whole, file);
  // Cut inside the packet that carries the last frame.
  file.resize(file.size() - 100);
  WriteFile(cut, file);
  Outcome o = RunExtract(dir, {cut, out});
  EXPECT_EQ(o.status, extract::kExitFailed);
  EXPECT_NE(o.err.find(": file ends 28 bytes into data packet"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("; the 4 frames before it are in " + out + "\n"), std::string::npos) << o.err;
  std::vector<Bytes> first4(kFrames.begin(), kFrames.begin() + 4);
  EXPECT_EQ(testdata::ReadFile(out), DravikWrites(dir, whole, first4));
}

TEST(DravikExtract, AFullDiskStopsWithTheWritersWarning) {
#ifdef _WIN32
  GTEST_SKIP() << "needs /dev/full";
#else
  std::FILE* full = std::fopen("/dev/full", "wb");
  if (!full) GTEST_SKIP() << "no /dev/full here";
  std::fclose(full);
  const std::string dir = testdata::ScratchDir();
  const std::string in = dir + "/in.wmv";
  WriteFile(in, SampleFile());
  Outcome o = RunExtract(dir, {"--force", in, "/dev/full"});
  EXPECT_EQ(o.status, extract::kExitFailed);
  EXPECT_EQ(o.err, std::string("dravik-extract: warning: ") + dravik::kDiskFullCaption +
                       ": The disk containing output file has run out of space, so Dravik filter "
                       "has been stopped.\n\nYou must set a new Dravik file name or restart the "
                       "graph to clear this filter error.\n"
                       "dravik-extract: /dev/full: writing frame 0 failed: the disk is full "
                       "(0x80070070)\n");
#endif
}

#ifndef _WIN32
// The file-size limit as a disk that fills at a byte chosen by the test:
// writes past it are cut short, then fail (EFBIG, which reads as a full disk).
class DiskFullAt {
 public:
  explicit DiskFullAt(rlim_t bytes) {
    ok_ = getrlimit(RLIMIT_FSIZE, &old_) == 0;
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{bytes, old_.rlim_max};
    ok_ = ok_ && setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~DiskFullAt() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, SIG_DFL);
  }
  bool ok() const { return ok_; }

 private:
  rlimit old_{};
  bool ok_;
};

TEST(DravikExtract, AFullDiskIsReportedAtTheFrameItHitWithTheFramesBeforeItKept) {
  const std::string dir = testdata::ScratchDir();
  const std::string in = dir + "/in.wmv", out = dir + "/out.vc1";
  // Ten frames of 60 kB: the output goes out in several blocks.
  std::vector<Bytes> frames;
  for (std::uint8_t i = 0; i < 10; ++i) frames.push_back(Frame(i % 5 == 0 ? 0xC4 : 0x42, 60000, i));
  asftest::Builder b(8192);
  b.AddStream(2, true, "WVC1", 0, 400000);
  for (std::uint8_t i = 0; i < 10; ++i) b.AddFrame(2, i, frames[i], i % 5 == 0, 0, 8000);
  WriteFile(in, b.Build());
  const Bytes whole = DravikWrites(dir, in, frames);
  ASSERT_GT(whole.size(), 2 * extract::kOutputBlockSize);
  std::vector<std::size_t> ends;  // where frame k ends in the output
  for (std::size_t k = 1; k <= frames.size(); ++k)
    ends.push_back(DravikWrites(dir, in, {frames.begin(), frames.begin() + static_cast<long>(k)}).size());

  struct Row {
    std::size_t limit;
    std::size_t frame;  // the one reported
  };
  const Row rows[] = {
      {ends[1] + 100, 2},  // in the first block, frames after it already taken
      {ends[3], 4},        // the disk ends with frame 3: frame 4 gets no byte
      {ends[8] + 10, 9},   // in the last block, written once the input has ended
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.frame);
    Outcome o{};
    {
      DiskFullAt full(r.limit);
      if (!full.ok()) GTEST_SKIP() << "cannot limit the file size here";
      o = RunExtract(dir, {"--force", in, out});
    }
    EXPECT_EQ(o.status, extract::kExitFailed);
    EXPECT_EQ(o.err.substr(o.err.find("\ndravik-extract: ") + 1),
              "dravik-extract: " + out + ": writing frame " + std::to_string(r.frame) +
                  " failed: the disk is full (0x80070070)\n");
    EXPECT_EQ(testdata::ReadFile(out), Bytes(whole.begin(), whole.begin() + static_cast<long>(r.limit)));
  }
}
#endif

TEST(DravikExtract, RealFilesComeOutAsTheWriterCoreWritesTheirFrames) {
  VC1_REQUIRE_TESTDATA();
  const std::string dir = testdata::ScratchDir();
  auto files = testdata::List("wmv", ".wmv");
  ASSERT_FALSE(files.empty());
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    Bytes file = testdata::ReadFile(path);
    platform::MemoryReader in(file.data(), file.size());
    asf::AsfDataReader reader(in);
    ASSERT_TRUE(reader.Open());
    ASSERT_TRUE(reader.SelectStream(asftest::FirstWvc1Stream(reader.Info())));
    std::vector<Bytes> frames;
    asf::AsfFrame f;
    while (reader.Next(&f) == asf::AsfDataReader::Status::kFrame) frames.emplace_back(f.data, f.data + f.size);
    ASSERT_EQ(reader.ErrorMessage(), "");

    const std::string out = dir + "/out.vc1";
    Outcome o = RunExtract(dir, {"--force", path, out});
    EXPECT_EQ(o.status, extract::kExitOk) << o.err;
    EXPECT_EQ(o.err, "");
    Bytes written = testdata::ReadFile(out);
    EXPECT_TRUE(written == DravikWrites(dir, path, frames)) << "output differs from the core's";
    std::remove((dir + "/reference.vc1").c_str());
  }
}

// ---------------------------------------------------------------- whole program on real files

#ifndef _WIN32
std::vector<std::string> DecodedMd5s(const std::string& command) {
  std::string text;
  asftest::RunCommand(command + " 2>/dev/null", &text);
  std::vector<std::string> md5s;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    md5s.push_back(line.substr(line.rfind(',') + 1));
  }
  return md5s;
}

// Kestrine's report less the line that says what kind of file it read.
std::string KestrineReport(const std::string& path) {
  std::string text;
  asftest::RunCommand(std::string(KESTRINE_PROGRAM) + " " + asftest::ShellQuote(path), &text);
  std::istringstream in(text);
  std::string report;
  for (std::string line; std::getline(in, line);)
    if (line.find("WMV/ASF") == std::string::npos) report += line + "\n";
  return report;
}
#endif

TEST(DravikExtract, KestrineSeesTheInjectedFrameRate) {
#ifdef _WIN32
  GTEST_SKIP() << "runs the programs natively only";
#else
  const std::string dir = testdata::ScratchDir();
  const std::string in = dir + "/in.wmv", out = dir + "/out.vc1";
  WriteFile(in, SampleFile());  // no display extension, 40 ms per frame
  ASSERT_EQ(RunExtract(dir, {in, out}).status, extract::kExitOk);
  std::string before = KestrineReport(in), after = KestrineReport(out);
  ASSERT_NE(before.find("DISPLAY_EXT: 0\n"), std::string::npos) << before;
  EXPECT_EQ(after.substr(0, after.find("DISPLAY_EXT")), before.substr(0, before.find("DISPLAY_EXT")));
  EXPECT_NE(after.find("DISPLAY_EXT: 1\n"), std::string::npos) << after;
  EXPECT_NE(after.find("25.000 FPS"), std::string::npos) << after;
#endif
}

TEST(DravikExtract, RealFilesDecodeToTheSamePicturesAndHeaders) {
#ifdef _WIN32
  GTEST_SKIP() << "the FFmpeg checks run natively only";
#else
  VC1_REQUIRE_TESTDATA();
  if (!asftest::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not found; skipped";
  const std::string dir = testdata::ScratchDir();
  auto files = testdata::List("wmv", ".wmv");
  ASSERT_FALSE(files.empty());
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const std::string out = dir + "/" + path.substr(path.rfind('/') + 1) + ".vc1";
    std::string messages;
    EXPECT_TRUE(asftest::RunCommand(std::string(DRAVIK_EXTRACT_PROGRAM) + " " +
                                        asftest::ShellQuote(path) + " " + asftest::ShellQuote(out) +
                                        " 2>&1",
                                    &messages))
        << messages;
    EXPECT_EQ(messages, "");
    std::vector<std::string> source = DecodedMd5s("ffmpeg -v error -nostdin -i " +
                                                  asftest::ShellQuote(path) + " -map 0:v -f framemd5 -");
    std::vector<std::string> written = DecodedMd5s("ffmpeg -v error -nostdin -f vc1 -i " +
                                                   asftest::ShellQuote(out) + " -f framemd5 -");
    ASSERT_FALSE(source.empty());
    EXPECT_EQ(written, source);

    std::string before = KestrineReport(path), after = KestrineReport(out);
    ASSERT_NE(before.find("Sequence Level Header"), std::string::npos) << before;
    if (before.find("DISPLAY_EXT: 0") == std::string::npos) {
      EXPECT_EQ(after, before);
    } else {
      // The frame rate goes in as a display extension: everything before it
      // stays as it was.
      EXPECT_NE(after.find("DISPLAY_EXT: 1"), std::string::npos);
      EXPECT_EQ(after.substr(0, after.find("DISPLAY_EXT")), before.substr(0, before.find("DISPLAY_EXT")));
    }
  }
#endif
}

}  // namespace

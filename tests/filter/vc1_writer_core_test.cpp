#include "filter/vc1_writer_core.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "asf_file_builder.h"
#include "test_data.h"
#include "vc1_stream_builder.h"

namespace {

using dravik::HResult;
using dravik::Vc1WriterCore;
using platform::ScriptedUserInterface;
using asfbuild::Bytes;

Bytes Join(std::initializer_list<Bytes> parts) { return asfbuild::Concat(parts); }
std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

Bytes PlainHeaders(bool interlace = false) {
  return vc1build::Encode(vc1build::PlainHeaders(320, 240, interlace)).bytes;
}

const Bytes kStartCode = {0x00, 0x00, 0x01, 0x0D};

// A writer as the filter wires it: the stop request is the filter's Stop,
// which closes the output file under the filter lock.
struct Writer {
  ScriptedUserInterface ui;
  int stops = 0;
  bool flagSetAtStop = false;
  Vc1WriterCore core{ui, &Writer::Stop, this};

  static void Stop(void* context) {
    auto* self = static_cast<Writer*>(context);
    platform::ScopedLock lock(self->core.FilterLock());
    ++self->stops;
    self->flagSetAtStop = self->core.WriteError();
    self->core.CloseOutputFile();
  }

  // The pin's Receive: the receive lock around the frame.
  HResult Receive(const Bytes& frame) {
    platform::ScopedLock lock(core.ReceiveLock());
    return core.WriteFrame(frame.empty() ? nullptr : frame.data(),
                           static_cast<std::uint32_t>(frame.size()));
  }

  bool Capture(const std::string& asfPath) {
    ui.Choose(asfPath);
    return core.CaptureStreamHeaders();
  }

  Bytes Block() const {
    return Bytes(core.HeaderBlock(), core.HeaderBlock() + core.HeaderBlockLength());
  }
};

struct AsfOptions {
  bool video = true;                    // false: an audio stream only
  Bytes codecData;                      // the video stream's codec-specific data
  std::uint64_t timePerFrame100ns = 0;  // 0: no Extended Stream Properties
};

// Stream 1 alone, then something of a data object behind the header.
std::string MakeAsf(const std::string& dir, const std::string& name, const AsfOptions& o) {
  std::vector<Bytes> objects{o.video ? asfbuild::VideoStreamProperties({o.codecData, "WVC1", 1, 320, 240})
                                     : asfbuild::AudioStreamProperties(1)};
  if (o.timePerFrame100ns != 0)
    objects.push_back(asfbuild::HeaderExtension({asfbuild::ExtendedStreamProperties(1, o.timePerFrame100ns)}));
  std::string path = dir + "/" + name;
  EXPECT_TRUE(testdata::WriteFile(path, asfbuild::HeaderObject(objects, 64)));
  return path;
}

std::string ProgressiveAsf(const std::string& dir, std::uint64_t timePerFrame100ns = 400000) {
  return MakeAsf(dir, "progressive.wmv", {true, Join({{0x25}, PlainHeaders()}), timePerFrame100ns});
}

std::string InterlacedAsf(const std::string& dir) {
  return MakeAsf(dir, "interlaced.wmv", {true, PlainHeaders(true), 333667});
}

// ------------------------------------------------------------ result codes

TEST(WriterResults, DiskFullIsTheMappedWin32Error) {
  EXPECT_EQ(dravik::kDiskFullResult, static_cast<HResult>(0x80070070u));
#ifdef _WIN32
  EXPECT_EQ(dravik::kDiskFullResult, HRESULT_FROM_WIN32(ERROR_DISK_FULL));
#endif
}

TEST(WriterCore, ReportWriteFailureNeverPassesSuccessOn) {
  Writer w;
  struct Row {
    std::uint32_t lastError;
    HResult expected;
  };
  const Row rows[] = {{0, platform::kFail},
                      {5, static_cast<HResult>(0x80070005u)},
                      {29, static_cast<HResult>(0x8007001Du)},
                      {0x80004005u, platform::kFail}};
  for (const Row& r : rows) {
    platform::SetLastSystemError(r.lastError);
    EXPECT_EQ(w.core.ReportWriteFailure(), r.expected) << r.lastError;
  }
  EXPECT_TRUE(w.ui.Requests().empty());  // only a full disk is shown
  EXPECT_EQ(w.stops, 0);
  EXPECT_FALSE(w.core.WriteError());
}

// ------------------------------------------------------------ names

TEST(WriterCore, OutputNamesLoseALowerCaseAsfOnly) {
  struct Row {
    const wchar_t* given;
    const wchar_t* stored;
  };
  const Row rows[] = {
      {L"movie.asf", L"movie"}, {L"a.asf", L"a"},         {L".asf", L".asf"},
      {L"movie.ASF", L"movie.ASF"}, {L"movie.Asf", L"movie.Asf"}, {L"x.asf.asf", L"x.asf"},
      {L"movie.wmv", L"movie.wmv"}, {L"asf", L"asf"},     {L"", L""},
  };
  for (const Row& r : rows) {
    Writer w;
    EXPECT_EQ(w.core.SetOutputFileName(r.given), platform::kOk);
    std::wstring stored;
    ASSERT_TRUE(w.core.GetOutputFileName(&stored));
    EXPECT_EQ(stored, r.stored);
  }
}

TEST(WriterCore, OverlongAndMissingNamesChangeNothing) {
  Writer w;
  std::wstring name(260, L'n');
  EXPECT_EQ(w.core.SetOutputFileName(name.c_str()), platform::kOk);
  std::wstring longer(261, L'm');
  EXPECT_EQ(w.core.SetOutputFileName(longer.c_str()), 206);
  EXPECT_EQ(w.core.SetOutputFileName(nullptr), platform::kInvalidPointer);
  std::wstring stored;
  ASSERT_TRUE(w.core.GetOutputFileName(&stored));
  EXPECT_EQ(stored, name);
}

TEST(WriterCore, OpenWithoutAUsableNameGivesBare123) {
  Writer w;
  std::wstring stored;
  EXPECT_FALSE(w.core.GetOutputFileName(&stored));
  EXPECT_EQ(w.core.OpenOutputFile(), 123);
  // 260 characters plus the terminator do not fit the 260-byte narrow name.
  std::wstring name(260, L'a');
  ASSERT_EQ(w.core.SetOutputFileName(name.c_str()), platform::kOk);
  EXPECT_EQ(w.core.OpenOutputFile(), 123);
  EXPECT_FALSE(w.core.IsOutputFileOpen());
  EXPECT_TRUE(w.ui.Requests().empty());
}

// ------------------------------------------------------------ opening

TEST(WriterCore, SettingANameCreatesAnEmptyFileAtOnce) {
  std::string dir = testdata::ScratchDir();
  Writer w;
  std::string out = dir + "/out.vc1";
  // No input file chosen: no codec data, so S_FALSE although the file opened.
  EXPECT_EQ(w.core.SetFileName(Wide(out + ".asf").c_str()), platform::kFalse);
  EXPECT_TRUE(w.core.IsOutputFileOpen());
  ASSERT_EQ(w.ui.Requests().size(), 1u);
  const auto& chooser = w.ui.Requests()[0];
  EXPECT_EQ(chooser.kind, ScriptedUserInterface::Kind::kChooser);
  EXPECT_EQ(chooser.text,
            "Enter or re-enter => INPUT <= filename, the SAME file you use[d] for WM ASF Reader.");
  EXPECT_EQ(chooser.filters, (std::vector<std::string>{"ASF or WMV Files (*.asf)", "*.wmv",
                                                       "ALL Files (*.*)", "*.*"}));
  EXPECT_TRUE(chooser.mustExist);
  EXPECT_EQ(chooser.capacity, 260u);
  w.core.CloseOutputFile();
  EXPECT_TRUE(testdata::ReadFile(out).empty());
  EXPECT_EQ(platform::File::OpenSharedRead(out.c_str()).Size(), 0);
}

TEST(WriterCore, ExistingFileIsReplacedOnlyAfterOk) {
  std::string dir = testdata::ScratchDir();
  std::string out = dir + "/exists.vc1";
  const Bytes old = {1, 2, 3};
  ASSERT_TRUE(testdata::WriteFile(out, old));

  Writer cancel;
  ASSERT_EQ(cancel.core.SetOutputFileName(Wide(out).c_str()), platform::kOk);
  cancel.ui.AnswerCancel();
  EXPECT_EQ(cancel.core.OpenOutputFile(), static_cast<HResult>(0x80070050u));
  EXPECT_FALSE(cancel.core.IsOutputFileOpen());
  // Frames are then accepted and dropped.
  EXPECT_EQ(cancel.Receive({0xC0, 1, 2}), platform::kFalse);
  EXPECT_EQ(testdata::ReadFile(out), old);
  ASSERT_EQ(cancel.ui.Requests().size(), 1u);
  EXPECT_EQ(cancel.ui.Requests()[0].kind, ScriptedUserInterface::Kind::kQuestion);
  EXPECT_EQ(cancel.ui.Requests()[0].text, "Output File already exists - overwrite it?");
  EXPECT_EQ(cancel.ui.Requests()[0].caption, "File Already Exists");

  Writer ok;
  ASSERT_EQ(ok.core.SetOutputFileName(Wide(out).c_str()), platform::kOk);
  ok.ui.AnswerOk();
  EXPECT_EQ(ok.core.OpenOutputFile(), platform::kOk);
  EXPECT_TRUE(ok.core.IsOutputFileOpen());
  EXPECT_EQ(ok.Receive({0x10, 0x20}), platform::kOk);
  ok.core.CloseOutputFile();
  EXPECT_EQ(testdata::ReadFile(out), Join({kStartCode, {0x10, 0x20}}));
  EXPECT_EQ(ok.ui.Requests().size(), 1u);
  EXPECT_EQ(ok.ui.UnusedAnswers(), 0u);
}

TEST(WriterCore, SetFileNameReportsAFailedOpenNotSuccess) {
  // Whatever the capture finds, a name that gave no output file is answered
  // with why: never S_FALSE, which callers take for success.
  std::string dir = testdata::ScratchDir();
  std::string out = dir + "/kept.vc1";
  ASSERT_TRUE(testdata::WriteFile(out, {1}));
  const struct {
    const char* name;
    std::string file;
    bool declineOverwrite;
  } rows[] = {
      {"declined overwrite", out, true},
      {"folder missing", dir + "/missing/out.vc1", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Writer w;
    if (row.declineOverwrite) w.ui.AnswerCancel();
    const HResult hr = w.core.SetFileName(Wide(row.file).c_str());  // no input chosen
    EXPECT_TRUE(platform::Failed(hr)) << std::hex << hr;
    EXPECT_FALSE(w.core.IsOutputFileOpen());
    EXPECT_EQ(w.ui.Requests().back().kind, ScriptedUserInterface::Kind::kChooser);  // still asked
  }
  EXPECT_EQ(testdata::ReadFile(out), Bytes{1});
}

TEST(WriterCore, OtherCreationFailuresAreMappedWithoutAQuestion) {
  std::string dir = testdata::ScratchDir();
  Writer w;
  ASSERT_EQ(w.core.SetOutputFileName(Wide(dir + "/missing/out.vc1").c_str()), platform::kOk);
  HResult hr = w.core.OpenOutputFile();
  EXPECT_TRUE(hr == static_cast<HResult>(0x80070002u) || hr == static_cast<HResult>(0x80070003u))
      << std::hex << hr;
  EXPECT_TRUE(w.ui.Requests().empty());
  EXPECT_FALSE(w.core.IsOutputFileOpen());
}

TEST(WriterCore, ASecondNameWaitsForTheNextOpen) {
  std::string dir = testdata::ScratchDir();
  std::string first = dir + "/first.vc1", second = dir + "/second.vc1";
  Writer w;
  w.core.SetFileName(Wide(first).c_str());
  EXPECT_EQ(w.Receive({0x01}), platform::kOk);
  w.core.SetFileName(Wide(second).c_str());  // while the first is open
  EXPECT_EQ(w.Receive({0x02}), platform::kOk);
  EXPECT_FALSE(platform::File::OpenSharedRead(second.c_str()).IsOpen());
  w.core.CloseOutputFile();
  EXPECT_EQ(w.core.OpenOutputFile(), platform::kOk);  // the next Pause
  EXPECT_EQ(w.Receive({0x03}), platform::kOk);
  w.core.CloseOutputFile();
  EXPECT_EQ(testdata::ReadFile(first), Join({kStartCode, {0x01}, kStartCode, {0x02}}));
  EXPECT_EQ(testdata::ReadFile(second), Join({kStartCode, {0x03}}));
  // Both SetFileName calls asked for the input file; no overwrite question.
  for (const auto& r : w.ui.Requests()) EXPECT_EQ(r.kind, ScriptedUserInterface::Kind::kChooser);
}

// ------------------------------------------------------------ framing

TEST(WriterCore, HeaderBlockGoesBeforeEveryIPictureOnly) {
  std::string dir = testdata::ScratchDir();
  Writer w;
  std::string out = dir + "/out.vc1";
  w.ui.Choose(ProgressiveAsf(dir));
  ASSERT_EQ(w.core.SetFileName(Wide(out).c_str()), platform::kOk);
  Bytes block = w.Block();
  ASSERT_GE(block.size(), 8u);
  EXPECT_EQ(Bytes(block.begin(), block.begin() + 4), (Bytes{0, 0, 1, 0x0F}));
  EXPECT_FALSE(w.core.CapturedInterlace());
  EXPECT_EQ(w.core.TimePerFrame(), 40000u);

  const std::vector<Bytes> frames = {
      {0xC0, 0x11}, {0x12, 0x34}, {0xDF}, {0xE0, 0x01}, {0xBF}, {0xC7, 0xFF},
      {0x00, 0x00, 0x01, 0x0D, 0xC0},  // its own start code: framed all the same
      {0xFF}, {0x80}, {}};
  for (const Bytes& f : frames) EXPECT_EQ(w.Receive(f), platform::kOk);
  w.core.CloseOutputFile();

  Bytes expected;
  for (const Bytes& f : frames) {
    bool intra = !f.empty() && f[0] >= 0xC0 && f[0] <= 0xDF;
    expected = Join({expected, intra ? block : Bytes{}, kStartCode, f});
  }
  EXPECT_EQ(testdata::ReadFile(out), expected);
}

TEST(WriterCore, CodecDataWithoutStartCodesGivesAnEmptyBlock) {
  std::string dir = testdata::ScratchDir();
  AsfOptions o;
  o.codecData = {0x25, 0x01, 0x02, 0x03, 0x04};
  Writer w;
  std::string out = dir + "/out.vc1";
  w.ui.Choose(MakeAsf(dir, "nostart.wmv", o));
  EXPECT_EQ(w.core.SetFileName(Wide(out).c_str()), platform::kOk);  // codec data was found
  EXPECT_EQ(w.core.CodecDataLength(), 5u);
  EXPECT_EQ(w.core.HeaderBlockLength(), 0u);
  EXPECT_EQ(w.core.TimePerFrame(), 0u);
  EXPECT_EQ(w.Receive({0xC0, 0xAA}), platform::kOk);
  w.core.CloseOutputFile();
  EXPECT_EQ(testdata::ReadFile(out), Join({kStartCode, {0xC0, 0xAA}}));
}

TEST(WriterCore, FilesWithoutVideoCodecDataCaptureNothing) {
  std::string dir = testdata::ScratchDir();
  AsfOptions audio;
  audio.video = false;
  audio.timePerFrame100ns = 400000;
  Writer w;
  EXPECT_FALSE(w.Capture(MakeAsf(dir, "audio.wma", audio)));
  EXPECT_EQ(w.core.CodecDataLength(), 0u);
  EXPECT_EQ(w.core.HeaderBlockLength(), 0u);
  // Not an ASF file at all.
  std::string es = dir + "/plain.vc1";
  ASSERT_TRUE(testdata::WriteFile(es, PlainHeaders()));
  EXPECT_FALSE(w.Capture(es));
  EXPECT_EQ(w.core.HeaderBlockLength(), 0u);
}

TEST(WriterCore, ACaptureThatOpensNoFileKeepsTheEarlierBlock) {
  std::string dir = testdata::ScratchDir();
  Writer w;
  // Before any capture: nothing to keep.
  w.ui.Choose("");
  EXPECT_FALSE(w.core.CaptureStreamHeaders());
  EXPECT_EQ(w.core.HeaderBlockLength(), 0u);

  ASSERT_TRUE(w.Capture(ProgressiveAsf(dir)));
  Bytes block = w.Block();
  std::uint32_t codecLength = w.core.CodecDataLength();
  ASSERT_FALSE(block.empty());

  w.ui.Choose("");                                  // cancelled
  EXPECT_TRUE(w.core.CaptureStreamHeaders());
  EXPECT_TRUE(w.Capture(dir + "/no-such-file.wmv"));  // not openable
  EXPECT_EQ(w.Block(), block);
  EXPECT_EQ(w.core.CodecDataLength(), codecLength);
  EXPECT_EQ(w.core.TimePerFrame(), 40000u);

  std::string out = dir + "/out.vc1";
  ASSERT_EQ(w.core.SetOutputFileName(Wide(out).c_str()), platform::kOk);
  ASSERT_EQ(w.core.OpenOutputFile(), platform::kOk);
  EXPECT_EQ(w.Receive({0xC1}), platform::kOk);
  w.core.CloseOutputFile();
  EXPECT_EQ(testdata::ReadFile(out), Join({block, kStartCode, {0xC1}}));

  // A capture that opens a file replaces everything, also with nothing.
  AsfOptions audio;
  audio.video = false;
  EXPECT_FALSE(w.Capture(MakeAsf(dir, "audio.wma", audio)));
  EXPECT_EQ(w.core.HeaderBlockLength(), 0u);
  EXPECT_EQ(w.core.CodecDataLength(), 0u);
  EXPECT_EQ(w.core.TimePerFrame(), 0u);
}

TEST(WriterCore, CaptureFromAnOpenReaderIsTheChoosersCaptureWithoutTheDialog) {
  std::string dir = testdata::ScratchDir();
  Writer chosen;
  ASSERT_TRUE(chosen.Capture(ProgressiveAsf(dir)));

  Writer w;
  const Bytes file = testdata::ReadFile(ProgressiveAsf(dir));
  platform::MemoryReader reader(file.data(), file.size());
  ASSERT_TRUE(w.core.CaptureStreamHeadersFrom(reader));
  EXPECT_TRUE(w.ui.Requests().empty());
  EXPECT_EQ(w.Block(), chosen.Block());
  EXPECT_EQ(w.core.CodecDataLength(), chosen.core.CodecDataLength());
  EXPECT_EQ(w.core.TimePerFrame(), 40000u);

  // An input it can read but finds nothing in replaces the earlier block:
  // only a capture that opens no input keeps it.
  const Bytes es = PlainHeaders();
  platform::MemoryReader plain(es.data(), es.size());
  EXPECT_FALSE(w.core.CaptureStreamHeadersFrom(plain));
  EXPECT_EQ(w.core.CodecDataLength(), 0u);
  EXPECT_EQ(w.core.HeaderBlockLength(), 0u);
  EXPECT_EQ(w.core.TimePerFrame(), 0u);
}

TEST(WriterCore, InterlacedStreamsMarkIPicturesAfterFcm) {
  struct Row {
    std::uint8_t firstByte;
    bool progressiveStream;  // INTERLACE 0: PTYPE first
    bool interlacedStream;   // INTERLACE 1: FCM, then PTYPE or FPTYPE
  };
  const Row rows[] = {
      {0x00, false, false},  // 0 0...: progressive P
      {0x60, false, true},   // 0 110: progressive I
      {0x6F, false, true},
      {0x70, false, false},  // 0 1110: progressive BI
      {0x40, false, false},  // 0 10: progressive B
      {0x80, false, false},  // 10 0: frame-interlaced P
      {0xB0, false, true},   // 10 110: frame-interlaced I
      {0xB7, false, true},
      {0xB8, false, false},  // 10 1110: BI
      {0xA0, false, false},  // 10 10: B
      {0xC0, true, true},    // 11 000: I/I field pair
      {0xC8, true, true},    // 11 001: I/P
      {0xCF, true, true},
      {0xD0, true, false},   // 11 010: P/I
      {0xD8, true, false},   // 11 011: P/P
      {0xDF, true, false},
      {0xE0, false, false},  // 11 100: B/B
      {0xF8, false, false},  // 11 111: BI/BI
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Vc1WriterCore::StartsIntraPicture(r.firstByte, false), r.progressiveStream)
        << std::hex << int{r.firstByte};
    EXPECT_EQ(Vc1WriterCore::StartsIntraPicture(r.firstByte, true), r.interlacedStream)
        << std::hex << int{r.firstByte};
  }
  for (int b = 0; b < 256; ++b)
    EXPECT_EQ(Vc1WriterCore::StartsIntraPicture(static_cast<std::uint8_t>(b), false),
              (b & 0xE0) == 0xC0);
}

TEST(WriterCore, InterlaceIsTakenFromTheCaptureNotFromTheEngineLater) {
  std::string dir = testdata::ScratchDir();
  Writer w;
  std::string out = dir + "/out.vc1";
  w.ui.Choose(InterlacedAsf(dir));
  ASSERT_EQ(w.core.SetFileName(Wide(out).c_str()), platform::kOk);
  EXPECT_TRUE(w.core.CapturedInterlace());
  EXPECT_EQ(w.core.TimePerFrame(), 33367u);
  Bytes block = w.Block();

  // Another writer's progressive capture leaves its own values in the engine.
  Writer other;
  ASSERT_TRUE(other.Capture(ProgressiveAsf(dir)));
  EXPECT_FALSE(other.core.CapturedInterlace());

  const std::vector<Bytes> frames = {{0x60}, {0xD0}, {0xB3}, {0xC8}, {0x00}, {0xE0}};
  for (const Bytes& f : frames) EXPECT_EQ(w.Receive(f), platform::kOk);
  w.core.CloseOutputFile();
  EXPECT_EQ(testdata::ReadFile(out),
            Join({block, kStartCode, {0x60}, kStartCode, {0xD0}, block, kStartCode, {0xB3}, block,
                  kStartCode, {0xC8}, kStartCode, {0x00}, kStartCode, {0xE0}}));
}

// ------------------------------------------------------------ real files

TEST(WriterCore, CapturesFromEachRealWmv) {
  VC1_REQUIRE_TESTDATA();
  struct Row {
    const char* file;
    std::uint32_t timePerFrame;
    bool leadingByte;  // codec data has one byte before the sequence start code
  };
  const Row rows[] = {
      {"wmv/fishes.wmv", 40000, true},  // the video stream's 400000, not the audio's
      {"wmv/ladybug.wmv", 40000, true},
      {"wmv/TallShip-medium.wmv", 33333, true},
      {"wmv/gstvaapi_vc1_clip.ffmpeg.wmv", 0, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.file);
    Writer w;
    ASSERT_TRUE(w.Capture(testdata::Path(r.file)));
    EXPECT_EQ(w.core.TimePerFrame(), r.timePerFrame);
    EXPECT_FALSE(w.core.CapturedInterlace());
    const std::uint8_t* codec = w.core.CodecData();
    std::size_t sc = r.leadingByte ? 1 : 0;
    ASSERT_GT(w.core.CodecDataLength(), sc + 4);
    EXPECT_EQ(Bytes(codec + sc, codec + sc + 4), (Bytes{0, 0, 1, 0x0F}));
    Bytes block = w.Block();
    ASSERT_GT(block.size(), 8u);
    EXPECT_LE(block.size(), 191u);
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 4), (Bytes{0, 0, 1, 0x0F}));
    const Bytes entryPoint = {0, 0, 1, 0x0E};
    EXPECT_NE(std::search(block.begin(), block.end(), entryPoint.begin(), entryPoint.end()),
              block.end());
  }
}

TEST(WriterCore, CapturesInterlacedHeadersFromARealStream) {
  VC1_REQUIRE_TESTDATA();
  std::string dir = testdata::ScratchDir();
  AsfOptions o;
  o.codecData = Join({{0x25}, testdata::ReadFile(testdata::Path("es/gst_vc1parser_1080i_headers.vc1"))});
  ASSERT_GT(o.codecData.size(), 1u);
  Writer w;
  ASSERT_TRUE(w.Capture(MakeAsf(dir, "1080i.wmv", o)));
  EXPECT_TRUE(w.core.CapturedInterlace());
  EXPECT_GT(w.core.HeaderBlockLength(), 0u);
}

// ------------------------------------------------------------ concurrency

TEST(WriterCore, WritersCapturingAtOnceKeepTheirOwnHeaders) {
  std::string dir = testdata::ScratchDir();
  std::string progressive = ProgressiveAsf(dir, 416667);  // 24 fps: injected as a code pair
  std::string interlaced = InterlacedAsf(dir);
  Writer a, b;
  ASSERT_TRUE(a.Capture(progressive));
  ASSERT_TRUE(b.Capture(interlaced));
  const Bytes blockA = a.Block(), blockB = b.Block();
  ASSERT_NE(blockA, blockB);

  constexpr int kRounds = 1000;
  std::atomic<int> mismatches{0};
  std::atomic<int> ready{0};
  auto run = [&](Writer* w, const std::string& path, const Bytes& expected, bool interlace) {
    ++ready;
    while (ready.load() < 2) std::this_thread::yield();  // start together
    for (int i = 0; i < kRounds; ++i) {
      w->ui.Choose(path);
      if (!w->core.CaptureStreamHeaders() || w->Block() != expected ||
          w->core.CapturedInterlace() != interlace)
        ++mismatches;
    }
  };
  std::thread ta(run, &a, progressive, blockA, false);
  std::thread tb(run, &b, interlaced, blockB, true);
  ta.join();
  tb.join();
  EXPECT_EQ(mismatches.load(), 0);
}

#ifndef _WIN32

// A FIFO with no reader yet blocks the writer inside its write call: a real
// write in progress that the test releases when it chooses.
struct BlockedWrite {
  std::string fifo;
  Writer w;
  Bytes frame;
  std::thread writer;
  std::atomic<bool> written{false};
  HResult result = 0;

  explicit BlockedWrite(const std::string& dir) : fifo(dir + "/pipe.vc1"), frame(256 * 1024, 0x12) {
    EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    frame[0] = 0xC0;
  }
  // Opens the FIFO (exists: answered OK) with a reader, and starts writing.
  int Start() {
    EXPECT_EQ(w.core.SetOutputFileName(Wide(fifo).c_str()), platform::kOk);
    w.ui.AnswerOk();
    int reader = -1;
    std::thread opener([&] { reader = ::open(fifo.c_str(), O_RDONLY); });
    EXPECT_EQ(w.core.OpenOutputFile(), platform::kOk);
    opener.join();
    writer = std::thread([this] {
      result = w.Receive(frame);
      written = true;
    });
    return reader;
  }
  // Bytes in the FIFO mean the frame's writes have begun, under the core's lock.
  static bool WaitUntilWriting(int reader) {
    for (int i = 0; i < 10000; ++i) {
      int queued = 0;
      if (::ioctl(reader, FIONREAD, &queued) == 0 && queued > 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  // Everything the FIFO gives until its writer is closed.
  static Bytes Drain(int reader) {
    Bytes got;
    std::uint8_t buf[65536];
    for (;;) {
      ssize_t n = ::read(reader, buf, sizeof buf);
      if (n <= 0) break;
      got.insert(got.end(), buf, buf + n);
    }
    ::close(reader);
    return got;
  }
};

TEST(WriterCoreLocks, CloseWaitsForTheFrameBeingWritten) {
  std::string dir = testdata::ScratchDir();
  BlockedWrite bw(dir);
  ASSERT_TRUE(bw.w.Capture(ProgressiveAsf(dir)));
  Bytes block = bw.w.Block();
  int reader = bw.Start();
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(BlockedWrite::WaitUntilWriting(reader));

  std::atomic<bool> closed{false};
  std::thread stopper([&] {
    platform::ScopedLock lock(bw.w.core.FilterLock());  // as the filter's Stop
    bw.w.core.CloseOutputFile();
    closed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(closed.load());  // the write cannot finish: nobody reads yet
  EXPECT_FALSE(bw.written.load());

  Bytes got = BlockedWrite::Drain(reader);  // EOF only once the close happened
  stopper.join();
  bw.writer.join();
  EXPECT_EQ(bw.result, platform::kOk);
  EXPECT_EQ(got, Join({block, kStartCode, bw.frame}));
}

TEST(WriterCoreLocks, ANewHeaderBlockWaitsForTheFrameBeingWritten) {
  std::string dir = testdata::ScratchDir();
  BlockedWrite bw(dir);
  ASSERT_TRUE(bw.w.Capture(ProgressiveAsf(dir)));
  Bytes oldBlock = bw.w.Block();
  int reader = bw.Start();
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(BlockedWrite::WaitUntilWriting(reader));

  std::atomic<bool> captured{false};
  std::string interlaced = InterlacedAsf(dir);
  std::thread capturer([&] {
    bw.w.ui.Choose(interlaced);  // the scripted UI is used by this thread only from here
    bw.w.core.CaptureStreamHeaders();
    captured = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(captured.load());

  Bytes got;
  std::thread drainer([&] { got = BlockedWrite::Drain(reader); });
  capturer.join();
  bw.writer.join();
  EXPECT_TRUE(bw.w.core.CapturedInterlace());
  bw.w.core.CloseOutputFile();
  drainer.join();
  EXPECT_EQ(got, Join({oldBlock, kStartCode, bw.frame}));
}

// ------------------------------------------------------------ failed writes

TEST(WriterCore, FullDiskStopsClosesFlagsAndWarns) {
  std::string dir = testdata::ScratchDir();
  Writer w;
  ASSERT_TRUE(w.Capture(ProgressiveAsf(dir)));
  Bytes block = w.Block();
  ASSERT_EQ(w.core.SetOutputFileName(L"/dev/full"), platform::kOk);
  w.ui.AnswerOk();  // it exists
  ASSERT_EQ(w.core.OpenOutputFile(), platform::kOk);

  EXPECT_EQ(w.Receive({0xC0, 1, 2, 3}), static_cast<HResult>(0x80070070u));
  EXPECT_EQ(w.stops, 1);
  EXPECT_TRUE(w.flagSetAtStop);
  EXPECT_FALSE(w.core.IsOutputFileOpen());
  EXPECT_TRUE(w.core.WriteError());
  ASSERT_EQ(w.ui.Requests().size(), 3u);  // chooser, overwrite question, warning
  const auto& warning = w.ui.Requests()[2];
  EXPECT_EQ(warning.kind, ScriptedUserInterface::Kind::kWarning);
  EXPECT_EQ(warning.caption, "Dravik Filter failure");
  EXPECT_EQ(warning.text,
            "The disk containing output file has run out of space, so Dravik filter has been "
            "stopped.\r\n\r\nYou must set a new Dravik file name or restart the graph to clear "
            "this filter error.");

  // Nothing else is lost: the block, the name; later frames are dropped quietly.
  EXPECT_EQ(w.Block(), block);
  std::wstring name;
  ASSERT_TRUE(w.core.GetOutputFileName(&name));
  EXPECT_EQ(name, L"/dev/full");
  EXPECT_EQ(w.Receive({0xC0}), platform::kFalse);
  EXPECT_EQ(w.stops, 1);

  // Run clears the flag and opens the same file again, asking first.
  w.core.ClearWriteError();
  w.ui.AnswerOk();
  EXPECT_EQ(w.core.OpenOutputFile(), platform::kOk);
  EXPECT_EQ(w.ui.Requests().size(), 4u);
  EXPECT_EQ(w.Receive({0x00}), static_cast<HResult>(0x80070070u));
  EXPECT_EQ(w.stops, 2);
}

TEST(WriterCore, WithoutAStopRequestTheCoreClosesTheFileItself) {
  platform::ScriptedUserInterface ui;
  Vc1WriterCore core(ui, nullptr, nullptr);
  ASSERT_EQ(core.SetOutputFileName(L"/dev/full"), platform::kOk);
  ui.AnswerOk();
  ASSERT_EQ(core.OpenOutputFile(), platform::kOk);
  const std::uint8_t frame[] = {0x10};
  EXPECT_EQ(core.WriteFrame(frame, 1), static_cast<HResult>(0x80070070u));
  EXPECT_FALSE(core.IsOutputFileOpen());
  EXPECT_TRUE(core.WriteError());
}

// A write that the system cuts short (the file-size limit here) must be
// continued; the continuation then fails, and the frame is not reported written.
TEST(WriterCore, ShortWritesAreContinuedUntilAFailure) {
  std::string dir = testdata::ScratchDir();
  std::string out = dir + "/limited.vc1";
  Writer w;
  ASSERT_EQ(w.core.SetOutputFileName(Wide(out).c_str()), platform::kOk);
  ASSERT_EQ(w.core.OpenOutputFile(), platform::kOk);

  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limited = saved;
  limited.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  Bytes frame(3000, 0x33);
  HResult hr = w.Receive(frame);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);

  // The first payload write stops at the limit and reports success; the next
  // call gets EFBIG, which is a full disk.
  EXPECT_EQ(hr, static_cast<HResult>(0x80070070u));
  EXPECT_EQ(w.stops, 1);
  EXPECT_EQ(testdata::ReadFile(out).size(), 1000u);
}

#endif  // !_WIN32

}  // namespace

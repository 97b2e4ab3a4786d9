// Dravik as an application meets it: the registered module, created by class
// through the COM runtime, named an output through IFileSinkFilter (the real
// dialogs, answered from outside), fed the real frames of each sample WMV by
// a push source through Wine's filter graph manager and system allocator.
// The output must be byte for byte what dravik-extract writes; the session
// script then has FFmpeg and Kestrine look at it (graph-session.sh).

#include <gtest/gtest.h>
#include <dshow.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "asf/asf_data_reader.h"
#include "asf/asf_header_probe.h"
#include "asf_data_reader_support.h"
#include "dialog_answers.h"
#include "dravik_fakes.h"
#include "dravik_test_support.h"
#include "filter/dravik_class.h"
#include "filter/wvc1_subtype.h"
#include "framework/com_ptr.h"
#include "platform/file.h"
#include "support/test_graph.h"
#include "support/test_source.h"
#include "test_data.h"
#include "vc1_stream_builder.h"
#include "wmv_frames.h"

using dravik_test::DialogAnswers;
using dravik_test::FramesOf;
using dravik_test::WindowsPath;
using framework::ComPtr;

namespace {

constexpr DWORD kStateChangeLimitMs = 10000;
// A state change that asks a question waits for the answerer as well.
constexpr DWORD kAskingStateChangeLimitMs = 40000;
constexpr HRESULT kDiskFull = static_cast<HRESULT>(0x80070070u);

// Where the outputs go: the session's folder (checked afterwards by FFmpeg
// and Kestrine) or a scratch folder.
std::string OutputFolder() {
  const char* folder = std::getenv("DRAVIK_GRAPH_OUTPUT");
  return folder && *folder ? WindowsPath(folder) : WindowsPath(testdata::ScratchDir());
}

std::string BaseName(const std::string& path) {
  return path.substr(path.find_last_of("\\/") + 1);
}

std::vector<std::uint8_t> ExtractedBy(const std::string& wmv, const std::string& folder) {
  const std::string out = folder + "\\" + BaseName(wmv) + ".extract.vc1";
  const std::string command = "\"" + WindowsPath(DRAVIK_EXTRACT_PROGRAM) + "\" --force \"" + wmv +
                              "\" \"" + out + "\"";
  EXPECT_EQ(dravik_test::RunProgram(command), 0) << command;
  auto bytes = testdata::ReadFile(out);
  DeleteFileA(out.c_str());
  return bytes;
}

// Dravik and a push source in Wine's graph manager, connected.
struct DravikGraph {
  explicit DravikGraph(TestSourceScript script, bool clock = false)
      : graph(TestGraph::Create(clock)) {
    source.attach(CTestSource::Create(std::move(script)));
    EXPECT_EQ(CoCreateInstance(CLSID_DravikWriter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               dravik.put_void()),
              S_OK);
    if (!dravik || !graph.Valid()) return;
    EXPECT_EQ(dravik->QueryInterface(IID_IFileSinkFilter, sink.put_void()), S_OK);
    EXPECT_EQ(graph.builder->AddFilter(source.get(), L"Source"), S_OK);
    EXPECT_EQ(graph.builder->AddFilter(dravik.get(), L"Dravik"), S_OK);
  }
  ~DravikGraph() {
    if (graph.control) Within([&] { graph.control->Stop(); });
    if (graph.builder) {
      graph.builder->RemoveFilter(source.get());
      graph.builder->RemoveFilter(dravik.get());
    }
  }
  HRESULT Connect() {
    ComPtr<IPin> input;
    HRESULT hr = dravik->FindPin(L"Input", input.put());
    if (FAILED(hr)) return hr;
    return graph.builder->ConnectDirect(source->OutputPin(), input.get(), nullptr);
  }
  // Every state change must come back within the limit (a hang ends the run).
  static void Within(const std::function<void()>& change, DWORD limitMs = kStateChangeLimitMs) {
    EXPECT_TRUE(FinishesWithin(limitMs, change));
  }
  HRESULT Run(DWORD limitMs = kStateChangeLimitMs) {
    HRESULT hr = E_FAIL;
    Within([&] { hr = graph.control->Run(); }, limitMs);
    return hr;
  }
  HRESULT Pause() {
    HRESULT hr = E_FAIL;
    Within([&] { hr = graph.control->Pause(); });
    return hr;
  }
  HRESULT Stop() {
    HRESULT hr = E_FAIL;
    Within([&] { hr = graph.control->Stop(); });
    return hr;
  }
  HRESULT SetFileName(const std::string& name) {
    return sink->SetFileName(dravik_test::Widen(name).c_str(), nullptr);
  }
  FILTER_STATE DravikState() {
    FILTER_STATE state = State_Running;
    dravik->GetState(0, &state);
    return state;
  }

  TestGraph graph;
  ComPtr<CTestSource> source;
  ComPtr<IBaseFilter> dravik;
  ComPtr<IFileSinkFilter> sink;
};

// The module is registered for the whole run, as a user registers it, and
// unregistered at the end.
class DravikModule : public ::testing::Environment {
 public:
  void SetUp() override { Call("DllRegisterServer"); }
  void TearDown() override { Call("DllUnregisterServer"); }

 private:
  static void Call(const char* name) {
    CoInitialize(nullptr);
    HMODULE module = LoadLibraryA(dravik_test::ModulePath().c_str());
    ASSERT_NE(module, nullptr);
    using Export = HRESULT(STDAPICALLTYPE*)();
    auto call = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call(), S_OK) << name;
    FreeLibrary(module);
    CoUninitialize();
  }
};
const auto* const g_module = ::testing::AddGlobalTestEnvironment(new DravikModule);

class DravikInAGraph : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override {
    // Nothing of the module outlives a test: the runtime may unload it.
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(GetModuleHandleA(dravik_test::ModulePath().c_str()), nullptr)
        << "dravik.ax still loaded: an object outlived the test";
    CoUninitialize();
  }
};

TEST_F(DravikInAGraph, EveryWmvGivesWhatDravikExtractWrites) {
  DRAVIK_REQUIRE_DIALOGS();
  VC1_REQUIRE_TESTDATA();
  const auto files = testdata::List("wmv", ".wmv");
  ASSERT_FALSE(files.empty());
  const std::string folder = OutputFolder();
  for (const std::string& file : files) {
    const std::string wmv = WindowsPath(file);
    SCOPED_TRACE(wmv);
    const std::string output = folder + "\\" + BaseName(wmv) + ".vc1";
    ASSERT_TRUE(testdata::WriteFile(output, {0xEE}));  // so the overwrite question comes
    TestSourceScript script = FramesOf(wmv);
    const int frames = script.FrameCount();
    ASSERT_GT(frames, 0);
    {
      DravikGraph g(std::move(script));
      ASSERT_TRUE(g.sink);
      const std::size_t shown = DialogAnswers::Shown().size();
      DialogAnswers::Queue("overwrite", "ok");
      DialogAnswers::Queue("input", wmv);
      EXPECT_EQ(g.SetFileName(output), S_OK);
      const auto answered = DialogAnswers::Shown();
      EXPECT_EQ(std::vector<std::string>(answered.begin() + static_cast<long>(shown), answered.end()),
                (std::vector<std::string>{"overwrite ok", "input " + wmv}));
      ASSERT_EQ(g.Connect(), S_OK);
      ASSERT_EQ(g.Run(), S_OK);
      EXPECT_EQ(g.graph.WaitForCompletion(60000), EC_COMPLETE);
      EXPECT_EQ(g.source->DeliveryResult(), S_OK);
      EXPECT_EQ(g.source->Delivered(), frames);
      EXPECT_EQ(g.Stop(), S_OK);
    }
    const auto written = testdata::ReadFile(output);
    EXPECT_EQ(written, ExtractedBy(wmv, folder)) << "differs from dravik-extract's output";
  }
}

TEST_F(DravikInAGraph, CancelledInputDialogWritesFramesWithoutHeaders) {
  DRAVIK_REQUIRE_DIALOGS();
  VC1_REQUIRE_TESTDATA();
  const std::string wmv = WindowsPath(testdata::List("wmv", ".wmv").front());
  const std::string output = WindowsPath(testdata::ScratchDir()) + "\\bare.vc1";
  TestSourceScript script = FramesOf(wmv);
  std::vector<std::uint8_t> expected;
  for (const TestSourceStep& step : script.steps) {
    if (step.kind != TestSourceStep::kFrame) continue;
    expected.insert(expected.end(), {0x00, 0x00, 0x01, 0x0D});
    expected.insert(expected.end(), step.frame.data.begin(), step.frame.data.end());
  }
  {
    DravikGraph g(std::move(script));
    ASSERT_TRUE(g.sink);
    DialogAnswers::Queue("input", "cancel");
    EXPECT_EQ(g.SetFileName(output), S_FALSE);  // output open, no headers
    ASSERT_EQ(g.Connect(), S_OK);
    ASSERT_EQ(g.Run(), S_OK);
    EXPECT_EQ(g.graph.WaitForCompletion(60000), EC_COMPLETE);
    EXPECT_EQ(g.Stop(), S_OK);
  }
  EXPECT_EQ(testdata::ReadFile(output), expected);
}

// The largest sample: its stream is sure to outgrow the small disk.
std::string LargestWmv() {
  std::string largest;
  std::size_t size = 0;
  for (const std::string& file : testdata::List("wmv", ".wmv")) {
    const std::size_t bytes = testdata::ReadFile(file).size();
    if (bytes > size) {
      size = bytes;
      largest = file;
    }
  }
  return WindowsPath(largest);
}

long long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

TEST_F(DravikInAGraph, AFullDiskStopsTheFilterWarnsAndTellsTheApplication) {
  DRAVIK_REQUIRE_DIALOGS();
  VC1_REQUIRE_TESTDATA();
  const char* disk = std::getenv("DRAVIK_SMALL_DISK");
  if (!disk || !*disk) GTEST_SKIP() << "no small disk (graph-session.sh mounts one as root); skipped";
  const std::string wmv = LargestWmv();
  const std::string output = WindowsPath(disk) + "\\full.vc1";
  DeleteFileA(output.c_str());

  DravikGraph g(FramesOf(wmv));
  ASSERT_TRUE(g.sink);
  const std::size_t shown = DialogAnswers::Shown().size();
  DialogAnswers::Queue("input", wmv);
  ASSERT_EQ(g.SetFileName(output), S_OK);
  ASSERT_EQ(g.Connect(), S_OK);
  DialogAnswers::Queue("warning", "ok");
  ASSERT_EQ(g.Run(), S_OK);
  ASSERT_TRUE(g.source->WaitDone(60000));

  // The sample that did not fit got the disk-full code, after the warning.
  EXPECT_EQ(g.source->DeliveryResult(), kDiskFull);
  EXPECT_LT(g.source->Delivered(), FramesOf(wmv).FrameCount());
  EXPECT_TRUE(DialogAnswers::WaitShown(shown + 2));
  auto answered = DialogAnswers::Shown();
  EXPECT_EQ(std::vector<std::string>(answered.begin() + static_cast<long>(shown), answered.end()),
            (std::vector<std::string>{"input " + wmv, "warning ok"}));
  EXPECT_EQ(g.DravikState(), State_Stopped);
  // Closed: nobody holds it, so it opens without sharing at once.
  HANDLE file = CreateFileA(output.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  const long long full = FileSize(output);
  EXPECT_GT(full, 0);

  // What the application sees: the event, with the disk-full code. (Wine's
  // graph manager does not end WaitForCompletion on it; the run says so.)
  const long completion = g.graph.WaitForCompletion(3000);
  std::printf("WaitForCompletion after the disk-full stop: %s\n",
              completion == 0 ? "timed out (Wine ends it on EC_COMPLETE only)"
                              : ("returned event " + std::to_string(completion)).c_str());
  RecordProperty("WaitForCompletionAfterDiskFull", static_cast<int>(completion));
  bool aborted = false;
  long code = 0;
  LONG_PTR first = 0, second = 0;
  while (g.graph.events->GetEvent(&code, &first, &second, 0) == S_OK) {
    if (code == EC_ERRORABORT && first == kDiskFull) aborted = true;
    g.graph.events->FreeEventParams(code, first, second);
  }
  EXPECT_TRUE(aborted) << "no EC_ERRORABORT with 0x80070070";

  // Pause leaves the full file alone; Run asks before it empties it.
  ASSERT_EQ(g.Pause(), S_OK);
  EXPECT_EQ(FileSize(output), full);
  EXPECT_EQ(DialogAnswers::Shown().size(), shown + 2);
  DialogAnswers::Queue("overwrite", "ok");
  ASSERT_EQ(g.Run(kAskingStateChangeLimitMs), S_OK);
  EXPECT_TRUE(DialogAnswers::WaitShown(shown + 3));
  answered = DialogAnswers::Shown();
  EXPECT_EQ(answered.back(), "overwrite ok");
  EXPECT_EQ(FileSize(output), 0);
  EXPECT_EQ(g.Stop(), S_OK);
  EXPECT_TRUE(DeleteFileA(output.c_str()));
}

TEST_F(DravikInAGraph, StateChangesWhileFramesAreWritten) {
  DRAVIK_REQUIRE_DIALOGS();
  VC1_REQUIRE_TESTDATA();
  const std::string wmv = LargestWmv();
  const std::string folder = WindowsPath(testdata::ScratchDir());
  const std::string output = folder + "\\stress.vc1";
  // The stream ten times over, so that it is still flowing while the state
  // changes; what any run writes is then a prefix of this.
  const TestSourceScript once = FramesOf(wmv);
  TestSourceScript script = once;
  script.steps.clear();
  const std::vector<std::uint8_t> extracted = ExtractedBy(wmv, folder);
  std::vector<std::uint8_t> expected;
  for (int copy = 0; copy < 10; ++copy) {
    script.steps.insert(script.steps.end(), once.steps.begin(), once.steps.end() - 1);
    expected.insert(expected.end(), extracted.begin(), extracted.end());
  }
  script.AddEndOfStream();

  DravikGraph g(std::move(script), true);
  ASSERT_TRUE(g.sink);
  DialogAnswers::Queue("input", wmv);
  ASSERT_EQ(g.SetFileName(output), S_OK);
  ASSERT_EQ(g.Connect(), S_OK);
  // A prefix of whole frames, and nothing written after the close.
  const auto checkWritten = [&](const char* when) {
    const auto written = testdata::ReadFile(output);
    ASSERT_LE(written.size(), expected.size()) << when;
    EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.begin())) << when;
    Sleep(20);
    EXPECT_EQ(FileSize(output), static_cast<long long>(written.size())) << when;
  };

  ASSERT_EQ(g.Run(), S_OK);
  for (int cycle = 0; cycle < 200; ++cycle) {
    ASSERT_EQ(g.Pause(), S_OK) << cycle;
    ASSERT_EQ(g.Run(), S_OK) << cycle;
  }
  for (int cycle = 0; cycle < 20; ++cycle) {
    SCOPED_TRACE(cycle);
    ASSERT_EQ(g.Stop(), S_OK);
    const HRESULT delivered = g.source->DeliveryResult();
    EXPECT_NE(delivered, E_HANDLE) << "a write after the close";
    EXPECT_NE(delivered, kDiskFull);
    checkWritten("after Stop");
    const std::size_t shown = DialogAnswers::Shown().size();
    DialogAnswers::Queue("overwrite", "ok");
    ASSERT_EQ(g.Run(kAskingStateChangeLimitMs), S_OK);
    EXPECT_TRUE(DialogAnswers::WaitShown(shown + 1));
    Sleep(static_cast<DWORD>(cycle * 5));  // stop at a different point each time
  }
  ASSERT_EQ(g.Stop(), S_OK);
  checkWritten("at the end");
}

// Forced rather than hoped for: the frame is held inside Receive (in the
// sample's GetPointer) while the graph stops. Stop must not wait for it, and
// the frame must not reach the closed file.
TEST_F(DravikInAGraph, StopWhileAFrameIsInsideReceive) {
  DRAVIK_REQUIRE_DIALOGS();
  VC1_REQUIRE_TESTDATA();
  const std::string wmv = LargestWmv();
  const std::string output = WindowsPath(testdata::ScratchDir()) + "\\inside.vc1";
  TestSourceScript silent = FramesOf(wmv);
  silent.steps.clear();  // the test hands Dravik its frames itself
  DravikGraph g(std::move(silent));
  ASSERT_TRUE(g.sink);
  DialogAnswers::Queue("input", wmv);
  ASSERT_EQ(g.SetFileName(output), S_OK);
  ASSERT_EQ(g.Connect(), S_OK);
  ComPtr<IPin> pin;
  ComPtr<IMemInputPin> input;
  ASSERT_EQ(g.dravik->FindPin(L"Input", pin.put()), S_OK);
  ASSERT_EQ(pin->QueryInterface(IID_IMemInputPin, input.put_void()), S_OK);
  ASSERT_EQ(g.Run(), S_OK);
  FakeSample written({0x0F, 1, 2, 3});
  ASSERT_EQ(input->Receive(&written), S_OK);
  const long long before = FileSize(output);
  EXPECT_GT(before, 0);

  HANDLE inside = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  FakeSample held({0x0F, 4, 5, 6});
  held.onPointer = [&] {
    SetEvent(inside);
    WaitForSingleObject(release, kStateChangeLimitMs);
  };
  HRESULT received = E_FAIL;
  std::thread streaming([&] { received = input->Receive(&held); });
  if (WaitForSingleObject(inside, kStateChangeLimitMs) == WAIT_OBJECT_0) {
    EXPECT_EQ(g.Stop(), S_OK);
    EXPECT_EQ(g.DravikState(), State_Stopped);
    HANDLE file = CreateFileA(output.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << "the output is still open";
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  } else {
    ADD_FAILURE() << "the frame never reached GetPointer";
  }
  SetEvent(release);
  streaming.join();
  CloseHandle(inside);
  CloseHandle(release);
  EXPECT_EQ(received, S_OK);  // accepted and dropped, as any frame without a file
  EXPECT_EQ(FileSize(output), before) << "bytes after the close";
  EXPECT_TRUE(DeleteFileA(output.c_str()));
}

// Codec data with the sequence header's display extension taken out: its bits
// up to DISPLAY_EXT, a 0 there, the bits after the extension, a new stop bit;
// the entry-point header as it was.
std::vector<std::uint8_t> WithoutDisplayExtension(const std::vector<std::uint8_t>& codec) {
  const std::uint8_t sequenceCode[4] = {0, 0, 1, 0x0F}, entryCode[4] = {0, 0, 1, 0x0E};
  const auto sequence = std::search(codec.begin(), codec.end(), sequenceCode, sequenceCode + 4);
  const auto entry = std::search(sequence, codec.end(), entryCode, entryCode + 4);
  if (sequence == codec.end() || entry == codec.end()) return {};
  const std::vector<std::uint8_t> bits(sequence + 4, entry);
  const auto bit = [&](std::size_t i) { return vc1build::BitAt(bits, i); };
  constexpr std::size_t kDisplayExt = 46;  // PROFILE .. PSF take 46 bits
  if (bit(kDisplayExt) == 0) return codec;
  std::size_t at = kDisplayExt + 1 + 28;  // DISP_HORIZ_SIZE, DISP_VERT_SIZE
  if (bit(at++)) {                        // ASPECT_RATIO_FLAG
    const std::uint32_t ratio = bit(at) << 3 | bit(at + 1) << 2 | bit(at + 2) << 1 | bit(at + 3);
    at += ratio == 15 ? 20u : 4u;
  }
  if (bit(at++)) at += bit(at) ? 17u : 13u;  // FRAMERATE_FLAG, FRAMERATEIND
  if (bit(at++)) at += 24;                        // COLOR_FORMAT_FLAG
  std::size_t stop = bits.size() * 8;
  while (stop > at && bit(stop - 1) == 0) --stop;
  vc1build::BitPacker packer;
  for (std::size_t i = 0; i < kDisplayExt; ++i) packer.Put(1, bit(i));
  packer.Put(1, 0);
  for (std::size_t i = at; i + 1 < stop; ++i) packer.Put(1, bit(i));
  packer.Trailing();
  std::vector<std::uint8_t> rewritten(codec.begin(), sequence + 4);
  const auto packed = packer.Bytes();
  rewritten.insert(rewritten.end(), packed.begin(), packed.end());
  rewritten.insert(rewritten.end(), entry, codec.end());
  return rewritten;
}

// A copy of `wmv` (its video stream only) whose codec data has no display
// extension, so that the writer has to inject the frame rate.
constexpr std::uint32_t kCodecCapacity = 1024;  // as much as the writer takes

bool WriteCopyWithoutDisplayExtension(const std::string& wmv, const std::string& copy) {
  std::vector<std::uint8_t> codec(kCodecCapacity);
  std::uint32_t microseconds = 0;
  platform::File file = platform::File::OpenSharedRead(wmv.c_str());
  asf::AsfHeaderProbe probe(file);
  codec.resize(probe.FindVideoCodecData(codec.data(), kCodecCapacity, &microseconds));
  file.Close();
  const std::vector<std::uint8_t> rewritten = WithoutDisplayExtension(codec);
  if (rewritten.empty() || rewritten == codec) return false;

  platform::File again = platform::File::OpenSharedRead(wmv.c_str());
  asf::AsfDataReader reader(again);
  if (!reader.Open()) return false;
  const std::uint8_t stream = asftest::FirstWvc1Stream(reader.Info());
  if (!reader.SelectStream(stream)) return false;
  const asf::AsfStreamInfo* info = reader.Info().Find(stream);
  asftest::Builder builder(4096);
  builder.AddStream(1, true, "WVC1", info->maxObjectSize, info->averageTimePerFrame);
  builder.SetCodecData(1, rewritten);
  asf::AsfFrame frame;
  for (std::uint32_t object = 0; reader.Next(&frame) == asf::AsfDataReader::Status::kFrame; ++object)
    builder.AddFrame(1, object & 0xFF, asftest::Bytes(frame.data, frame.data + frame.size),
                     frame.keyFrame, frame.presentationTime, 4000);
  return testdata::WriteFile(copy, builder.Build());
}

TEST_F(DravikInAGraph, ACopyWithoutDisplayExtensionGetsTheFrameRate) {
  DRAVIK_REQUIRE_DIALOGS();
  VC1_REQUIRE_TESTDATA();
  const std::string wmv = WindowsPath(testdata::List("wmv", ".wmv").back());
  const std::string name = BaseName(wmv);
  // Named so that graph-session.sh decodes it against the WMV it came from.
  const std::string folder = OutputFolder();
  const std::string copy = folder + "\\" + name.substr(0, name.size() - 4) + ".nodisplay.wmv";
  ASSERT_TRUE(WriteCopyWithoutDisplayExtension(wmv, copy));
  const std::string output = copy + ".vc1";
  DeleteFileA(output.c_str());
  {
    DravikGraph g(FramesOf(copy));
    ASSERT_TRUE(g.sink);
    DialogAnswers::Queue("input", copy);
    EXPECT_EQ(g.SetFileName(output), S_OK);
    ASSERT_EQ(g.Connect(), S_OK);
    ASSERT_EQ(g.Run(), S_OK);
    EXPECT_EQ(g.graph.WaitForCompletion(60000), EC_COMPLETE);
    EXPECT_EQ(g.Stop(), S_OK);
  }
  const auto written = testdata::ReadFile(output);
  EXPECT_FALSE(written.empty());
  EXPECT_EQ(written, ExtractedBy(copy, folder));
}

}  // namespace

// The filter and pin bases in Wine's real filter graph manager: a test
// source pushes through the real allocator into a test renderer built on
// CBaseFilter and CRenderedInputPin.

#include <gtest/gtest.h>

#include <atomic>

#include "framework/com_ptr.h"
#include "support/test_graph.h"
#include "support/test_renderer.h"
#include "support/test_source.h"

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

using framework::ComPtr;

namespace {

constexpr DWORD kWatchdogMs = 10000;

class FilterGraph : public ::testing::Test {
 protected:
  // Source and renderer in a graph; `direct` connects with ConnectDirect,
  // else through the graph builder's own Connect.
  void Build(TestSourceScript script, bool clock = false, bool direct = true) {
    graph_ = TestGraph::Create(clock);
    ASSERT_TRUE(graph_.Valid());
    source_.attach(CTestSource::Create(std::move(script)));
    renderer_.attach(CTestRenderer::Create());
    ASSERT_EQ(graph_.builder->AddFilter(source_.get(), L"source"), S_OK);
    ASSERT_EQ(graph_.builder->AddFilter(renderer_.get(), L"renderer"), S_OK);
    counting_ = std::make_unique<CountingGraph>(graph_.builder.get(), renderer_.get(), L"renderer");
    IPin* out = source_->OutputPin();
    IPin* in = renderer_->Input().PinInterface();
    ASSERT_EQ(direct ? graph_.builder->ConnectDirect(out, in, nullptr)
                     : graph_.builder->Connect(out, in),
              S_OK);
  }
  void TearDown() override {
    if (graph_.control) graph_.control->Stop();
    counting_.reset();
    source_.reset();
    renderer_.reset();
    graph_ = TestGraph{};
  }
  // Runs to the end of the stream: EC_COMPLETE through the graph.
  void RunToCompletion() {
    ASSERT_TRUE(SUCCEEDED(graph_.control->Run()));
    EXPECT_EQ(graph_.WaitForCompletion(kWatchdogMs), EC_COMPLETE);
  }
  int Completes() const { return counting_->Completes(); }

  ComApartment apartment_;
  TestGraph graph_;
  ComPtr<CTestSource> source_;
  ComPtr<CTestRenderer> renderer_;
  std::unique_ptr<CountingGraph> counting_;
};

void ExpectDelivered(const TestSourceScript& script, const std::vector<ReceivedSample>& got) {
  std::size_t n = 0;
  for (const TestSourceStep& step : script.steps) {
    if (step.kind != TestSourceStep::kFrame) continue;
    ASSERT_LT(n, got.size());
    EXPECT_EQ(got[n].data, step.frame.data) << "frame " << n;
    EXPECT_EQ(got[n].syncPoint, step.frame.syncPoint) << "frame " << n;
    EXPECT_EQ(got[n].timeResult, S_OK) << "frame " << n;
    EXPECT_EQ(got[n].start, step.frame.start) << "frame " << n;
    EXPECT_EQ(got[n].stop, step.frame.stop) << "frame " << n;
    ++n;
  }
  EXPECT_EQ(got.size(), n);
}

TEST_F(FilterGraph, FramesArriveIntactWithAndWithoutClockRunPauseStopRun) {
  const CMediaType type = TestVideoType();
  for (const bool clock : {false, true}) {
    for (const bool direct : {true, false}) {
      SCOPED_TRACE(::testing::Message() << "clock " << clock << ", direct " << direct);
      Build(TestSourceScript::Frames(type, 12, 300), clock, direct);
      // The renderer's pin has no requirements; the source sized the buffers.
      EXPECT_EQ(source_->Pin().RequirementsAnswer(), E_NOTIMPL);
      AM_MEDIA_TYPE agreed{};
      ASSERT_EQ(renderer_->Input().ConnectionMediaType(&agreed), S_OK);
      EXPECT_TRUE(CMediaType(agreed).MatchesPartial(&type));
      FreeMediaType(agreed);

      RunToCompletion();
      ExpectDelivered(source_->Script(), renderer_->Input().samples);
      ComPtr<IReferenceClock> rendererClock;
      ASSERT_EQ(renderer_->GetSyncSource(rendererClock.put()), S_OK);
      EXPECT_EQ(static_cast<bool>(rendererClock), clock);
      REFERENCE_TIME now = 0;
      EXPECT_EQ(renderer_->StreamTime(now), clock ? S_OK : VFW_E_NO_CLOCK);

      ASSERT_TRUE(SUCCEEDED(graph_.control->Pause()));
      EXPECT_EQ(renderer_->State(), State_Paused);
      ASSERT_TRUE(SUCCEEDED(graph_.control->Stop()));
      EXPECT_EQ(renderer_->State(), State_Stopped);
      renderer_->Input().samples.clear();
      RunToCompletion();
      ASSERT_TRUE(source_->WaitDone(kWatchdogMs));
      EXPECT_EQ(source_->DeliveryResult(), S_OK);
      ExpectDelivered(source_->Script(), renderer_->Input().samples);
      EXPECT_EQ(Completes(), 2);
      TearDown();
    }
  }
}

// Raw EC_COMPLETE notices of the renderer per scenario, and what the graph
// reports through WaitForCompletion.
TEST_F(FilterGraph, EndOfStreamIsReportedOncePerRun) {
  const CMediaType type = TestVideoType();
  TestSourceScript twice = TestSourceScript::Frames(type, 3);
  twice.AddEndOfStream();
  TestSourceScript flushed = TestSourceScript::Frames(type, 3);
  flushed.AddFlush();
  flushed.AddEndOfStream();
  const struct {
    const char* name;
    TestSourceScript script;
    int completes;
  } rows[] = {
      {"while running", TestSourceScript::Frames(type, 3), 1},
      {"twice in one run", twice, 1},
      {"again after a flush", flushed, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Build(row.script);
    RunToCompletion();
    ASSERT_TRUE(source_->WaitDone(kWatchdogMs));
    EXPECT_EQ(Completes(), row.completes);
    TearDown();
  }
}

TEST_F(FilterGraph, EndOfStreamWhilePausedIsReportedWhenTheGraphRuns) {
  TestSourceScript script = TestSourceScript::Frames(TestVideoType(), 3);
  script.startOnPause = true;
  Build(script);
  ASSERT_TRUE(SUCCEEDED(graph_.control->Pause()));
  ASSERT_TRUE(source_->WaitDone(kWatchdogMs));
  EXPECT_EQ(renderer_->Input().endOfStreams, 1);
  EXPECT_EQ(Completes(), 0);
  EXPECT_EQ(graph_.WaitForCompletion(0), 0);
  RunToCompletion();
  EXPECT_EQ(Completes(), 1);
  // Pause and run again: the recorded end is reported once more.
  ASSERT_TRUE(SUCCEEDED(graph_.control->Pause()));
  ASSERT_TRUE(SUCCEEDED(graph_.control->Run()));
  EXPECT_EQ(Completes(), 2);
}

// The end of stream arrives while the renderer's pin has run but the filter
// is not yet running: it must still be reported, once.
TEST_F(FilterGraph, EndOfStreamRacingRunIsReportedOnce) {
  TestSourceScript script = TestSourceScript::Frames(TestVideoType(), 2);
  script.startOnPause = true;
  Build(script);
  HANDLE inRun = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE endSent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  CTestInputPin& pin = renderer_->Input();
  pin.beforeEndOfStream = [&] {
    WaitForSingleObject(inRun, kWatchdogMs);
    SetEvent(endSent);
  };
  pin.afterRun = [&] {
    SetEvent(inRun);
    WaitForSingleObject(endSent, kWatchdogMs);
    // Give the streaming thread time to reach the state test; the result
    // must be the same however far it got.
    Sleep(200);
  };
  ASSERT_TRUE(SUCCEEDED(graph_.control->Pause()));
  RunToCompletion();
  ASSERT_TRUE(source_->WaitDone(kWatchdogMs));
  EXPECT_EQ(Completes(), 1);
  pin.afterRun = nullptr;
  pin.beforeEndOfStream = nullptr;
  CloseHandle(inRun);
  CloseHandle(endSent);
}

TEST_F(FilterGraph, StopWhileTheStreamingThreadIsInsideReceiveOrEndOfStream) {
  for (const bool inReceive : {true, false}) {
    SCOPED_TRACE(inReceive ? "Receive" : "EndOfStream");
    Build(TestSourceScript::Frames(TestVideoType(), 4));
    std::atomic<bool> entered{false};
    std::function<void()> hold = [&] {
      entered = true;
      // Held until the renderer has stopped, so Stop runs meanwhile.
      WaitUntil(kWatchdogMs, [&] { return renderer_->IsStopped(); });
    };
    (inReceive ? renderer_->Input().inReceive : renderer_->Input().beforeEndOfStream) = hold;
    ASSERT_TRUE(SUCCEEDED(graph_.control->Run()));
    ASSERT_TRUE(WaitUntil(kWatchdogMs, [&] { return entered.load(); }));
    EXPECT_TRUE(FinishesWithin(kWatchdogMs, [&] { graph_.control->Stop(); }));
    EXPECT_EQ(renderer_->State(), State_Stopped);
    renderer_->Input().inReceive = nullptr;
    renderer_->Input().beforeEndOfStream = nullptr;
    TearDown();
  }
}

TEST_F(FilterGraph, GraphSeekingReachesTheSourceThroughTheRenderersPassThrough) {
  Build(TestSourceScript::Frames(TestVideoType(), 25));
  LONGLONG duration = 0;
  ASSERT_EQ(graph_.seeking->GetDuration(&duration), S_OK);
  EXPECT_EQ(duration, 25 * 400000);
  ComPtr<IMediaSeeking> rendererSeeking;
  ASSERT_EQ(renderer_->QueryInterface(IID_IMediaSeeking, rendererSeeking.put_void()), S_OK);
  EXPECT_EQ(rendererSeeking->SetRate(2.0), S_OK);
  EXPECT_EQ(source_->Pin().Rate(), 2.0);
}

}  // namespace

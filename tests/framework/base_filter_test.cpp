#include "framework/base_filter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "framework/com_ptr.h"
#include "framework_fakes.h"
#include "support/test_graph.h"
#include "support/test_renderer.h"
#include "support/test_source.h"

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

using framework::ComPtr;

namespace {

// A two-pin renderer whose pins are connected to two test sources.
class BaseFilter : public ::testing::Test {
 protected:
  BaseFilter() {
    renderer_.attach(CTestRenderer::Create(2));
    for (int i = 0; i < 2; ++i) {
      sources_[i].attach(CTestSource::Create(TestSourceScript::Frames(TestVideoType(), 1)));
    }
  }
  void LinkAll() {
    for (int i = 0; i < 2; ++i) {
      links_[i] = std::make_unique<PinLink>(sources_[i]->OutputPin(), In(i).PinInterface());
      ASSERT_EQ(links_[i]->Result(), S_OK);
    }
  }
  void TearDown() override {
    renderer_->Stop();
    for (auto& link : links_) link.reset();
  }
  CTestInputPin& In(int i) { return renderer_->Input(i); }

  ComApartment apartment_;
  ComPtr<CTestRenderer> renderer_;
  ComPtr<CTestSource> sources_[2];
  std::unique_ptr<PinLink> links_[2];
};

TEST_F(BaseFilter, StateChangesCallConnectedPinsOnlyAndInOrder) {
  EXPECT_EQ(renderer_->Run(0), S_OK);  // no pin connected: none is called
  EXPECT_EQ(In(0).actives, 0);
  EXPECT_EQ(renderer_->Stop(), S_OK);
  LinkAll();
  EXPECT_EQ(renderer_->Run(10), S_OK);
  EXPECT_EQ(renderer_->State(), State_Running);
  EXPECT_EQ(renderer_->Run(20), S_OK);  // while running: no pin is called
  EXPECT_EQ(renderer_->Pause(), S_OK);
  EXPECT_EQ(renderer_->Pause(), S_OK);
  FILTER_STATE state = State_Stopped;
  EXPECT_EQ(renderer_->GetState(INFINITE, &state), S_OK);
  EXPECT_EQ(state, State_Paused);
  EXPECT_EQ(renderer_->Stop(), S_OK);
  EXPECT_EQ(renderer_->Stop(), S_OK);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(In(i).actives, 1);
    EXPECT_EQ(In(i).runs, 1);
    EXPECT_EQ(In(i).inactives, 1);
  }
  EXPECT_EQ(renderer_->GetState(0, nullptr), E_POINTER);
}

TEST_F(BaseFilter, FailingPinsStopTheWalkOnlyWhenStarting) {
  LinkAll();
  In(0).activeAnswer = E_UNEXPECTED;
  EXPECT_EQ(renderer_->Pause(), E_UNEXPECTED);
  EXPECT_EQ(renderer_->State(), State_Stopped);
  EXPECT_EQ(In(1).actives, 0);
  In(0).activeAnswer = S_OK;

  ASSERT_EQ(renderer_->Run(0), S_OK);
  In(0).inactiveAnswer = E_ACCESSDENIED;
  EXPECT_EQ(renderer_->Stop(), E_ACCESSDENIED);
  EXPECT_EQ(renderer_->State(), State_Stopped);
  EXPECT_EQ(In(1).inactives, 1);  // reached although the first pin failed
}

TEST_F(BaseFilter, StopStopsAPinThatNeverGotAnAllocator) {
  // Connected from the input side only: no allocator was negotiated.
  const CMediaType type = TestVideoType();
  ASSERT_EQ(In(0).ReceiveConnection(sources_[0]->OutputPin(), &type), S_OK);
  ASSERT_EQ(renderer_->Pause(), S_OK);
  EXPECT_EQ(renderer_->Stop(), VFW_E_NO_ALLOCATOR);
  EXPECT_EQ(renderer_->State(), State_Stopped);
  EXPECT_EQ(In(0).Disconnect(), S_OK);
}

TEST_F(BaseFilter, PinEnumeratorWalksSkipsClonesAndResyncs) {
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(renderer_->EnumPins(pins.put()), S_OK);
  IPin* got[2] = {};
  ULONG fetched = 9;
  EXPECT_EQ(pins->Next(2, got, nullptr), E_INVALIDARG);
  EXPECT_EQ(pins->Next(0, got, &fetched), S_FALSE);
  EXPECT_EQ(pins->Next(1, got, &fetched), S_OK);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(got[0], In(0).PinInterface());
  got[0]->Release();

  ComPtr<IEnumPins> clone;
  ASSERT_EQ(pins->Clone(clone.put()), S_OK);
  EXPECT_EQ(clone->Next(2, got, &fetched), S_FALSE);  // continues where its source was
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(got[0], In(1).PinInterface());
  got[0]->Release();

  EXPECT_EQ(pins->Skip(2), S_FALSE);  // only one left: the position stays
  EXPECT_EQ(pins->Skip(1), S_OK);
  EXPECT_EQ(pins->Next(1, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(pins->Reset(), S_OK);
  EXPECT_EQ(pins->Next(1, got, &fetched), S_OK);
  got[0]->Release();

  // The pin set changed: Skip and Clone refuse, Next restarts the walk but
  // hands out only the pin it has not handed out yet.
  renderer_->IncrementPinVersion();
  EXPECT_EQ(pins->Skip(1), VFW_E_ENUM_OUT_OF_SYNC);
  IEnumPins* none = reinterpret_cast<IEnumPins*>(1);
  EXPECT_EQ(pins->Clone(&none), VFW_E_ENUM_OUT_OF_SYNC);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(pins->Next(2, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(got[0], In(1).PinInterface());
  got[0]->Release();
  EXPECT_EQ(pins->Next(1, nullptr, &fetched), E_POINTER);
  EXPECT_EQ(renderer_->EnumPins(nullptr), E_POINTER);
}

TEST_F(BaseFilter, FindPinIsExactAndCaseSensitive) {
  ComPtr<IPin> pin;
  EXPECT_EQ(renderer_->FindPin(L"In1", pin.put()), S_OK);
  EXPECT_EQ(pin.get(), In(1).PinInterface());
  const LPCWSTR misses[] = {L"in1", L"In", L"In10", L""};
  for (LPCWSTR miss : misses) {
    IPin* out = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(renderer_->FindPin(miss, &out), VFW_E_NOT_FOUND);
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_EQ(renderer_->FindPin(nullptr, pin.put()), E_POINTER);
  EXPECT_EQ(renderer_->FindPin(L"In0", nullptr), E_POINTER);
}

TEST_F(BaseFilter, FilterInfoCutsTheNameAndCountsTheGraph) {
  FILTER_INFO info;
  ASSERT_EQ(renderer_->QueryFilterInfo(&info), S_OK);
  EXPECT_STREQ(info.achName, L"");
  EXPECT_EQ(info.pGraph, nullptr);

  TestGraph graph = TestGraph::Create(false);
  ASSERT_TRUE(graph.Valid());
  const std::wstring longName(200, L'x');
  ComPtr<IFilterGraph> filterGraph;
  ASSERT_EQ(graph.builder->QueryInterface(IID_IFilterGraph, filterGraph.put_void()), S_OK);
  ASSERT_EQ(renderer_->JoinFilterGraph(filterGraph.get(), longName.c_str()), S_OK);
  ASSERT_EQ(renderer_->QueryFilterInfo(&info), S_OK);
  EXPECT_EQ(std::wstring(info.achName), longName.substr(0, 127));
  EXPECT_EQ(info.pGraph, filterGraph.get());
  info.pGraph->Release();

  // In the graph, EC_COMPLETE always names the filter that sends it.
  {
    CountingGraph counting(graph.builder.get(), renderer_.get(), L"counted");
    EXPECT_EQ(renderer_->NotifyEvent(EC_COMPLETE, S_OK, 12345), S_OK);
    EXPECT_EQ(counting.LastCompleteSender(),
              reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(renderer_.get())));
  }
  ASSERT_EQ(renderer_->JoinFilterGraph(nullptr, nullptr), S_OK);
  EXPECT_EQ(renderer_->NotifyEvent(EC_COMPLETE, S_OK, 0), E_NOTIMPL);
  ASSERT_EQ(renderer_->QueryFilterInfo(&info), S_OK);
  EXPECT_STREQ(info.achName, L"");
  EXPECT_EQ(renderer_->QueryFilterInfo(nullptr), E_POINTER);
  EXPECT_EQ(renderer_->QueryVendorInfo(nullptr), E_NOTIMPL);

  // A name that cannot be copied leaves the filter nameless, not failed.
  {
    FailingTaskAllocations failing;
    EXPECT_EQ(renderer_->JoinFilterGraph(nullptr, L"lost"), S_OK);
  }
  ASSERT_EQ(renderer_->QueryFilterInfo(&info), S_OK);
  EXPECT_STREQ(info.achName, L"");
}

// Readers of the name and the peer against the calls that free them.
TEST_F(BaseFilter, InfoAndPeerReadsRaceTheirReplacementSafely) {
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    FILTER_INFO info;
    while (!stop) {
      if (renderer_->QueryFilterInfo(&info) == S_OK && info.pGraph) info.pGraph->Release();
      IPin* peer = nullptr;
      if (In(0).ConnectedTo(&peer) == S_OK) peer->Release();
    }
  });
  const CMediaType type = TestVideoType();
  const std::wstring name(100, L'n');
  for (int i = 0; i < 2000; ++i) {
    renderer_->JoinFilterGraph(nullptr, name.c_str());
    In(0).ReceiveConnection(sources_[0]->OutputPin(), &type);
    In(0).Disconnect();
  }
  stop = true;
  reader.join();
  EXPECT_FALSE(In(0).IsConnected());
}

// Registration through IAMovieSetup, on a thread already in the
// multithreaded apartment (its own CoInitialize then fails).
TEST_F(BaseFilter, RegisterLeavesTheCallersApartmentAndReportsFailures) {
  EXPECT_EQ(renderer_->Register(), S_FALSE);  // no setup data
  EXPECT_EQ(renderer_->Unregister(), S_FALSE);

  static WCHAR pinName[] = L"In0";
  static const AMOVIESETUP_MEDIATYPE types[] = {{&MEDIATYPE_Video, &kTestSubtype}};
  static const AMOVIESETUP_PIN pins[] = {
      {pinName, TRUE, FALSE, FALSE, FALSE, &GUID_NULL, nullptr, 1, types}};
  static const AMOVIESETUP_FILTER setup = {&CTestRenderer::kClassId, L"Framework test renderer",
                                           MERIT_DO_NOT_USE, 1, pins};
  renderer_->setup = &setup;
  EXPECT_EQ(renderer_->Register(), S_OK);
  EXPECT_EQ(renderer_->Unregister(), S_OK);
  // COM still works on this thread: nothing uninitialised it.
  ComPtr<IFilterMapper> mapper;
  EXPECT_EQ(CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                             mapper.put_void()),
            S_OK);

  static const AMOVIESETUP_FILTER broken = {nullptr, L"No class", MERIT_DO_NOT_USE, 0, nullptr};
  renderer_->setup = &broken;
  EXPECT_EQ(renderer_->Register(), E_POINTER);
  renderer_->setup = nullptr;
}

TEST_F(BaseFilter, IdentityAndInterfaces) {
  CLSID clsid{};
  EXPECT_EQ(renderer_->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CTestRenderer::kClassId);
  EXPECT_EQ(renderer_->GetClassID(nullptr), E_POINTER);
  for (const IID* iid : {&IID_IBaseFilter, &IID_IMediaFilter, &IID_IPersist, &IID_IAMovieSetup}) {
    ComPtr<IUnknown> face;
    EXPECT_EQ(renderer_->QueryInterface(*iid, face.put_void()), S_OK);
  }
  ComPtr<IUnknown> none;
  EXPECT_EQ(renderer_->QueryInterface(IID_IPin, none.put_void()), E_NOINTERFACE);
}

}  // namespace

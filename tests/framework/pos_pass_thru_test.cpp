#include "framework/pos_pass_thru.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "framework/com_ptr.h"
#include "framework_fakes.h"
#include "support/fake_pin.h"
#include "support/test_graph.h"
#include "support/test_renderer.h"
#include "support/test_source.h"

#include <olectl.h>
#include <uuids.h>
#include <vfwmsgs.h>

using framework::ComPtr;
using ::testing::NiceMock;

namespace {

// A pass-through whose own get_Rate answers, so Invoke can be seen to
// reach it.
class RatePassThru : public CPosPassThru {
 public:
  RatePassThru(HRESULT* hr, IPin* pin) : CPosPassThru("Rate pass-through", nullptr, hr, pin) {}
  HRESULT STDMETHODCALLTYPE get_Rate(double* rate) override {
    ++rateReads;
    *rate = 2.5;
    return S_OK;
  }
  IMediaPosition* Position() { return static_cast<IMediaPosition*>(this); }
  int rateReads = 0;
};

class PosPassThru : public ::testing::Test {
 protected:
  PosPassThru() {
    renderer_.attach(CTestRenderer::Create());
    source_.attach(CTestSource::Create(TestSourceScript::Frames(TestVideoType(), 25)));
    passThru_ = new RatePassThru(&result_, renderer_->Input().PinInterface());
    passThru_->NonDelegatingAddRef();
  }
  ~PosPassThru() override {
    passThru_->NonDelegatingRelease();
    SetTypeLibraryLoaders(nullptr);
  }
  IMediaSeeking* Seeking() { return passThru_; }

  ComApartment apartment_;
  ComPtr<CTestRenderer> renderer_;
  ComPtr<CTestSource> source_;
  HRESULT result_ = S_OK;
  RatePassThru* passThru_;
};

TEST_F(PosPassThru, ForwardsToTheConnectedUpstreamPin) {
  LONGLONG value = 0;
  EXPECT_EQ(Seeking()->GetDuration(&value), E_NOTIMPL);  // not connected
  EXPECT_EQ(Seeking()->SetRate(0.0), E_INVALIDARG);      // refused before the lookup
  EXPECT_EQ(passThru_->put_Rate(0.0), E_INVALIDARG);

  PinLink link(source_->OutputPin(), renderer_->Input().PinInterface());
  ASSERT_EQ(link.Result(), S_OK);
  EXPECT_EQ(Seeking()->GetDuration(&value), S_OK);
  EXPECT_EQ(value, 25 * 400000);
  source_->Pin().SetPosition(1234567);
  EXPECT_EQ(Seeking()->GetCurrentPosition(&value), S_OK);
  EXPECT_EQ(value, 1234567);
  EXPECT_EQ(Seeking()->SetRate(1.5), S_OK);
  double rate = 0;
  EXPECT_EQ(Seeking()->GetRate(&rate), S_OK);
  EXPECT_EQ(rate, 1.5);
  EXPECT_EQ(Seeking()->SetRate(-1.0), E_INVALIDARG);  // the peer's own answer
  GUID format{};
  EXPECT_EQ(Seeking()->GetTimeFormat(&format), S_OK);
  EXPECT_EQ(format, TIME_FORMAT_MEDIA_TIME);
  // The upstream pin has no IMediaPosition.
  REFTIME seconds = 0;
  EXPECT_EQ(passThru_->get_Duration(&seconds), E_NOTIMPL);
}

TEST_F(PosPassThru, UpstreamWithoutSeekingGivesNotImplemented) {
  NiceMock<FakePin> plain;
  const CMediaType type = TestVideoType();
  ASSERT_EQ(renderer_->Input().ReceiveConnection(&plain, &type), S_OK);
  LONGLONG value = 0;
  EXPECT_EQ(Seeking()->GetDuration(&value), E_NOTIMPL);
  EXPECT_EQ(Seeking()->GetCurrentPosition(&value), E_NOTIMPL);
  EXPECT_EQ(Seeking()->SetRate(1.0), E_NOTIMPL);
  EXPECT_EQ(passThru_->CanSeekForward(nullptr), E_NOTIMPL);
  EXPECT_EQ(renderer_->Input().Disconnect(), S_OK);
  EXPECT_EQ(plain.refs, 0);
}

TEST_F(PosPassThru, InterfacesAndANullPin) {
  ComPtr<IUnknown> face;
  IUnknown* identity = reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(passThru_));
  EXPECT_EQ(identity->QueryInterface(IID_IMediaSeeking, face.put_void()), S_OK);
  EXPECT_EQ(identity->QueryInterface(IID_IMediaPosition, face.put_void()), S_OK);
  EXPECT_EQ(identity->QueryInterface(IID_IDispatch, face.put_void()), E_NOINTERFACE);
  HRESULT hr = S_OK;
  CPosPassThru orphan("No pin", nullptr, &hr, nullptr);
  EXPECT_EQ(hr, E_POINTER);
}

TEST_F(PosPassThru, DispatchThroughTheSystemTypeLibrary) {
  UINT count = 0;
  EXPECT_EQ(passThru_->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(passThru_->GetTypeInfo(1, 0, &info), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(info, nullptr);
  for (const LCID locale : {LCID{0}, LCID{0x409}}) {
    ComPtr<ITypeInfo> got;
    EXPECT_EQ(passThru_->GetTypeInfo(0, locale, got.put()), S_OK) << locale;
    EXPECT_TRUE(got);
  }
  OLECHAR rateName[] = L"Rate";
  LPOLESTR names[] = {rateName};
  DISPID rate = DISPID_UNKNOWN;
  ASSERT_EQ(passThru_->GetIDsOfNames(IID_NULL, names, 1, 0x409, &rate), S_OK);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(passThru_->Invoke(rate, IID_NULL, 0x409, DISPATCH_PROPERTYGET, &none, &result,
                              nullptr, nullptr),
            S_OK);
  EXPECT_EQ(passThru_->rateReads, 1);
  EXPECT_EQ(result.vt, VT_R8);
  EXPECT_EQ(result.dblVal, 2.5);
  EXPECT_EQ(passThru_->Invoke(rate, IID_IMediaPosition, 0, DISPATCH_PROPERTYGET, &none, &result,
                              nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
}

HRESULT STDAPICALLTYPE RegisteredFails(REFGUID, WORD, WORD, LCID, ITypeLib** out) {
  *out = nullptr;
  return TYPE_E_LIBNOTREGISTERED;
}
std::atomic<int> g_fileLoads{0};
// Stands in for a control.tlb: the registered library, reached by file name.
HRESULT STDAPICALLTYPE FileFromRegistry(LPCOLESTR file, ITypeLib** out) {
  ++g_fileLoads;
  if (lstrcmpW(file, L"control.tlb") != 0) return TYPE_E_CANTLOADLIBRARY;
  return LoadRegTypeLib(LIBID_QuartzTypeLib, 1, 0, 0, out);
}

TEST_F(PosPassThru, FallsBackToControlTlbAndReportsItsFailure) {
  const TypeLibraryLoaders fallback = {RegisteredFails, FileFromRegistry};
  SetTypeLibraryLoaders(&fallback);
  g_fileLoads = 0;
  ComPtr<ITypeInfo> info;
  EXPECT_EQ(passThru_->GetTypeInfo(0, 0, info.put()), S_OK);
  EXPECT_EQ(g_fileLoads, 1);
  // Wine ships no control.tlb: the fallback's own failure is what the caller gets.
  const TypeLibraryLoaders real = {RegisteredFails, LoadTypeLib};
  SetTypeLibraryLoaders(&real);
  HRESULT hr = S_OK;
  RatePassThru fresh(&hr, renderer_->Input().PinInterface());
  EXPECT_EQ(fresh.GetTypeInfo(0, 0, info.put()), TYPE_E_CANTLOADLIBRARY);
}

// Two threads fill an empty cache at once; both get the one kept.
TEST_F(PosPassThru, TypeInformationIsCachedOnceUnderRacingThreads) {
  ITypeInfo* got[2] = {};
  std::atomic<int> ready{0};
  auto fetch = [&](int i) {
    ++ready;
    while (ready < 2) std::this_thread::yield();
    passThru_->GetTypeInfo(0, 0, &got[i]);
  };
  std::thread a(fetch, 0), b(fetch, 1);
  a.join();
  b.join();
  ASSERT_NE(got[0], nullptr);
  EXPECT_EQ(got[0], got[1]);
  got[0]->Release();
  got[1]->Release();
}

}  // namespace

#include "framework/base_pin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/com_ptr.h"
#include "framework/input_pin.h"
#include "framework_fakes.h"
#include "support/fake_pin.h"
#include "support/test_graph.h"
#include "support/test_renderer.h"
#include "support/test_source.h"

#include <uuids.h>
#include <vfwmsgs.h>

using framework::ComPtr;
using ::testing::_;
using ::testing::NiceMock;
using ::testing::Return;

namespace {

class BasePin : public ::testing::Test {
 protected:
  BasePin() : type_(TestVideoType()) {
    type_.pUnk = &owner_;
    owner_.AddRef();
    renderer_.attach(CTestRenderer::Create(2));
    source_.attach(CTestSource::Create(TestSourceScript::Frames(type_, 3)));
  }
  ~BasePin() override {
    renderer_->Stop();
    In().Disconnect();
  }
  CTestInputPin& In(int i = 0) { return renderer_->Input(i); }
  IPin* Out() { return source_->OutputPin(); }

  ComApartment apartment_;
  CountingUnknown owner_;  // owner object of the offered type: counts its copies
  CMediaType type_;
  ComPtr<CTestRenderer> renderer_;
  ComPtr<CTestSource> source_;
};

TEST_F(BasePin, ReceiveConnectionRefusals) {
  const CMediaType other = [] {
    CMediaType t;
    t.majortype = MEDIATYPE_Audio;
    return t;
  }();
  const struct {
    const char* name;
    HRESULT checkAnswer;
    HRESULT expected;
  } codes[] = {
      {"S_FALSE", S_FALSE, VFW_E_TYPE_NOT_ACCEPTED},
      {"E_FAIL", E_FAIL, VFW_E_TYPE_NOT_ACCEPTED},
      {"E_INVALIDARG", E_INVALIDARG, VFW_E_TYPE_NOT_ACCEPTED},
      {"own code", VFW_E_NO_ACCEPTABLE_TYPES, VFW_E_NO_ACCEPTABLE_TYPES},
      {"other failure", E_UNEXPECTED, E_UNEXPECTED},
  };
  for (const auto& row : codes) {
    SCOPED_TRACE(row.name);
    In().refusal = row.checkAnswer;
    EXPECT_EQ(In().ReceiveConnection(Out(), &other), row.expected);
    EXPECT_FALSE(In().IsConnected());
    EXPECT_EQ(In().QueryAccept(&other), S_FALSE);
  }
  // From another input pin.
  EXPECT_EQ(In().ReceiveConnection(In(1).PinInterface(), &type_), VFW_E_INVALID_DIRECTION);
  // From a pin that cannot say its direction.
  NiceMock<FakePin> mute;
  ON_CALL(mute, QueryDirection(_)).WillByDefault(Return(E_UNEXPECTED));
  EXPECT_EQ(In().ReceiveConnection(&mute, &type_), E_UNEXPECTED);
  EXPECT_EQ(mute.refs, 0);
  EXPECT_EQ(In().ReceiveConnection(nullptr, &type_), E_POINTER);
  EXPECT_EQ(In().ReceiveConnection(Out(), nullptr), E_POINTER);
  // Not stopped.
  ASSERT_EQ(renderer_->Pause(), S_OK);
  EXPECT_EQ(In().ReceiveConnection(Out(), &type_), VFW_E_NOT_STOPPED);
  ASSERT_EQ(renderer_->Stop(), S_OK);
  // Already connected.
  ASSERT_EQ(In().ReceiveConnection(Out(), &type_), S_OK);
  EXPECT_EQ(In().ReceiveConnection(Out(), &type_), VFW_E_ALREADY_CONNECTED);
}

TEST_F(BasePin, ConnectTriesEveryTypeFreesThemAndReportsThePeersCode) {
  const long held = owner_.refs;
  const struct {
    const char* name;
    HRESULT refusal;
    HRESULT expected;
  } rows[] = {
      {"plain refusal", S_FALSE, VFW_E_NO_ACCEPTABLE_TYPES},
      {"peer's own failure", E_ACCESSDENIED, E_ACCESSDENIED},
  };
  In().refuseAll = true;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    In().refusal = row.refusal;
    EXPECT_EQ(Out()->Connect(In().PinInterface(), nullptr), row.expected);
    EXPECT_FALSE(source_->Pin().IsConnected());
    EXPECT_EQ(owner_.refs, held);  // every offered type was freed
  }
  In().refuseAll = false;
  // A fully given type is tried alone; a partial one filters the offers.
  CMediaType audio;
  audio.majortype = MEDIATYPE_Audio;
  audio.formattype = FORMAT_WaveFormatEx;
  EXPECT_EQ(Out()->Connect(In().PinInterface(), &audio), VFW_E_TYPE_NOT_ACCEPTED);
  audio.formattype = GUID_NULL;
  EXPECT_EQ(Out()->Connect(In().PinInterface(), &audio), VFW_E_NO_ACCEPTABLE_TYPES);
  EXPECT_EQ(owner_.refs, held);
  {
    PinLink link(Out(), In().PinInterface());
    ASSERT_EQ(link.Result(), S_OK);
    EXPECT_EQ(Out()->Connect(In().PinInterface(), nullptr), VFW_E_ALREADY_CONNECTED);
    ComPtr<IPin> peer;
    EXPECT_EQ(In().ConnectedTo(peer.put()), S_OK);
    EXPECT_EQ(peer.get(), Out());
  }
  EXPECT_EQ(owner_.refs, held);
  EXPECT_EQ(Out()->Connect(nullptr, nullptr), E_POINTER);
}

TEST_F(BasePin, DisconnectAndConnectionTypeWhileUnconnectedOrRunning) {
  EXPECT_EQ(In().Disconnect(), S_FALSE);
  ASSERT_EQ(renderer_->Run(0), S_OK);
  EXPECT_EQ(In().Disconnect(), VFW_E_NOT_STOPPED);  // even unconnected
  ASSERT_EQ(renderer_->Stop(), S_OK);

  AM_MEDIA_TYPE type;
  std::memset(&type, 0xCD, sizeof type);
  EXPECT_EQ(In().ConnectionMediaType(&type), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(type.lSampleSize, 1u);
  EXPECT_EQ(type.pbFormat, nullptr);
  IPin* peer = reinterpret_cast<IPin*>(1);
  EXPECT_EQ(In().ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(peer, nullptr);

  ASSERT_EQ(In().ReceiveConnection(Out(), &type_), S_OK);
  const long held = owner_.refs;
  {
    FailingTaskAllocations failing;
    EXPECT_EQ(In().ConnectionMediaType(&type), E_OUTOFMEMORY);
  }
  // Nothing of the pin's own record is left in the caller's.
  EXPECT_EQ(type.cbFormat, 0u);
  EXPECT_EQ(type.pbFormat, nullptr);
  EXPECT_EQ(type.pUnk, nullptr);
  EXPECT_EQ(owner_.refs, held);
  ASSERT_EQ(In().ConnectionMediaType(&type), S_OK);
  EXPECT_EQ(type.cbFormat, type_.cbFormat);
  FreeMediaType(type);
}

TEST_F(BasePin, IdentityNamesAndDirection) {
  LPWSTR id = nullptr;
  ASSERT_EQ(In().QueryId(&id), S_OK);
  EXPECT_STREQ(id, L"In0");
  CoTaskMemFree(id);
  PIN_DIRECTION direction = PINDIR_OUTPUT;
  EXPECT_EQ(In().QueryDirection(&direction), S_OK);
  EXPECT_EQ(direction, PINDIR_INPUT);

  const std::wstring longName(200, L'p');
  HRESULT hr = S_OK;
  CTestInputPin named(renderer_.get(), renderer_->FilterLock(), &hr, longName.c_str());
  EXPECT_EQ(hr, S_OK);
  PIN_INFO info;
  ASSERT_EQ(named.QueryPinInfo(&info), S_OK);
  EXPECT_EQ(std::wstring(info.achName), longName.substr(0, 127));
  EXPECT_EQ(info.pFilter, static_cast<IBaseFilter*>(renderer_.get()));
  EXPECT_EQ(info.dir, PINDIR_INPUT);
  info.pFilter->Release();
  {
    FailingTaskAllocations failing;
    CTestInputPin nameless(renderer_.get(), renderer_->FilterLock(), &hr, L"In9");
    EXPECT_EQ(hr, E_OUTOFMEMORY);
  }
  EXPECT_EQ(In().QueryId(nullptr), E_POINTER);
  EXPECT_EQ(In().QueryPinInfo(nullptr), E_POINTER);
  EXPECT_EQ(In().QueryDirection(nullptr), E_POINTER);
  EXPECT_EQ(In().EnumMediaTypes(nullptr), E_POINTER);
  EXPECT_EQ(In().Notify(nullptr, Quality{}), E_POINTER);
}

TEST_F(BasePin, MediaTypeEnumerator) {
  // The renderer's pin offers nothing.
  ComPtr<IEnumMediaTypes> none;
  ASSERT_EQ(In().EnumMediaTypes(none.put()), S_OK);
  AM_MEDIA_TYPE* got[2] = {};
  ULONG fetched = 9;
  EXPECT_EQ(none->Next(1, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(none->Next(0, got, nullptr), S_OK);
  EXPECT_EQ(none->Skip(1), S_FALSE);

  // The source's pin offers one.
  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(Out()->EnumMediaTypes(types.put()), S_OK);
  EXPECT_EQ(types->Next(2, got, nullptr), E_INVALIDARG);
  EXPECT_EQ(types->Next(2, got, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 1u);
  EXPECT_TRUE(CMediaType(*got[0]).MatchesPartial(&type_));
  DeleteMediaType(got[0]);
  EXPECT_EQ(types->Reset(), S_OK);
  const long beforeSkips = owner_.refs;
  EXPECT_EQ(types->Skip(1), S_OK);
  EXPECT_EQ(types->Skip(1), S_FALSE);
  EXPECT_EQ(owner_.refs, beforeSkips);  // the types Skip looked at are freed
  EXPECT_EQ(types->Reset(), S_OK);
  ComPtr<IEnumMediaTypes> clone;
  ASSERT_EQ(types->Clone(clone.put()), S_OK);
  EXPECT_EQ(clone->Next(1, got, &fetched), S_OK);
  DeleteMediaType(got[0]);

  // A type fetched before its record could be allocated is freed.
  const long held = owner_.refs;
  {
    FailingTaskAllocations failing(1);  // the format copy passes, the record fails
    EXPECT_EQ(types->Next(1, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
  }
  EXPECT_EQ(owner_.refs, held);

  source_->Pin().IncrementTypeVersion();
  EXPECT_EQ(types->Next(1, got, &fetched), VFW_E_ENUM_OUT_OF_SYNC);
  EXPECT_EQ(types->Skip(1), VFW_E_ENUM_OUT_OF_SYNC);
  IEnumMediaTypes* out = reinterpret_cast<IEnumMediaTypes*>(1);
  EXPECT_EQ(types->Clone(&out), VFW_E_ENUM_OUT_OF_SYNC);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(types->Reset(), S_OK);
  EXPECT_EQ(types->Next(1, got, &fetched), S_OK);
  DeleteMediaType(got[0]);
}

TEST_F(BasePin, AllocatorNegotiation) {
  EXPECT_EQ(In().Inactive(), VFW_E_NO_ALLOCATOR);
  ComPtr<IMemAllocator> first, second;
  ASSERT_EQ(In().GetAllocator(first.put()), S_OK);
  ASSERT_EQ(In().GetAllocator(second.put()), S_OK);
  EXPECT_EQ(first.get(), second.get());
  second.reset();
  // Handing back the allocator already held keeps it alive.
  IMemAllocator* raw = first.get();
  EXPECT_EQ(In().NotifyAllocator(raw, TRUE), S_OK);
  first.reset();
  EXPECT_TRUE(In().IsReadOnly());
  ALLOCATOR_PROPERTIES properties{};
  EXPECT_EQ(In().Allocator()->GetProperties(&properties), S_OK);
  EXPECT_EQ(In().Inactive(), S_OK);
  EXPECT_EQ(In().GetAllocatorRequirements(&properties), E_NOTIMPL);
  EXPECT_EQ(In().NotifyAllocator(nullptr, FALSE), E_POINTER);
  EXPECT_EQ(In().GetAllocator(nullptr), E_POINTER);
}

TEST_F(BasePin, StreamingChecksInOrder) {
  EXPECT_EQ(In().CheckStreaming(), VFW_E_WRONG_STATE);
  EXPECT_EQ(In().EndOfStream(), VFW_E_WRONG_STATE);
  ASSERT_EQ(renderer_->Pause(), S_OK);
  EXPECT_EQ(In().CheckStreaming(), S_OK);
  In().SetRunTimeError(true);
  EXPECT_EQ(In().CheckStreaming(), VFW_E_RUNTIME_ERROR);
  EXPECT_EQ(In().BeginFlush(), S_OK);
  EXPECT_EQ(In().CheckStreaming(), S_FALSE);  // flushing is tested first
  EXPECT_EQ(In().EndOfStream(), S_FALSE);
  EXPECT_EQ(In().EndFlush(), S_OK);
  EXPECT_EQ(In().CheckStreaming(), S_OK);  // EndFlush clears the error too
}

TEST_F(BasePin, ReceiveMultipleStopsAtTheFirstRefusal) {
  ComPtr<IMemAllocator> allocator;
  ASSERT_EQ(In().GetAllocator(allocator.put()), S_OK);
  ALLOCATOR_PROPERTIES wanted{3, 16, 1, 0}, actual{};
  ASSERT_EQ(allocator->SetProperties(&wanted, &actual), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  IMediaSample* samples[3] = {};
  for (IMediaSample*& sample : samples) {
    ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
  }
  ASSERT_EQ(renderer_->Pause(), S_OK);
  In().refuseSample = 1;
  LONG processed = 9;
  EXPECT_EQ(In().ReceiveMultiple(samples, 3, &processed), S_FALSE);
  EXPECT_EQ(processed, 1);
  EXPECT_EQ(In().samples.size(), 2u);
  EXPECT_EQ(In().ReceiveMultiple(samples, 0, &processed), S_OK);
  EXPECT_EQ(processed, 0);
  EXPECT_EQ(In().ReceiveMultiple(samples, 3, nullptr), E_POINTER);
  EXPECT_EQ(In().ReceiveMultiple(nullptr, 3, &processed), E_POINTER);
  for (IMediaSample* sample : samples) sample->Release();
  allocator->Decommit();
}

TEST_F(BasePin, SegmentAndQualitySink) {
  EXPECT_EQ(In().NewSegment(10, 20, 0.5), S_OK);
  EXPECT_EQ(In().SegmentStart(), 10);
  EXPECT_EQ(In().SegmentStop(), 20);
  EXPECT_EQ(In().SegmentRate(), 0.5);
  EXPECT_EQ(In().SetSink(nullptr), S_OK);
  EXPECT_EQ(In().QueryInternalConnections(nullptr, nullptr), E_NOTIMPL);
  ComPtr<IUnknown> face;
  for (const IID* iid : {&IID_IPin, &IID_IQualityControl, &IID_IMemInputPin}) {
    EXPECT_EQ(In().QueryInterface(*iid, face.put_void()), S_OK);
  }
}

}  // namespace

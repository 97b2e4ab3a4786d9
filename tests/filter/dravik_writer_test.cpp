// Dravik's three objects as one COM object: interface routing and identity,
// aggregation, the file-sink calls, the pin's type test and its sample path.
// No dialog is answered here (the tests run without a display, where the
// question answers Cancel and the input dialog chooses nothing).

#include "filter/vc1_writer.h"

#include <gtest/gtest.h>
#include <dshow.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "dravik_fakes.h"
#include "dravik_test_support.h"
#include "filter/dravik_class.h"
#include "filter/dravik_writer_filter.h"
#include "filter/vc1_input_pin.h"
#include "framework/com_ptr.h"
#include "filter/wvc1_subtype.h"
#include "framework/module_server.h"
#include "framework_fakes.h"
#include "test_data.h"

using framework::ComPtr;

namespace {
// Index, among the nothrow allocations from now on, of the one to refuse; -1
// refuses none. The objects allocate with new (std::nothrow) only.
std::atomic<long> g_refuseAllocation{-1};
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (g_refuseAllocation.load() >= 0 && g_refuseAllocation.fetch_sub(1) == 0) return nullptr;
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}

namespace {

struct RefuseAllocation {
  explicit RefuseAllocation(long index) { g_refuseAllocation = index; }
  ~RefuseAllocation() { g_refuseAllocation = -1; }
};

// A writer made the way the class factory makes it, held by its identity.
struct Writer {
  Writer() {
    HRESULT hr = S_OK;
    CUnknown* object = CVc1Writer::CreateInstance(nullptr, &hr);
    EXPECT_EQ(hr, S_OK);
    writer = static_cast<CVc1Writer*>(object);
    writer->NonDelegatingAddRef();
  }
  ~Writer() { writer->NonDelegatingRelease(); }
  template <typename T>
  HRESULT Query(REFIID riid, ComPtr<T>& out) {
    return writer->NonDelegatingQueryInterface(riid, out.put_void());
  }
  IUnknown* Identity() {
    IUnknown* identity = nullptr;
    writer->NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    identity->Release();
    return identity;
  }
  HRESULT SetFileName(const std::wstring& name) { return writer->SetFileName(name.c_str(), nullptr); }
  std::wstring CurFile() {
    LPOLESTR name = nullptr;
    EXPECT_EQ(writer->GetCurFile(&name, nullptr), S_OK);
    std::wstring copy = name ? name : L"<none>";
    CoTaskMemFree(name);
    return copy;
  }
  CVc1InputPin* Pin() { return writer->Pin(); }
  CVc1Writer* writer = nullptr;
};

class DravikWriter : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }
};

TEST_F(DravikWriter, RoutesEveryInterfaceToOneIdentity) {
  Writer w;
  IUnknown* const identity = w.Identity();
  const IID reachable[] = {IID_IFileSinkFilter, IID_IBaseFilter, IID_IMediaFilter, IID_IPersist,
                           IID_IMediaSeeking,   IID_IMediaPosition};
  for (const IID& iid : reachable) {
    ComPtr<IUnknown> face;
    ASSERT_EQ(w.Query(iid, face), S_OK);
    ComPtr<IUnknown> back;
    ASSERT_EQ(face->QueryInterface(IID_IUnknown, back.put_void()), S_OK);
    EXPECT_EQ(back.get(), identity);
  }
  const IID unreachable[] = {IID_IAMovieSetup, IID_IPin, IID_IMemInputPin, IID_IDispatch,
                             IID_IAMFilterMiscFlags};
  for (const IID& iid : unreachable) {
    void* face = reinterpret_cast<void*>(1);
    EXPECT_EQ(w.writer->NonDelegatingQueryInterface(iid, &face), E_NOINTERFACE);
    EXPECT_EQ(face, nullptr);
  }
  EXPECT_EQ(w.writer->NonDelegatingQueryInterface(IID_IUnknown, nullptr), E_POINTER);

  ComPtr<IPersist> persist;
  ASSERT_EQ(w.Query(IID_IPersist, persist), S_OK);
  CLSID clsid{};
  EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, *g_Templates[0].clsid);
  EXPECT_EQ(clsid, CLSID_DravikWriter);
}

TEST_F(DravikWriter, BothSeekingInterfacesShareOnePassThrough) {
  Writer w;
  const LONG before = ObjectsActive();
  ComPtr<IMediaSeeking> first, second;
  ASSERT_EQ(w.Query(IID_IMediaSeeking, first), S_OK);
  EXPECT_EQ(ObjectsActive(), before + 1);  // the pass-through, made now
  ASSERT_EQ(w.Query(IID_IMediaSeeking, second), S_OK);
  EXPECT_EQ(first.get(), second.get());
  ComPtr<IMediaPosition> position, fromSeeking;
  ASSERT_EQ(w.Query(IID_IMediaPosition, position), S_OK);
  ASSERT_EQ(first->QueryInterface(IID_IMediaPosition, fromSeeking.put_void()), S_OK);
  EXPECT_EQ(position.get(), fromSeeking.get());
  EXPECT_EQ(ObjectsActive(), before + 1);
  // Unconnected: nothing upstream to ask.
  LONGLONG duration = 0;
  EXPECT_EQ(first->GetDuration(&duration), E_NOTIMPL);
}

TEST_F(DravikWriter, AFailedPassThroughLeavesANullOutPointer) {
  Writer w;
  void* face = reinterpret_cast<void*>(1);
  {
    RefuseAllocation refuse(0);
    EXPECT_EQ(w.writer->NonDelegatingQueryInterface(IID_IMediaSeeking, &face), E_OUTOFMEMORY);
  }
  EXPECT_EQ(face, nullptr);
  ComPtr<IMediaSeeking> seeking;  // a later request makes it after all
  EXPECT_EQ(w.Query(IID_IMediaSeeking, seeking), S_OK);
}

TEST_F(DravikWriter, RefusedAllocationsAtCreationFailCleanly) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(DllGetClassObject(CLSID_DravikWriter, IID_IClassFactory, factory.put_void()), S_OK);
  const LONG before = ObjectsActive();
  // The writer, its filter, its pin: each refused in turn.
  for (long index = 0; index < 3; ++index) {
    SCOPED_TRACE(index);
    ComPtr<IBaseFilter> filter;
    HRESULT hr;
    {
      RefuseAllocation refuse(index);
      hr = factory->CreateInstance(nullptr, IID_IBaseFilter, filter.put_void());
    }
    EXPECT_EQ(hr, E_OUTOFMEMORY);
    EXPECT_FALSE(filter);
    EXPECT_EQ(ObjectsActive(), before);
  }
}

TEST_F(DravikWriter, AggregatedWriterCountsOnTheOuterObject) {
  CountingUnknown outer;
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(DllGetClassObject(CLSID_DravikWriter, IID_IClassFactory, factory.put_void()), S_OK);
  void* unused = nullptr;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IBaseFilter, &unused), E_NOINTERFACE);
  IUnknown* inner = nullptr;
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
  factory.reset();

  const IID faces[] = {IID_IFileSinkFilter, IID_IBaseFilter, IID_IMediaSeeking};
  for (const IID& iid : faces) {
    IUnknown* face = nullptr;
    ASSERT_EQ(inner->QueryInterface(iid, reinterpret_cast<void**>(&face)), S_OK);
    EXPECT_EQ(outer.refs, 1);  // the face's reference is the outer object's
    face->Release();
    EXPECT_EQ(outer.refs, 0);
  }
  // The pin too counts on the outer object, through the filter.
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(inner->QueryInterface(IID_IBaseFilter, filter.put_void()), S_OK);
  ComPtr<IPin> pin;
  ASSERT_EQ(filter->FindPin(L"Input", pin.put()), S_OK);
  EXPECT_EQ(outer.refs, 2);
  pin.reset();
  filter.reset();
  EXPECT_EQ(outer.refs, 0);
  EXPECT_EQ(inner->Release(), 0u);
}

TEST_F(DravikWriter, OnePinCalledInput) {
  Writer w;
  CDravikWriterFilter* filter = w.writer->Filter();
  EXPECT_EQ(filter->GetPinCount(), 1);
  EXPECT_EQ(filter->GetPin(0), w.Pin());
  EXPECT_EQ(filter->GetPin(1), nullptr);
  EXPECT_EQ(filter->GetPin(-1), nullptr);
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(filter->EnumPins(pins.put()), S_OK);
  ComPtr<IPin> pin;
  ASSERT_EQ(pins->Next(1, pin.put(), nullptr), S_OK);
  PIN_INFO info{};
  ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
  EXPECT_STREQ(info.achName, L"Input");
  EXPECT_EQ(info.dir, PINDIR_INPUT);
  info.pFilter->Release();
  EXPECT_EQ(pins->Next(1, pin.put(), nullptr), S_FALSE);
  ComPtr<IMemInputPin> input;
  ASSERT_EQ(w.Pin()->NonDelegatingQueryInterface(IID_IMemInputPin, input.put_void()), S_OK);
  EXPECT_EQ(input->ReceiveCanBlock(), S_FALSE);
  // Register and Unregister through the filter touch no registry.
  ComPtr<IAMovieSetup> setup;
  ASSERT_EQ(filter->NonDelegatingQueryInterface(IID_IAMovieSetup, setup.put_void()), S_OK);
  EXPECT_EQ(setup->Register(), S_FALSE);
}

class DravikFileNames : public DravikWriter {
 protected:
  void SetUp() override {
    DravikWriter::SetUp();
    folder = dravik_test::WindowsPath(testdata::ScratchDir());
    // Short names land here, not in the build folder.
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(folder.c_str());
  }
  void TearDown() override {
    SetCurrentDirectoryA(previous);
    DravikWriter::TearDown();
  }
  std::string folder;
  char previous[MAX_PATH] = {};
};

TEST_F(DravikFileNames, StoresNamesAndCutsOnlyALowerCaseAsf) {
  const struct {
    std::wstring set;
    std::wstring stored;
  } rows[] = {
      {L"x.asf", L"x"},        {L".asf", L".asf"},        {L"x.ASF", L"x.ASF"},
      {L"clip.Asf", L"clip.Asf"}, {L"clip.asf.asf", L"clip.asf"}, {L"clip.vc1", L"clip.vc1"},
  };
  for (const auto& row : rows) {
    {
      Writer w;
      // A new file and no input dialog to show here: open, no headers, S_FALSE.
      EXPECT_EQ(w.SetFileName(row.set), S_FALSE) << row.set;
      EXPECT_EQ(w.CurFile(), row.stored);
    }
    // Names differ only in case on this file system: the next row must find no file
    // there, or it would meet the overwrite question.
    EXPECT_TRUE(DeleteFileW(row.stored.c_str())) << row.stored;
  }
}

TEST_F(DravikFileNames, LengthLimitAndMissingName) {
  Writer w;
  EXPECT_EQ(w.writer->SetFileName(nullptr, nullptr), E_POINTER);
  EXPECT_EQ(w.CurFile(), L"<none>");
  const std::wstring longest(260, L'n');
  w.SetFileName(longest);
  EXPECT_EQ(w.CurFile(), longest);
  EXPECT_EQ(w.SetFileName(std::wstring(261, L'm')), 206);  // bare, not a failure code
  EXPECT_EQ(w.CurFile(), longest);
}

TEST_F(DravikFileNames, GetCurFileZeroesTheTypeAndReportsAFailedCopy) {
  Writer w;
  EXPECT_EQ(w.writer->GetCurFile(nullptr, nullptr), E_POINTER);
  AM_MEDIA_TYPE type;
  std::memset(&type, 0xCD, sizeof type);
  LPOLESTR name = reinterpret_cast<LPOLESTR>(1);
  EXPECT_EQ(w.writer->GetCurFile(&name, &type), S_OK);
  EXPECT_EQ(name, nullptr);
  const AM_MEDIA_TYPE zero{};
  EXPECT_EQ(std::memcmp(&type, &zero, sizeof type), 0);

  w.SetFileName(L"named.vc1");
  FailingTaskAllocations failing;
  ASSERT_TRUE(failing.Registered());
  name = reinterpret_cast<LPOLESTR>(1);
  EXPECT_EQ(w.writer->GetCurFile(&name, nullptr), E_OUTOFMEMORY);
  EXPECT_EQ(name, nullptr);
}

TEST_F(DravikFileNames, ReceiveWritesOnlyWhileAFileIsOpen) {
  Writer w;
  ComPtr<IMemInputPin> input;
  ASSERT_EQ(w.Pin()->NonDelegatingQueryInterface(IID_IMemInputPin, input.put_void()), S_OK);
  EXPECT_EQ(input->Receive(nullptr), E_POINTER);

  FakeSample unwritten({0xC0, 1, 2});
  EXPECT_EQ(input->Receive(&unwritten), S_OK);  // no file: accepted, not looked at
  EXPECT_EQ(unwritten.pointerCalls, 0);

  w.SetFileName(L"frames.vc1");  // created at once, and left open
  FakeSample broken({1}, E_UNEXPECTED);
  EXPECT_EQ(input->Receive(&broken), E_UNEXPECTED);
  FakeSample frame({0x0F, 0xAA});
  FakeSample* batch[] = {&frame, &frame};
  LONG processed = 0;
  EXPECT_EQ(input->ReceiveMultiple(reinterpret_cast<IMediaSample**>(batch), 2, &processed), S_OK);
  EXPECT_EQ(processed, 2);
  w.writer->Filter()->Stop();  // closes the file
  EXPECT_EQ(input->Receive(&frame), S_OK);
  EXPECT_EQ(frame.refs, 0);
  EXPECT_EQ(testdata::ReadFile(folder + "\\frames.vc1"),
            (std::vector<std::uint8_t>{0, 0, 1, 0x0D, 0x0F, 0xAA, 0, 0, 1, 0x0D, 0x0F, 0xAA}));
}

AM_MEDIA_TYPE Type(REFGUID major, REFGUID subtype, REFGUID format, ULONG formatSize, BYTE* block) {
  AM_MEDIA_TYPE type{};
  type.majortype = major;
  type.subtype = subtype;
  type.formattype = format;
  type.cbFormat = formatSize;
  type.pbFormat = block;
  return type;
}

TEST_F(DravikWriter, AcceptsWvc1VideoWithAnyFormatBlockOnly) {
  BYTE block[88] = {};
  const struct {
    const char* name;
    AM_MEDIA_TYPE type;
    HRESULT result;
  } rows[] = {
      {"video info", Type(MEDIATYPE_Video, MEDIASUBTYPE_WVC1, FORMAT_VideoInfo, sizeof block, block), S_OK},
      {"no format", Type(MEDIATYPE_Video, MEDIASUBTYPE_WVC1, GUID_NULL, 0, nullptr), S_OK},
      {"odd format", Type(MEDIATYPE_Video, MEDIASUBTYPE_WVC1, FORMAT_WaveFormatEx, 3, block), S_OK},
      {"other subtype", Type(MEDIATYPE_Video, MEDIASUBTYPE_YV12, FORMAT_VideoInfo, sizeof block, block),
       VFW_E_NO_ACCEPTABLE_TYPES},
      {"other major", Type(MEDIATYPE_Stream, MEDIASUBTYPE_WVC1, GUID_NULL, 0, nullptr),
       VFW_E_NO_ACCEPTABLE_TYPES},
      {"null major", Type(GUID_NULL, MEDIASUBTYPE_WVC1, GUID_NULL, 0, nullptr),
       VFW_E_NO_ACCEPTABLE_TYPES},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Writer w;
    FakeOutputPin upstream;
    IPin* pin = w.Pin()->PinInterface();
    // What the upstream pin is told is exactly the pin's own refusal code.
    EXPECT_EQ(pin->ReceiveConnection(&upstream, &row.type), row.result);
    EXPECT_EQ(pin->QueryAccept(&row.type), row.result == S_OK ? S_OK : S_FALSE);
    ComPtr<IPin> peer;
    EXPECT_EQ(pin->ConnectedTo(peer.put()), row.result == S_OK ? S_OK : VFW_E_NOT_CONNECTED);
    peer.reset();
    if (row.result == S_OK) {
      EXPECT_EQ(pin->Disconnect(), S_OK);
    }
    EXPECT_EQ(upstream.refs, 0);
  }
}

}  // namespace

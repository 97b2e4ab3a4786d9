#pragma once
// A scripted IPin for the far end of a connection: every call is a mock, so
// a test says what the peer answers (its direction, its interfaces).

#include <gmock/gmock.h>
#include <windows.h>
#include <strmif.h>

class FakePin : public IPin {
 public:
  FakePin() {
    using ::testing::_;
    using ::testing::DoAll;
    using ::testing::Return;
    using ::testing::SetArgPointee;
    ON_CALL(*this, QueryInterface(_, _)).WillByDefault(DoAll(SetArgPointee<1>(nullptr), Return(E_NOINTERFACE)));
    ON_CALL(*this, QueryDirection(_)).WillByDefault(DoAll(SetArgPointee<0>(PINDIR_OUTPUT), Return(S_OK)));
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
  MOCK_METHOD(HRESULT, QueryInterface, (REFIID, void**), (Calltype(STDMETHODCALLTYPE), override));
  MOCK_METHOD(HRESULT, Connect, (IPin*, const AM_MEDIA_TYPE*), (Calltype(STDMETHODCALLTYPE), override));
  MOCK_METHOD(HRESULT, ReceiveConnection, (IPin*, const AM_MEDIA_TYPE*), (Calltype(STDMETHODCALLTYPE), override));
  MOCK_METHOD(HRESULT, Disconnect, (), (Calltype(STDMETHODCALLTYPE), override));
  MOCK_METHOD(HRESULT, ConnectedTo, (IPin**), (Calltype(STDMETHODCALLTYPE), override));
  MOCK_METHOD(HRESULT, ConnectionMediaType, (AM_MEDIA_TYPE*), (Calltype(STDMETHODCALLTYPE), override));
  MOCK_METHOD(HRESULT, QueryPinInfo, (PIN_INFO*), (Calltype(STDMETHODCALLTYPE), override));
  MOCK_METHOD(HRESULT, QueryDirection, (PIN_DIRECTION*), (Calltype(STDMETHODCALLTYPE), override));
  MOCK_METHOD(HRESULT, QueryId, (LPWSTR*), (Calltype(STDMETHODCALLTYPE), override));
  MOCK_METHOD(HRESULT, QueryAccept, (const AM_MEDIA_TYPE*), (Calltype(STDMETHODCALLTYPE), override));
  MOCK_METHOD(HRESULT, EnumMediaTypes, (IEnumMediaTypes**), (Calltype(STDMETHODCALLTYPE), override));
  MOCK_METHOD(HRESULT, QueryInternalConnections, (IPin**, ULONG*), (Calltype(STDMETHODCALLTYPE), override));
  MOCK_METHOD(HRESULT, EndOfStream, (), (Calltype(STDMETHODCALLTYPE), override));
  MOCK_METHOD(HRESULT, BeginFlush, (), (Calltype(STDMETHODCALLTYPE), override));
  MOCK_METHOD(HRESULT, EndFlush, (), (Calltype(STDMETHODCALLTYPE), override));
  MOCK_METHOD(HRESULT, NewSegment, (REFERENCE_TIME, REFERENCE_TIME, double), (Calltype(STDMETHODCALLTYPE), override));

  long refs = 0;
};

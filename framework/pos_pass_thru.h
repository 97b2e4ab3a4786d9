#pragma once
// Seeking for a filter that consumes a stream: CPosPassThru forwards every
// IMediaSeeking and IMediaPosition call to the pin upstream of the filter's
// input pin, looked up afresh on each call. CMediaPosition supplies the
// IDispatch half of IMediaPosition from the system's type library.
//
// Times pass through unconverted: IMediaSeeking in the peer's time format,
// IMediaPosition in seconds.

#include <windows.h>
#include <control.h>
#include <strmif.h>

#include "framework/com_object.h"

// Where the IMediaPosition type library comes from: the registered quartz
// library (version 1.0) first, else the file "control.tlb". A test replaces
// the loaders to reach the second path; null restores the automation
// library's own functions.
struct TypeLibraryLoaders {
  HRESULT(STDAPICALLTYPE* loadRegistered)(REFGUID library, WORD major, WORD minor, LCID locale,
                                          ITypeLib** out);
  HRESULT(STDAPICALLTYPE* loadFile)(LPCOLESTR file, ITypeLib** out);
};
void SetTypeLibraryLoaders(const TypeLibraryLoaders* loaders);

// Holds the type information of one dispatch interface, loaded on first use.
class CBaseDispatch {
 public:
  CBaseDispatch() = default;
  ~CBaseDispatch();
  CBaseDispatch(const CBaseDispatch&) = delete;
  CBaseDispatch& operator=(const CBaseDispatch&) = delete;

  HRESULT GetTypeInfoCount(UINT* count);
  // The type information of `riid` (index 0 only), one reference added.
  HRESULT GetTypeInfo(REFIID riid, UINT index, LCID locale, ITypeInfo** info);
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids);

 private:
  // Filled once: a second thread that loads in parallel drops its copy.
  ITypeInfo* volatile typeInfo_ = nullptr;
};

class CMediaPosition : public IMediaPosition, public CUnknown {
 public:
  CMediaPosition(const char* objectName, IUnknown* outer);
  CMediaPosition(const char* objectName, IUnknown* outer, HRESULT* result);

  DECLARE_OWNER_IUNKNOWN

  // IMediaPosition only: IDispatch itself is not answered.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID riid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override;

 private:
  CBaseDispatch dispatch_;
};

class CPosPassThru : public IMediaSeeking, public CMediaPosition {
 public:
  // The object is built in any case; a null pin sets *result to E_POINTER
  // and the caller then destroys it. No reference is taken on the pin.
  CPosPassThru(const char* objectName, IUnknown* outer, HRESULT* result, IPin* pin);

  DECLARE_OWNER_IUNKNOWN

  // IMediaSeeking and IMediaPosition; anything else as CUnknown.
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // IMediaSeeking
  HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override;
  HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override;
  HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat,
                                              LONGLONG source, const GUID* sourceFormat) override;
  HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                         DWORD stopFlags) override;
  HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
  // A rate of 0 is refused before any peer is looked for.
  HRESULT STDMETHODCALLTYPE SetRate(double rate) override;
  HRESULT STDMETHODCALLTYPE GetRate(double* rate) override;
  HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* preroll) override;
  // The position this object knows by itself; none here (E_FAIL), so the
  // current position always comes from upstream.
  virtual HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end);

  // IMediaPosition
  HRESULT STDMETHODCALLTYPE get_Duration(REFTIME* length) override;
  HRESULT STDMETHODCALLTYPE put_CurrentPosition(REFTIME time) override;
  HRESULT STDMETHODCALLTYPE get_CurrentPosition(REFTIME* time) override;
  HRESULT STDMETHODCALLTYPE get_StopTime(REFTIME* time) override;
  HRESULT STDMETHODCALLTYPE put_StopTime(REFTIME time) override;
  HRESULT STDMETHODCALLTYPE get_PrerollTime(REFTIME* time) override;
  HRESULT STDMETHODCALLTYPE put_PrerollTime(REFTIME time) override;
  HRESULT STDMETHODCALLTYPE put_Rate(double rate) override;
  HRESULT STDMETHODCALLTYPE get_Rate(double* rate) override;
  HRESULT STDMETHODCALLTYPE CanSeekForward(LONG* canSeek) override;
  HRESULT STDMETHODCALLTYPE CanSeekBackward(LONG* canSeek) override;

 protected:
  // The upstream pin's interfaces, one reference for the caller; E_NOTIMPL
  // when the pin is not connected or its peer lacks the interface.
  HRESULT GetPeerSeeking(IMediaSeeking** seeking);
  HRESULT GetPeer(IMediaPosition** position);

 private:
  IPin* const pin_;
};

#pragma once
// CBasePin: a pin of either direction (the connection protocol, identity,
// media-type enumeration, new-segment record, quality sink), and
// CEnumMediaTypes, the enumerator over a pin's preferred types.
//
// A pin is no COM object of its own for lifetime: it lives as long as its
// filter, and AddRef and Release on any of its interfaces act on the filter.
// Its lock is the filter lock.

#include <windows.h>
#include <strmif.h>

#include "framework/com_object.h"
#include "framework/crit_sec.h"
#include "framework/enumerator.h"
#include "framework/media_type.h"

class CBaseFilter;

class CBasePin : public CUnknown, public IPin, public IQualityControl {
 public:
  // `pinName` is copied; it is the pin's name and identifier. When the copy
  // cannot be made, *result receives E_OUTOFMEMORY (it is not written
  // otherwise) and the pin must not be used.
  CBasePin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* result,
           LPCWSTR pinName, PIN_DIRECTION direction);
  ~CBasePin() override;

  DECLARE_OWNER_IUNKNOWN

  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  // Both act on the owning filter.
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

  // Version of the preferred-type list; enumerators resync when it moves.
  virtual LONG GetMediaTypeVersion();
  // Called by the filter, with the filter lock held, on connected pins only:
  // leaving the stopped state, entering the running state, entering the
  // stopped state.
  virtual HRESULT Active();
  virtual HRESULT Inactive();
  virtual HRESULT Run(REFERENCE_TIME start);
  // S_OK accepts the type; anything else refuses it.
  virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) = 0;
  // Makes `type` the connection type (a deep copy).
  virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* type);
  // Refuses a peer of the same direction, or one that cannot say its own.
  virtual HRESULT CheckConnect(IPin* peer);
  // Undoes what CheckConnect, SetMediaType and CompleteConnect set up; called
  // on every refused or ended connection.
  virtual HRESULT BreakConnect();
  virtual HRESULT CompleteConnect(IPin* peer);
  // The preferred type at `position`, S_OK while there is one. None by
  // default (E_UNEXPECTED), so the enumerator is empty.
  virtual HRESULT GetMediaType(int position, CMediaType* type);

  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin* peer, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* peer, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE Disconnect() override;
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** peer) override;
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
  // Not handled by the base pin (E_UNEXPECTED): input pins answer it.
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                       double rate) override;

  // IQualityControl: messages are dropped; the sink is kept (no reference).
  HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;
  HRESULT STDMETHODCALLTYPE SetSink(IQualityControl* sink) override;

  bool IsConnected() const { return peer_ != nullptr; }
  // The peer (no reference added), or null. Read under the filter lock.
  IPin* GetConnected() const { return peer_; }
  const CMediaType& CurrentMediaType() const { return mediaType_; }
  LPCWSTR Name() const { return name_; }
  PIN_DIRECTION Direction() const { return direction_; }
  IPin* PinInterface() { return static_cast<IPin*>(this); }
  CBaseFilter* Filter() const { return filter_; }
  bool IsStopped() const;

  REFERENCE_TIME SegmentStart() const { return segmentStart_; }
  REFERENCE_TIME SegmentStop() const { return segmentStop_; }
  double SegmentRate() const { return segmentRate_; }

 protected:
  // The disconnect step without the state test (output pins use it too):
  // S_FALSE when not connected; BreakConnect's failure keeps the connection.
  HRESULT DisconnectInternal();
  void IncrementTypeVersion();
  CCritSec* PinLock() const { return lock_; }
  IQualityControl* QualitySink() const { return qualitySink_; }
  bool RunTimeError() const { return runTimeError_; }
  void SetRunTimeError(bool error) { runTimeError_ = error; }

 private:
  HRESULT AgreeMediaType(IPin* peer, const AM_MEDIA_TYPE* type);
  HRESULT TryMediaTypes(IPin* peer, const AM_MEDIA_TYPE* partial, IEnumMediaTypes* types);
  HRESULT AttemptConnection(IPin* peer, const AM_MEDIA_TYPE* type);
  // Refusals shared by both ends: already connected, or not stopped.
  HRESULT ConnectionAllowed() const;
  // CheckConnect, then CheckMediaType; a refusal has BreakConnect called.
  HRESULT CheckPeerAndType(IPin* peer, const AM_MEDIA_TYPE* type);
  // Releases and forgets the peer and the agreed type.
  void ClearPeer();

  WCHAR* name_ = nullptr;
  IPin* peer_ = nullptr;
  const PIN_DIRECTION direction_;
  CCritSec* const lock_;
  volatile bool runTimeError_ = false;
  bool canReconnectWhenActive_ = false;
  bool tryMyTypesFirst_ = false;
  CBaseFilter* const filter_;
  IQualityControl* qualitySink_ = nullptr;
  volatile LONG typeVersion_ = 1;
  CMediaType mediaType_;
  REFERENCE_TIME segmentStart_ = 0;
  REFERENCE_TIME segmentStop_ = 0x7FFFFFFFFFFFFFFF;
  double segmentRate_ = 1.0;
};

// Walks a pin's preferred types (CBasePin::GetMediaType). Every type handed
// out is a task-memory record the caller frees with DeleteMediaType.
class CEnumMediaTypes : public CEnumerator<IEnumMediaTypes, IID_IEnumMediaTypes> {
 public:
  // `source` (may be null) is the enumerator being cloned.
  CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* source);
  ~CEnumMediaTypes() override;

  HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** clone) override;

 private:
  bool OutOfSync() const;

  int position_ = 0;
  CBasePin* const pin_;
  LONG version_ = 0;
};

#pragma once
// CVc1Writer: Dravik's COM object, the one the class factory creates. It
// carries the writer core, answers IFileSinkFilter itself and routes every
// other request: the filter's interfaces to its filter object, seeking to a
// pass-through created on first demand. The filter and the pin count on the
// writer's owner, so the writer's one count decides all three lifetimes.
//
// Locks: the core's filter lock is the filter's and the pin's state lock; the
// core's receive lock guards delivery. Order: receive lock, then filter lock.

#include <windows.h>
#include <strmif.h>

#include "filter/vc1_writer_core.h"
#include "framework/com_object.h"

class CDravikWriterFilter;
class CVc1InputPin;
class CPosPassThru;

class CVc1Writer : public CUnknown, public IFileSinkFilter {
 public:
  // The class table's creation function.
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* result);

  CVc1Writer(IUnknown* outer, HRESULT* result);
  ~CVc1Writer() override;

  DECLARE_OWNER_IUNKNOWN

  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // IFileSinkFilter. The media type is ignored.
  HRESULT STDMETHODCALLTYPE SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) override;

  dravik::Vc1WriterCore& Core() { return core_; }
  CDravikWriterFilter* Filter() const { return filter_; }
  CVc1InputPin* Pin() const { return pin_; }

 private:
  // The core's stop request on a full disk: the filter's own Stop.
  static void StopFilter(void* writer);

  CDravikWriterFilter* filter_ = nullptr;
  CVc1InputPin* pin_ = nullptr;
  // Holds the filter lock and the receive lock, and the output file, name,
  // write-error flag and header block.
  dravik::Vc1WriterCore core_;
  CPosPassThru* passThru_ = nullptr;
};

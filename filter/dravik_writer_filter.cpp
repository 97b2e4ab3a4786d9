#include "filter/dravik_writer_filter.h"

#include "filter/dravik_class.h"
#include "filter/vc1_input_pin.h"
#include "filter/vc1_writer.h"

CDravikWriterFilter::CDravikWriterFilter(IUnknown* owner, CCritSec* lock, CVc1Writer* writer)
    : CBaseFilter(nullptr, owner, lock, CLSID_DravikWriter), writer_(writer) {}

int CDravikWriterFilter::GetPinCount() { return 1; }

CBasePin* CDravikWriterFilter::GetPin(int index) {
  return index == 0 ? writer_->Pin() : nullptr;
}

HRESULT CDravikWriterFilter::Stop() {
  CAutoLock lock(FilterLock());
  writer_->Core().CloseOutputFile();
  return CBaseFilter::Stop();
}

HRESULT CDravikWriterFilter::Pause() {
  CAutoLock lock(FilterLock());
  // After a full disk stopped the filter, the file that ran out of space is
  // left alone until Run or a new name.
  if (!writer_->Core().WriteError()) writer_->Core().OpenOutputFile();
  return CBaseFilter::Pause();
}

HRESULT CDravikWriterFilter::Run(REFERENCE_TIME start) {
  CAutoLock lock(FilterLock());
  writer_->Core().ClearWriteError();
  writer_->Core().OpenOutputFile();
  return CBaseFilter::Run(start);
}

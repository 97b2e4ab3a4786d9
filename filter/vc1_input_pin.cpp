#include "filter/vc1_input_pin.h"

#include <dshow.h>

#include "filter/dravik_writer_filter.h"
#include "filter/vc1_writer.h"
#include "filter/wvc1_subtype.h"

CVc1InputPin::CVc1InputPin(CDravikWriterFilter* filter, CCritSec* lock, HRESULT* result,
                           CVc1Writer* writer)
    : CRenderedInputPin(nullptr, filter, lock, result, L"Input"),
      writer_(writer),
      receiveLock_(writer->Core().ReceiveLock()) {}

HRESULT CVc1InputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  if (type->majortype == MEDIATYPE_Video && type->subtype == MEDIASUBTYPE_WVC1) return S_OK;
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CVc1InputPin::Receive(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  HRESULT hr;
  {
    CAutoLock lock(&receiveLock_);
    dravik::Vc1WriterCore& core = writer_->Core();
    if (!core.IsOutputFileOpen()) return S_OK;  // accepted, not written
    BYTE* data = nullptr;
    hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    const long length = sample->GetActualDataLength();
    hr = core.WriteFrame(data, length > 0 ? static_cast<std::uint32_t>(length) : 0u);
    // A Stop that closed the file after the test above: accepted and dropped
    // as any sample without a file. S_FALSE would tell upstream to stop.
    if (hr == S_FALSE) return S_OK;
  }
  // The core stopped the filter and warned the user. Without this the graph
  // would wait for ever for an end of stream that the stopped pin refuses.
  if (hr == dravik::kDiskFullResult) Filter()->NotifyEvent(EC_ERRORABORT, hr, 0);
  return hr;
}

HRESULT CVc1InputPin::ReceiveCanBlock() { return S_FALSE; }

HRESULT CVc1InputPin::EndOfStream() {
  CAutoLock lock(&receiveLock_);
  return CRenderedInputPin::EndOfStream();
}

HRESULT CVc1InputPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

#pragma once
// CVc1InputPin: Dravik's "Input". Takes compressed WVC1 video with any format
// block and hands every delivered sample to the writer core, under the
// writer's receive lock.

#include <windows.h>

#include "framework/input_pin.h"

class CDravikWriterFilter;
class CVc1Writer;

class CVc1InputPin : public CRenderedInputPin {
 public:
  CVc1InputPin(CDravikWriterFilter* filter, CCritSec* lock, HRESULT* result, CVc1Writer* writer);

  // Video with the WVC1 subtype; VFW_E_NO_ACCEPTABLE_TYPES for anything else.
  HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;

  // Writes the sample whenever an output file is open, whatever the state
  // (flushing included), time stamps and type changes.
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  // S_FALSE: only the disk-full warning ever holds up the deliverer.
  HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  // Segments are not tracked: frames are written without timing.
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                       double rate) override;

 private:
  CVc1Writer* const writer_;
  CCritSec& receiveLock_;
};

#pragma once
// CDravikWriterFilter: Dravik's filter object. One pin; Stop closes the
// output file, Pause and Run open it (Pause only while no full disk stopped
// the filter, Run after clearing that error).

#include <windows.h>

#include "framework/base_filter.h"

class CVc1Writer;

class CDravikWriterFilter : public CBaseFilter {
 public:
  // `owner` is the writer's owner; the writer is not owned.
  CDravikWriterFilter(IUnknown* owner, CCritSec* lock, CVc1Writer* writer);

  int GetPinCount() override;
  CBasePin* GetPin(int index) override;

  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;

 private:
  CVc1Writer* const writer_;
};

#pragma once
// Shared pieces of the graph tests: the media type the test filters agree
// on, a class table for the executables, a watchdog, and Wine's filter graph
// manager with its control faces.

#include <windows.h>
#include <control.h>
#include <strmif.h>

#include <functional>

#include "framework/com_ptr.h"
#include "framework/media_type.h"

// MEDIATYPE_Video / kTestSubtype with a VIDEOINFOHEADER and `extra` bytes of
// codec data appended (0x10, 0x11, ...).
CMediaType TestVideoType(std::size_t extra = 8);

// Runs `work` on a thread of its own; false when it did not finish within
// `timeoutMs`. A hung call then ends the process, since it cannot be undone.
bool FinishesWithin(DWORD timeoutMs, const std::function<void()>& work);

// Waits until `condition` holds, at most `timeoutMs`.
bool WaitUntil(DWORD timeoutMs, const std::function<bool()>& condition);

struct TestGraph {
  framework::ComPtr<IGraphBuilder> builder;
  framework::ComPtr<IMediaControl> control;
  framework::ComPtr<IMediaEvent> events;
  framework::ComPtr<IMediaFilter> filter;
  framework::ComPtr<IMediaSeeking> seeking;

  // Wine's filter graph manager; with `clock` false it runs without a
  // reference clock (as fast as the filters go).
  static TestGraph Create(bool clock);
  bool Valid() const { return builder && control && events && filter && seeking; }
  // The event code WaitForCompletion gives within `timeoutMs` (0 on timeout).
  long WaitForCompletion(long timeoutMs);
};

// COM for the calling thread, for the length of a scope.
class ComApartment {
 public:
  ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HRESULT hr_;
};

// Connects two pins outside any graph, and parts them again on both sides
// (each holds a reference on the other while connected).
class PinLink {
 public:
  PinLink(IPin* out, IPin* in) : out_(out), in_(in), result_(out->Connect(in, nullptr)) {}
  ~PinLink() {
    out_->Disconnect();
    in_->Disconnect();
  }
  PinLink(const PinLink&) = delete;
  PinLink& operator=(const PinLink&) = delete;
  HRESULT Result() const { return result_; }

 private:
  IPin* out_;
  IPin* in_;
  HRESULT result_;
};

#include "test_graph.h"

#include <amvideo.h>
#include <evcode.h>
#include <uuids.h>

#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "framework/module_server.h"
#include "test_renderer.h"

namespace {
CUnknown* CreateNothing(IUnknown*, HRESULT* hr) {
  *hr = E_NOTIMPL;
  return nullptr;
}
}  // namespace

// The executables that link these filters register nothing of their own.
const CFactoryTemplate g_Templates[] = {
    {L"Test renderer", &CTestRenderer::kClassId, CreateNothing, nullptr, nullptr}};
const int g_cTemplates = 1;

CMediaType TestVideoType(std::size_t extra) {
  std::vector<BYTE> format(sizeof(VIDEOINFOHEADER) + extra);
  auto* info = reinterpret_cast<VIDEOINFOHEADER*>(format.data());
  info->AvgTimePerFrame = 400000;
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = 320;
  info->bmiHeader.biHeight = 240;
  info->bmiHeader.biCompression = kTestSubtype.Data1;
  for (std::size_t i = 0; i < extra; ++i) format[sizeof(VIDEOINFOHEADER) + i] = static_cast<BYTE>(0x10 + i);
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = kTestSubtype;
  type.bTemporalCompression = TRUE;
  type.formattype = FORMAT_VideoInfo;
  type.cbFormat = static_cast<ULONG>(format.size());
  type.pbFormat = format.data();
  return CMediaType(type);
}

bool FinishesWithin(DWORD timeoutMs, const std::function<void()>& work) {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread worker([&] {
    work();
    SetEvent(done);
  });
  const bool finished = WaitForSingleObject(done, timeoutMs) == WAIT_OBJECT_0;
  if (!finished) {
    std::fprintf(stderr, "watchdog: a call did not return within %lu ms\n",
                 static_cast<unsigned long>(timeoutMs));
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
  }
  worker.join();
  CloseHandle(done);
  return finished;
}

bool WaitUntil(DWORD timeoutMs, const std::function<bool()>& condition) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!condition()) {
    if (GetTickCount64() >= end) return false;
    Sleep(5);
  }
  return true;
}

TestGraph TestGraph::Create(bool clock) {
  TestGraph graph;
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                              graph.builder.put_void()))) {
    return graph;
  }
  graph.builder->QueryInterface(IID_IMediaControl, graph.control.put_void());
  graph.builder->QueryInterface(IID_IMediaEvent, graph.events.put_void());
  graph.builder->QueryInterface(IID_IMediaFilter, graph.filter.put_void());
  graph.builder->QueryInterface(IID_IMediaSeeking, graph.seeking.put_void());
  if (!clock && graph.filter) graph.filter->SetSyncSource(nullptr);
  return graph;
}

long TestGraph::WaitForCompletion(long timeoutMs) {
  long code = 0;
  if (events->WaitForCompletion(timeoutMs, &code) != S_OK) return 0;
  return code;
}

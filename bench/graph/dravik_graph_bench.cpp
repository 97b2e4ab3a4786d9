// Dravik in a graph against dravik-extract on the same files, both under the
// same Windows runtime: the graph runs with no reference clock (as fast as
// the frames go), fed by the tests' push source through the graph manager and
// the system allocator.
//   dravik_graph_bench DRAVIK_AX DRAVIK_EXTRACT_EXE OUTPUT_FOLDER WMV...
// Prints, per file, the median over RUNS (5) of: frames per second inside the
// graph (Run to EC_COMPLETE), the graph's whole run (creation, file name,
// connection, run, stop) and dravik-extract's whole process.
// No dialog is answered: run it without a display, so the input dialog
// chooses nothing and frames are written without header blocks (a few
// hundred bytes per I picture less than dravik-extract writes).

#include <windows.h>
#include <dshow.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "filter/dravik_class.h"
#include "framework/com_ptr.h"
#include "support/test_graph.h"
#include "support/test_source.h"
#include "wmv_frames.h"

using framework::ComPtr;

namespace {

double Now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// One graph run; false when anything failed. `streaming` is Run to EC_COMPLETE.
bool RunGraph(const TestSourceScript& script, const std::wstring& output, double* streaming,
              double* whole) {
  const double begin = Now();
  DeleteFileW(output.c_str());
  ComPtr<CTestSource> source;
  source.attach(CTestSource::Create(script));
  ComPtr<IBaseFilter> dravik;
  if (FAILED(CoCreateInstance(CLSID_DravikWriter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              dravik.put_void())))
    return false;
  ComPtr<IFileSinkFilter> sink;
  dravik->QueryInterface(IID_IFileSinkFilter, sink.put_void());
  sink->SetFileName(output.c_str(), nullptr);
  TestGraph graph = TestGraph::Create(false);
  ComPtr<IPin> input;
  bool ok = graph.Valid() && SUCCEEDED(graph.builder->AddFilter(source.get(), L"Source")) &&
            SUCCEEDED(graph.builder->AddFilter(dravik.get(), L"Dravik")) &&
            SUCCEEDED(dravik->FindPin(L"Input", input.put())) &&
            SUCCEEDED(graph.builder->ConnectDirect(source->OutputPin(), input.get(), nullptr));
  if (ok) {
    const double run = Now();
    ok = SUCCEEDED(graph.control->Run()) && graph.WaitForCompletion(60000) == EC_COMPLETE;
    *streaming = Now() - run;
    graph.control->Stop();
  }
  graph.builder->RemoveFilter(source.get());
  graph.builder->RemoveFilter(dravik.get());
  *whole = Now() - begin;
  return ok;
}

double RunExtract(const std::string& extract, const char* wmv, const std::string& output) {
  std::string line = "\"" + extract + "\" --force \"" + wmv + "\" \"" + output + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const double begin = Now();
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  const double took = Now() - begin;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return took;
}

HRESULT CallExport(const char* module, const char* name) {
  HMODULE handle = LoadLibraryA(module);
  if (!handle) return E_FAIL;
  using Export = HRESULT(STDAPICALLTYPE*)();
  auto call = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
  const HRESULT hr = call ? call() : E_FAIL;
  FreeLibrary(handle);
  return hr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s DRAVIK_AX DRAVIK_EXTRACT_EXE OUTPUT_FOLDER WMV...\n", argv[0]);
    return 2;
  }
  const char* runsText = std::getenv("RUNS");
  const int runs = runsText ? std::max(1, std::atoi(runsText)) : 5;
  CoInitialize(nullptr);
  if (FAILED(CallExport(argv[1], "DllRegisterServer"))) {
    std::fprintf(stderr, "cannot register %s\n", argv[1]);
    return 1;
  }
  const std::string folder = argv[3];
  const std::wstring graphOutput = std::wstring(folder.begin(), folder.end()) + L"\\graph.vc1";
  std::printf("%-34s %7s %12s %12s %14s\n", "file", "frames", "graph fps", "graph run",
              "dravik-extract");
  int status = 0;
  for (int i = 4; i < argc; ++i) {
    const TestSourceScript script = dravik_test::FramesOf(argv[i]);
    if (script.FrameCount() == 0) {
      std::fprintf(stderr, "%s: no WVC1 frames\n", argv[i]);
      status = 1;
      continue;
    }
    std::vector<double> streaming, whole, extract;
    for (int run = 0; run < runs; ++run) {
      double s = 0, w = 0;
      if (!RunGraph(script, graphOutput, &s, &w)) {
        std::fprintf(stderr, "%s: the graph run failed\n", argv[i]);
        status = 1;
        break;
      }
      streaming.push_back(s);
      whole.push_back(w);
      extract.push_back(RunExtract(argv[2], argv[i], folder + "\\extract.vc1"));
    }
    const std::string name = std::string(argv[i]).substr(std::string(argv[i]).find_last_of("\\/") + 1);
    const int frames = script.FrameCount();
    std::printf("%-34s %7d %12.0f %10.1fms %12.1fms\n", name.c_str(), frames,
                frames / std::max(Median(streaming), 1e-9), Median(whole) * 1000,
                Median(extract) * 1000);
  }
  CallExport(argv[1], "DllUnregisterServer");
  CoUninitialize();
  return status;
}

// Write path benchmark: frames of 1 KiB to 200 KiB written through
// Vc1WriterCore::WriteFrame, against the same pieces written with the
// system's own write call on the same file system. Reports throughput of
// both, their ratio, system write calls per frame (Linux: /proc/self/io) and
// heap allocations made while frames were written (counted by the replaced
// global operator new).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "filter/vc1_writer_core.h"

namespace {
std::atomic<unsigned long> g_allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr int kFrames = 600;
constexpr int kRounds = 11;
constexpr int kIntraEvery = 12;

// Answers every question OK and picks the file it was given.
class BenchUi final : public platform::UserInterface {
 public:
  explicit BenchUi(std::string input) : input_(std::move(input)) {}
  bool AskOkCancel(const char*, const char*) override { return true; }
  void ShowWarning(const char* text, const char*) override { std::fprintf(stderr, "%s\n", text); }
  bool ChooseFileToOpen(const char*, const platform::FileTypeFilter*, std::uint32_t, bool, char* path,
                        std::uint32_t capacity) override {
    if (input_.empty() || input_.size() >= capacity) return false;
    std::memcpy(path, input_.c_str(), input_.size() + 1);
    return true;
  }

 private:
  std::string input_;
};

long long WriteSyscalls() {
#ifdef __linux__
  std::FILE* f = std::fopen("/proc/self/io", "r");
  if (!f) return -1;
  char line[128];
  long long n = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "syscw: %lld", &n) == 1) break;
  std::fclose(f);
  return n;
#else
  return -1;
#endif
}

// The baseline: one system write per piece, nothing else.
struct PlainFile {
#ifdef _WIN32
  HANDLE h;
  explicit PlainFile(const std::string& name)
      : h(::CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)) {}
  ~PlainFile() { ::CloseHandle(h); }
  bool Write(const void* p, std::uint32_t n) {
    DWORD w = 0;
    return ::WriteFile(h, p, n, &w, nullptr) && w == n;
  }
#else
  int fd;
  explicit PlainFile(const std::string& name)
      : fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {}
  ~PlainFile() { ::close(fd); }
  bool Write(const void* p, std::uint32_t n) { return ::write(fd, p, n) == static_cast<ssize_t>(n); }
#endif
};

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : ".";
  std::string wmv = argc > 2 ? argv[2] : "";
  if (wmv.empty()) {
    if (const char* d = std::getenv("VC1_TESTDATA_DIR")) wmv = std::string(d) + "/wmv/fishes.wmv";
  }

  // Frames of 1 KiB to 200 KiB, sizes from a fixed linear congruential sequence.
  std::vector<std::vector<std::uint8_t>> frames(kFrames);
  std::uint32_t seed = 12345;
  std::uint64_t payloadBytes = 0;
  int intraFrames = 0;
  for (int i = 0; i < kFrames; ++i) {
    seed = seed * 1664525u + 1013904223u;
    std::size_t size = 1024 + (seed >> 8) % (200 * 1024 - 1024 + 1);
    frames[static_cast<std::size_t>(i)].assign(size, static_cast<std::uint8_t>(i));
    bool intra = i % kIntraEvery == 0;
    frames[static_cast<std::size_t>(i)][0] = intra ? 0xC0 : 0x12;
    intraFrames += intra;
    payloadBytes += size;
  }

  BenchUi ui(wmv);
  dravik::Vc1WriterCore core(ui, nullptr, nullptr);
  std::string coreName = dir + "/write_path_core.vc1";
  std::wstring wideName(coreName.begin(), coreName.end());
  bool captured = core.SetFileName(wideName.c_str()) == platform::kOk;
  core.CloseOutputFile();
  std::uint32_t blockLength = core.HeaderBlockLength();
  std::uint8_t block[dravik::HEADER_BUFFER_SIZE];
  std::memcpy(block, core.HeaderBlock(), blockLength);
  std::uint64_t totalBytes = payloadBytes + 4ull * kFrames + std::uint64_t{blockLength} * static_cast<std::uint64_t>(intraFrames);

  std::vector<double> coreTimes, plainTimes;
  long long coreCalls = 0, plainCalls = 0;
  unsigned long coreAllocations = 0;
  for (int round = 0; round < kRounds; ++round) {
    {
      core.OpenOutputFile();  // replaces last round's file (answered OK)
      long long calls0 = WriteSyscalls();
      unsigned long alloc0 = g_allocations.load();
      auto t0 = std::chrono::steady_clock::now();
      for (const auto& f : frames) {
        platform::ScopedLock lock(core.ReceiveLock());
        if (core.WriteFrame(f.data(), static_cast<std::uint32_t>(f.size())) != platform::kOk) {
          std::fprintf(stderr, "write failed\n");
          return 1;
        }
      }
      auto t1 = std::chrono::steady_clock::now();
      coreAllocations += g_allocations.load() - alloc0;
      coreCalls = WriteSyscalls() - calls0;
      core.CloseOutputFile();
      coreTimes.push_back(std::chrono::duration<double>(t1 - t0).count());
    }
    {
      PlainFile out(dir + "/write_path_plain.vc1");
      long long calls0 = WriteSyscalls();
      auto t0 = std::chrono::steady_clock::now();
      for (const auto& f : frames) {
        if ((f[0] & 0xE0) == 0xC0 && blockLength) out.Write(block, blockLength);
        out.Write(dravik::FRAME_START_CODE, 4);
        out.Write(f.data(), static_cast<std::uint32_t>(f.size()));
      }
      auto t1 = std::chrono::steady_clock::now();
      plainCalls = WriteSyscalls() - calls0;
      plainTimes.push_back(std::chrono::duration<double>(t1 - t0).count());
    }
  }
  std::remove(coreName.c_str());
  std::remove((dir + "/write_path_plain.vc1").c_str());

  // Median of the rounds: the page cache's write-back makes single rounds noisy.
  std::sort(coreTimes.begin(), coreTimes.end());
  std::sort(plainTimes.begin(), plainTimes.end());
  double coreMedian = coreTimes[kRounds / 2], plainMedian = plainTimes[kRounds / 2];
  double mib = static_cast<double>(totalBytes) / (1024.0 * 1024.0);
  std::printf("frames %d (%d I pictures), %.1f MiB per round, header block %u bytes%s\n", kFrames,
              intraFrames, mib, blockLength, captured ? "" : " (no capture: no block)");
  std::printf("core : median of %d %.4f s  %.0f MiB/s\n", kRounds, coreMedian, mib / coreMedian);
  std::printf("plain: median of %d %.4f s  %.0f MiB/s\n", kRounds, plainMedian, mib / plainMedian);
  std::printf("throughput core/plain: %.3f\n", plainMedian / coreMedian);
  if (WriteSyscalls() >= 0)
    std::printf("write calls per frame: core %.3f, plain %.3f (expected %.3f)\n",
                static_cast<double>(coreCalls) / kFrames, static_cast<double>(plainCalls) / kFrames,
                2.0 + (blockLength ? static_cast<double>(intraFrames) / kFrames : 0.0));
  else
    std::printf("write calls per frame: not counted on this system\n");
  std::printf("heap allocations while writing: %lu over %d frames\n", coreAllocations,
              kFrames * kRounds);
  return 0;
}

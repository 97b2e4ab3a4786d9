// The frames of each real WMV, written through the core after a capture from
// the same file, must make an elementary stream that decodes to exactly the
// pictures the WMV decodes to. FFmpeg is the independent judge here.

#include "filter/vc1_writer_core.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_data.h"

namespace {

#ifndef _WIN32

bool HaveFfmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string RunCommand(const std::string& command) {
  std::string out;
  std::FILE* p = ::popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  return out;
}

// The md5 column of ffmpeg's framemd5 output, one entry per decoded picture.
std::vector<std::string> FrameMd5s(const std::string& inputArgs) {
  std::istringstream lines(RunCommand("ffmpeg -v error -nostdin " + inputArgs +
                               " -map 0:v -f framemd5 - 2>/dev/null"));
  std::vector<std::string> md5s;
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::size_t comma = line.rfind(',');
    if (comma == std::string::npos) continue;
    std::size_t start = line.find_first_not_of(' ', comma + 1);
    md5s.push_back(line.substr(start));
  }
  return md5s;
}

void ThrowAwayStop(void*) {}

TEST(WriterEndToEnd, RealWmvFramesDecodeLikeTheWmv) {
  VC1_REQUIRE_TESTDATA();
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg not found; skipped";
  std::vector<std::string> files = testdata::List("wmv", ".wmv");
  ASSERT_FALSE(files.empty());
  for (const std::string& wmv : files) {
    SCOPED_TRACE(wmv);
    std::string dir = testdata::ScratchDir();
    RunCommand("ffmpeg -v error -nostdin -i " + Quote(wmv) + " -map 0:v -c copy -f image2 " +
        Quote(dir + "/frame%05d.bin") + " 2>/dev/null");
    std::vector<std::string> frames;
    for (const auto& e : std::filesystem::directory_iterator(dir))
      if (e.path().extension() == ".bin") frames.push_back(e.path().string());
    std::sort(frames.begin(), frames.end());
    ASSERT_FALSE(frames.empty());

    platform::ScriptedUserInterface ui;
    dravik::Vc1WriterCore core(ui, &ThrowAwayStop, nullptr);
    std::string out = dir + "/out.vc1";
    ui.Choose(wmv);
    ASSERT_EQ(core.SetFileName(std::wstring(out.begin(), out.end()).c_str()), platform::kOk);
    for (const std::string& f : frames) {
      std::vector<std::uint8_t> payload = testdata::ReadFile(f);
      platform::ScopedLock lock(core.ReceiveLock());
      ASSERT_EQ(core.WriteFrame(payload.data(), static_cast<std::uint32_t>(payload.size())),
                platform::kOk);
    }
    core.CloseOutputFile();

    std::vector<std::string> expected = FrameMd5s("-i " + Quote(wmv));
    std::vector<std::string> written = FrameMd5s("-f vc1 -i " + Quote(out));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_EQ(written, expected);
  }
}

#else

TEST(WriterEndToEnd, RealWmvFramesDecodeLikeTheWmv) {
  GTEST_SKIP() << "runs natively, where ffmpeg can be started";
}

#endif

}  // namespace

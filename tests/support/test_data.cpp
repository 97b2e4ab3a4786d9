#include "test_data.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace testdata {

namespace {
std::string FromEnv(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}
}  // namespace

std::string Dir() {
  std::string d = FromEnv("VC1_TESTDATA_DIR");
  std::error_code ec;
  if (d.empty() || !fs::is_directory(d, ec)) return {};
  return d;
}

std::string SamplesDir() { return FromEnv("VC1_SAMPLES_DIR"); }

std::string Path(const std::string& relative) { return Dir() + "/" + relative; }

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  std::string s = ss.str();
  s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
  return s;
}

std::vector<std::string> List(const std::string& sub, const std::string& suffix) {
  std::vector<std::string> out;
  std::error_code ec;
  std::string base = Dir();
  if (base.empty()) return out;
  for (const auto& e : fs::directory_iterator(base + "/" + sub, ec)) {
    std::string p = e.path().generic_string();
    if (p.size() >= suffix.size() && p.compare(p.size() - suffix.size(), suffix.size(), suffix) == 0)
      out.push_back(p);
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::string ScratchDir() {
  static int counter = 0;
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "scratch";
  std::error_code ec;
  fs::path p = fs::temp_directory_path(ec) /
               ("vc1test-" +
                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
                std::to_string(++counter) + "-" + name);
  fs::remove_all(p, ec);
  fs::create_directories(p, ec);
  return p.generic_string();
}

}  // namespace testdata

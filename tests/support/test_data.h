#pragma once
// Locating the real sample files that live outside the repository.
//
// VC1_TESTDATA_DIR (set by ctest) names the shared sample folder; tests that
// need it call VC1_REQUIRE_TESTDATA() and are skipped with a message when the
// folder is absent. VC1_SAMPLES_DIR names the project's own samples/ folder.

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace testdata {

// Folder of the shared samples, or "" when it is not there.
std::string Dir();
// Folder of the project's own samples.
std::string SamplesDir();
// Dir() + "/" + relative.
std::string Path(const std::string& relative);
// Whole file, or an empty vector when it cannot be read.
std::vector<std::uint8_t> ReadFile(const std::string& path);
// Whole file written (replaced); false when it could not be written.
bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
// Whole text file with every "\r\n" turned into "\n" (Wine's console adds \r).
std::string ReadText(const std::string& path);
// The files in Dir()/sub whose names end in suffix, sorted, full paths.
std::vector<std::string> List(const std::string& sub, const std::string& suffix);
// A fresh, empty scratch folder for this test (removed at process exit).
std::string ScratchDir();

}  // namespace testdata

#define VC1_REQUIRE_TESTDATA()                                                        \
  do {                                                                                \
    if (::testdata::Dir().empty())                                                    \
      GTEST_SKIP() << "shared sample folder not found (set VC1_TESTDATA_DIR); skipped"; \
  } while (0)

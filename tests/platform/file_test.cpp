#include "platform/file.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_data.h"

namespace {

#ifdef _WIN32
platform::NativeString Native(const std::string& s) { return platform::NativeString(s.begin(), s.end()); }
#else
platform::NativeString Native(const std::string& s) { return s; }
#endif

TEST(MemoryReader, ReadsInOrderAndStopsAtTheEnd) {
  const std::uint8_t bytes[5] = {1, 2, 3, 4, 5};
  platform::MemoryReader r(bytes, sizeof bytes);
  std::uint8_t out[8] = {};
  std::uint32_t got = 99;
  ASSERT_TRUE(r.Read(out, 3, &got));
  EXPECT_EQ(got, 3u);
  ASSERT_TRUE(r.Read(out + 3, 8, &got));
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(std::memcmp(out, bytes, 5), 0);
  ASSERT_TRUE(r.Read(out, 8, &got));
  EXPECT_EQ(got, 0u);
}

TEST(File, CreateNewRefusesAnExistingFileAndAlwaysReplacesIt) {
  std::string name = testdata::ScratchDir() + "/out.bin";
  {
    platform::File f = platform::File::CreateForWrite(name.c_str(), platform::File::Create::kNew);
    ASSERT_TRUE(f.IsOpen());
    ASSERT_TRUE(f.WriteAll("abcdef", 6));
  }
  platform::File again = platform::File::CreateForWrite(name.c_str(), platform::File::Create::kNew);
  EXPECT_FALSE(again.IsOpen());
  EXPECT_EQ(platform::LastSystemError(), platform::kErrorFileExists);

  {
    platform::File f = platform::File::CreateForWrite(name.c_str(), platform::File::Create::kAlways);
    ASSERT_TRUE(f.IsOpen());
    ASSERT_TRUE(f.WriteAll("xy", 2));
  }
  platform::File in = platform::File::OpenSharedRead(name.c_str());
  ASSERT_TRUE(in.IsOpen());
  EXPECT_EQ(in.Size(), 2);
  char buf[8] = {};
  std::uint32_t got = 0;
  ASSERT_TRUE(in.Read(buf, sizeof buf, &got));
  EXPECT_EQ(std::string(buf, got), "xy");
  ASSERT_TRUE(in.Rewind());
  ASSERT_TRUE(in.Read(buf, 1, &got));
  EXPECT_EQ(buf[0], 'x');
}

TEST(File, OpeningMissingFilesAndFoldersFails) {
  std::string dir = testdata::ScratchDir();
  EXPECT_FALSE(platform::File::OpenExclusiveRead(Native(dir + "/missing").c_str()).IsOpen());
  EXPECT_FALSE(platform::File::OpenExclusiveRead(Native(dir).c_str()).IsOpen());
  EXPECT_FALSE(platform::File::OpenSharedRead((dir + "/missing").c_str()).IsOpen());
}

TEST(File, MovedFromFileIsClosed) {
  std::string name = testdata::ScratchDir() + "/m.bin";
  platform::File a = platform::File::CreateForWrite(name.c_str(), platform::File::Create::kNew);
  ASSERT_TRUE(a.IsOpen());
  platform::File b = std::move(a);
  EXPECT_FALSE(a.IsOpen());  // NOLINT(bugprone-use-after-move): checking the moved-from state
  EXPECT_TRUE(b.IsOpen());
  b.Close();
  EXPECT_FALSE(b.IsOpen());
}

#ifndef _WIN32
TEST(File, FullDeviceReportsDiskFull) {
  platform::File f = platform::File::CreateForWrite("/dev/full", platform::File::Create::kAlways);
  ASSERT_TRUE(f.IsOpen());
  std::vector<std::uint8_t> data(4096, 0x55);
  EXPECT_FALSE(f.WriteAll(data.data(), static_cast<std::uint32_t>(data.size())));
  EXPECT_EQ(platform::LastSystemError(), platform::kErrorDiskFull);
}
#endif

TEST(FileByName, ExistsSameFileAndRemove) {
  const std::string dir = testdata::ScratchDir();
  const std::string a = dir + "/a.bin";
  ASSERT_TRUE(testdata::WriteFile(a, {1, 2, 3}));
  const platform::NativeString na = Native(a), nb = Native(dir + "/b.bin");
  const platform::NativeString again = Native(dir + "/./a.bin");
  EXPECT_TRUE(platform::FileExists(na.c_str()));
  EXPECT_FALSE(platform::FileExists(nb.c_str()));
  EXPECT_TRUE(platform::IsSameFile(na.c_str(), again.c_str()));
  EXPECT_FALSE(platform::IsSameFile(na.c_str(), nb.c_str()));  // one of them does not exist
  ASSERT_TRUE(testdata::WriteFile(dir + "/b.bin", {1, 2, 3}));
  EXPECT_FALSE(platform::IsSameFile(na.c_str(), nb.c_str()));  // equal bytes, two files

  EXPECT_TRUE(platform::RemoveFile(na.c_str()));
  EXPECT_FALSE(platform::FileExists(na.c_str()));
  EXPECT_FALSE(platform::RemoveFile(na.c_str()));
  EXPECT_EQ(platform::LastSystemError(), platform::kErrorFileNotFound);
}

}  // namespace

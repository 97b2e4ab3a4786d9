#include "platform/text.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(WideToNarrow, ConvertsWholeNamesThatFit) {
  char out[260];
  ASSERT_TRUE(platform::WideToNarrow(L"C:\\video\\out.vc1", out, sizeof out));
  EXPECT_STREQ(out, "C:\\video\\out.vc1");
  ASSERT_TRUE(platform::WideToNarrow(L"", out, sizeof out));
  EXPECT_STREQ(out, "");

  // The terminator counts: 259 characters fit in 260 bytes, 260 do not.
  std::wstring fits(259, L'a');
  ASSERT_TRUE(platform::WideToNarrow(fits.c_str(), out, sizeof out));
  EXPECT_EQ(std::strlen(out), 259u);
  std::wstring tooLong(260, L'a');
  EXPECT_FALSE(platform::WideToNarrow(tooLong.c_str(), out, sizeof out));

  EXPECT_FALSE(platform::WideToNarrow(nullptr, out, sizeof out));
  EXPECT_FALSE(platform::WideToNarrow(L"a", out, 0));
  EXPECT_FALSE(platform::WideToNarrow(L"a", out, 1));
  ASSERT_TRUE(platform::WideToNarrow(L"a", out, 2));
  EXPECT_STREQ(out, "a");
}

#ifndef _WIN32
TEST(WideToNarrow, PosixNamesAreUtf8) {
  struct Row {
    const wchar_t* wide;
    const char* narrow;  // nullptr: refused
  };
  const Row rows[] = {
      {L"caf\u00E9", "caf\xC3\xA9"},
      {L"\u20AC", "\xE2\x82\xAC"},
      {L"\U0001F3A5", "\xF0\x9F\x8E\xA5"},
      {L"\x7F\x80", "\x7F\xC2\x80"},
      {L"a\xD800", nullptr},  // lone surrogate
      {L"\x110000", nullptr},
  };
  for (const Row& r : rows) {
    char out[16];
    bool ok = platform::WideToNarrow(r.wide, out, sizeof out);
    EXPECT_EQ(ok, r.narrow != nullptr);
    if (ok && r.narrow) {
      EXPECT_STREQ(out, r.narrow);
    }
  }
  // A multi-byte character that would cross the end is refused, not split.
  char small[3];
  EXPECT_FALSE(platform::WideToNarrow(L"a\u00E9", small, sizeof small));
  EXPECT_STREQ(small, "");
}
#else
TEST(WideToNarrow, WindowsNamesUseTheAnsiCodePage) {
  // Characters outside the code page become its default character; the
  // conversion itself still succeeds, as the system's does.
  char out[16];
  ASSERT_TRUE(platform::WideToNarrow(L"x\u4E00y", out, sizeof out));
  EXPECT_EQ(std::strlen(out), 3u);
  EXPECT_EQ(out[0], 'x');
  EXPECT_EQ(out[2], 'y');
}
#endif

TEST(NarrowToWide, RoundTripsWhatWideToNarrowGives) {
  const std::wstring names[] = {L"", L"C:\\video\\out.vc1", L"plain name.wmv"};
  for (const std::wstring& name : names) {
    std::string narrow;
    ASSERT_TRUE(platform::WideToNarrow(name, &narrow));
    std::wstring back;
    ASSERT_TRUE(platform::NarrowToWide(narrow, &back));
    EXPECT_EQ(back, name);
  }
#ifndef _WIN32
  std::wstring wide = L"x";
  EXPECT_FALSE(platform::NarrowToWide("a\xC3", &wide));      // cut short
  EXPECT_FALSE(platform::NarrowToWide("a\xC3" "b", &wide));  // no continuation byte
  EXPECT_FALSE(platform::NarrowToWide("\xFF", &wide));
  EXPECT_TRUE(wide.empty());
  ASSERT_TRUE(platform::NarrowToWide("caf\xC3\xA9 \xF0\x9F\x8E\xA5", &wide));
  EXPECT_EQ(wide, L"caf\u00E9 \U0001F3A5");
  std::string narrow = "x";
  EXPECT_FALSE(platform::WideToNarrow(std::wstring(L"a\xD800"), &narrow));
  EXPECT_TRUE(narrow.empty());
#endif
}

TEST(PrintableName, IsTheNameInTheConsolesNarrowForm) {
  EXPECT_EQ(platform::PrintableName(platform::NativeString(), "?"), "");
#ifdef _WIN32
  EXPECT_EQ(platform::PrintableName(L"C:\\in.wmv", "?"), "C:\\in.wmv");
#else
  EXPECT_EQ(platform::PrintableName("in\xFF.wmv", "?"), "in\xFF.wmv");  // the bytes given
#endif
}

}  // namespace

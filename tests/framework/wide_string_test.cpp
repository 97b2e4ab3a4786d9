#include "framework/wide_string.h"

#include <gtest/gtest.h>

#include <cwchar>

#include "framework_fakes.h"

namespace {

TEST(WideString, CopyIncludesTheTerminator) {
  WCHAR buffer[8];
  wmemset(buffer, L'x', 8);
  EXPECT_EQ(WideCopy(buffer, L"Input"), buffer);
  EXPECT_EQ(std::wcscmp(buffer, L"Input"), 0);
  EXPECT_EQ(buffer[6], L'x');  // nothing written past the terminator
  WideCopy(buffer, nullptr);
  EXPECT_EQ(buffer[0], 0);
}

TEST(WideString, BoundedCopy) {
  const WCHAR* forty = L"0123456789abcdefghijklmnopqrstuvwxyzABCD";
  struct Row {
    const WCHAR* source;
    std::size_t capacity;
    const WCHAR* expected;
  } const rows[] = {
      {forty, 8, L"0123456"},  // capacity minus one characters and a zero
      {L"Input", 6, L"Input"},  // fits exactly with its terminator
      {L"Input", 5, L"Inpu"},
      {L"Input", 1, L""},
      {L"ab", 100, L"ab"},
      {L"", 4, L""},
      {nullptr, 4, L""},
  };
  for (const Row& row : rows) {
    WCHAR buffer[128];
    wmemset(buffer, L'#', 128);
    EXPECT_EQ(WideCopyBounded(buffer, row.source, row.capacity), buffer);
    EXPECT_EQ(std::wcscmp(buffer, row.expected), 0) << row.capacity;
    // Nothing beyond the terminator, and nothing beyond the capacity.
    const std::size_t written = std::wcslen(row.expected) + 1;
    for (std::size_t i = written; i < 128; ++i) ASSERT_EQ(buffer[i], L'#') << i;
  }
  WCHAR untouched = L'#';
  WideCopyBounded(&untouched, L"abc", 0);  // capacity 0 writes nothing
  EXPECT_EQ(untouched, L'#');
}

TEST(WideString, CompareOrdersByUnsignedCharacters) {
  const WCHAR high[] = {0xFF21, 0};  // above the signed 16-bit range
  struct Row {
    const WCHAR* first;
    const WCHAR* second;
    int sign;
  } const rows[] = {
      {L"Input", L"Input", 0},   {L"Input", L"input", -1}, {L"In", L"Input", -1},
      {L"Input", L"In", 1},      {L"", L"", 0},            {L"A", high, -1},
      {high, L"A", 1},           {nullptr, L"", 0},        {L"a", nullptr, 1},
  };
  for (const Row& row : rows) {
    const int result = WideCompare(row.first, row.second);
    EXPECT_EQ((result > 0) - (result < 0), row.sign);
  }
  EXPECT_EQ(WideCompare(L"b", L"a"), 1);  // the difference of the first differing pair
}

TEST(WideString, LengthCountsUpToTheTerminator) {
  EXPECT_EQ(WideLength(L""), 0u);
  EXPECT_EQ(WideLength(L"Input"), 5u);
  EXPECT_EQ(WideLength(nullptr), 0u);
}

TEST(WideString, DuplicateToTaskMemory) {
  WCHAR* copy = nullptr;
  ASSERT_EQ(WideDuplicateToTaskMemory(L"Input", &copy), S_OK);
  EXPECT_EQ(std::wcscmp(copy, L"Input"), 0);
  CoTaskMemFree(copy);
  ASSERT_EQ(WideDuplicateToTaskMemory(nullptr, &copy), S_OK);
  EXPECT_EQ(copy[0], 0);
  CoTaskMemFree(copy);
  EXPECT_EQ(WideDuplicateToTaskMemory(L"x", nullptr), E_POINTER);
  FailingTaskAllocations failing;
  copy = reinterpret_cast<WCHAR*>(0x5);
  EXPECT_EQ(WideDuplicateToTaskMemory(L"Input", &copy), E_OUTOFMEMORY);
  EXPECT_EQ(copy, nullptr);
}

}  // namespace

#include "text.h"

#include <windows.h>

namespace platform {

bool WideToNarrow(const wchar_t* wide, char* narrow, std::uint32_t capacity) {
  if (wide == nullptr || narrow == nullptr || capacity == 0) return false;
  // -1: the whole string with its terminator. No flags: characters without an
  // ANSI form become the code page's default character, as the system does.
  int n = ::WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, static_cast<int>(capacity), nullptr,
                                nullptr);
  return n > 0;
}

bool NarrowToWide(const std::string& narrow, std::wstring* wide) {
  wide->clear();
  if (narrow.empty()) return true;
  const int length = static_cast<int>(narrow.size());
  int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(), length, nullptr, 0);
  if (n <= 0) return false;
  wide->resize(static_cast<std::size_t>(n));
  if (::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(), length, &(*wide)[0], n) != n) {
    wide->clear();
    return false;
  }
  return true;
}

}  // namespace platform

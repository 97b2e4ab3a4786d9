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

}  // namespace platform

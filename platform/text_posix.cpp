#include "text.h"

namespace platform {

bool WideToNarrow(const wchar_t* wide, char* narrow, std::uint32_t capacity) {
  if (wide == nullptr || narrow == nullptr || capacity == 0) return false;
  std::uint32_t out = 0;
  for (const wchar_t* p = wide;; ++p) {
    auto c = static_cast<std::uint32_t>(*p);
    unsigned char bytes[4];
    std::uint32_t n;
    if (c < 0x80) {
      bytes[0] = static_cast<unsigned char>(c);
      n = 1;
    } else if (c < 0x800) {
      bytes[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
      bytes[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      n = 2;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      return false;  // a lone surrogate has no UTF-8 form
    } else if (c < 0x10000) {
      bytes[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
      bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      bytes[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      n = 3;
    } else if (c <= 0x10FFFF) {
      bytes[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
      bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
      bytes[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      bytes[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      n = 4;
    } else {
      return false;
    }
    if (capacity - out < n) {
      narrow[0] = '\0';
      return false;
    }
    for (std::uint32_t i = 0; i < n; ++i) narrow[out++] = static_cast<char>(bytes[i]);
    if (c == 0) return true;
  }
}

}  // namespace platform

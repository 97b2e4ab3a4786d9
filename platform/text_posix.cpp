#include "text.h"

namespace platform {

namespace {
bool Refuse(std::wstring* out) {
  out->clear();
  return false;
}
}  // namespace

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

bool NarrowToWide(const std::string& in, std::wstring* out) {
  out->clear();
  for (std::size_t i = 0; i < in.size();) {
    auto b = static_cast<unsigned char>(in[i]);
    std::uint32_t c;
    std::size_t n;
    if (b < 0x80) { c = b; n = 1; }
    else if ((b & 0xE0) == 0xC0) { c = b & 0x1Fu; n = 2; }
    else if ((b & 0xF0) == 0xE0) { c = b & 0x0Fu; n = 3; }
    else if ((b & 0xF8) == 0xF0) { c = b & 0x07u; n = 4; }
    else return Refuse(out);
    if (in.size() - i < n) return Refuse(out);
    for (std::size_t k = 1; k < n; ++k) {
      auto t = static_cast<unsigned char>(in[i + k]);
      if ((t & 0xC0) != 0x80) return Refuse(out);
      c = c << 6 | (t & 0x3Fu);
    }
    out->push_back(static_cast<wchar_t>(c));
    i += n;
  }
  return true;
}

}  // namespace platform

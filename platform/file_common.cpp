#include "file.h"

#include <cstring>

namespace platform {

File::~File() { Close(); }
File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = InvalidHandle(); }
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = InvalidHandle();
  }
  return *this;
}

bool File::WriteAll(const void* src, std::uint32_t size) {
  const auto* p = static_cast<const std::uint8_t*>(src);
  while (size > 0) {
    std::uint32_t written = 0;
    if (!WriteOnce(p, size, &written)) return false;
    if (written == 0 || written > size) {
      // Success with no progress would loop for ever: treat it as a failed write.
      SetLastSystemError(kErrorWriteFault);
      return false;
    }
    p += written;
    size -= written;
  }
  return true;
}

bool MemoryReader::Read(void* dst, std::uint32_t want, std::uint32_t* got) {
  std::size_t left = size_ - offset_;
  std::size_t n = want < left ? want : left;
  if (n) std::memcpy(dst, data_ + offset_, n);
  offset_ += n;
  *got = static_cast<std::uint32_t>(n);
  return true;
}

}  // namespace platform

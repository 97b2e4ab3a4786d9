#include "file.h"

#include <cstring>

namespace platform {

File::~File() { Close(); }
File::File(File&& other) noexcept
    : handle_(other.handle_),
      buffer_(std::move(other.buffer_)),
      bufferCapacity_(other.bufferCapacity_),
      committed_(other.committed_),
      writeFailure_(other.writeFailure_) {
  other.handle_ = InvalidHandle();
  other.buffer_.clear();
  other.bufferCapacity_ = 0;
}
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    buffer_ = std::move(other.buffer_);
    bufferCapacity_ = other.bufferCapacity_;
    committed_ = other.committed_;
    writeFailure_ = other.writeFailure_;
    other.handle_ = InvalidHandle();
    other.buffer_.clear();
    other.bufferCapacity_ = 0;
  }
  return *this;
}

bool File::WriteThrough(const void* src, std::uint32_t size) {
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
    committed_ += written;
  }
  return true;
}

bool File::WriteAll(const void* src, std::uint32_t size) {
  if (bufferCapacity_ == 0) return WriteThrough(src, size);
  if (writeFailure_ != 0) {
    SetLastSystemError(writeFailure_);
    return false;
  }
  const auto* p = static_cast<const std::uint8_t*>(src);
  while (size > 0) {
    if (buffer_.size() == bufferCapacity_ && !Flush()) return false;
    const std::uint32_t room = bufferCapacity_ - static_cast<std::uint32_t>(buffer_.size());
    const std::uint32_t n = size < room ? size : room;
    buffer_.insert(buffer_.end(), p, p + n);
    p += n;
    size -= n;
  }
  return true;
}

void File::BufferWrites(std::uint32_t capacity) {
  bufferCapacity_ = capacity;
  buffer_.reserve(capacity);
}

bool File::Flush() {
  if (writeFailure_ != 0) {
    SetLastSystemError(writeFailure_);
    return false;
  }
  if (buffer_.empty()) return true;
  const bool written = WriteThrough(buffer_.data(), static_cast<std::uint32_t>(buffer_.size()));
  buffer_.clear();
  if (!written) {
    writeFailure_ = LastSystemError();
    if (writeFailure_ == 0) writeFailure_ = kErrorWriteFault;
    SetLastSystemError(writeFailure_);
  }
  return written;
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

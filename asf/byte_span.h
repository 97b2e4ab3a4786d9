#pragma once
// Bounds-checked little-endian reading over bytes already in memory.
//
// ASF stores every number little-endian and every structure at fixed offsets
// from the start of its object. Nothing here overlays structs on raw bytes:
// each field is assembled byte by byte, and each read first checks that the
// whole field lies inside the span. Sizes and offsets taken from a file are
// untrusted, so every check is written so that it cannot wrap.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace asf {

class ByteSpan {
 public:
  constexpr ByteSpan() = default;
  constexpr ByteSpan(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  constexpr const std::uint8_t* data() const { return data_; }
  constexpr std::size_t size() const { return size_; }
  constexpr bool empty() const { return size_ == 0; }

  // True when [offset, offset + count) lies inside the span.
  constexpr bool Contains(std::size_t offset, std::size_t count) const {
    return offset <= size_ && count <= size_ - offset;
  }

  // The bytes [offset, offset + count), or an empty span when they do not all
  // lie inside this one.
  constexpr ByteSpan Sub(std::size_t offset, std::size_t count) const {
    return Contains(offset, count) ? ByteSpan(data_ + offset, count) : ByteSpan();
  }
  // Everything from offset to the end (empty past the end).
  constexpr ByteSpan From(std::size_t offset) const {
    return offset <= size_ ? ByteSpan(data_ + offset, size_ - offset) : ByteSpan();
  }

  // Little-endian fields. False (and *value untouched) when the field is not
  // wholly inside the span.
  bool U8(std::size_t offset, std::uint8_t* value) const { return Le(offset, value); }
  bool U16(std::size_t offset, std::uint16_t* value) const { return Le(offset, value); }
  bool U32(std::size_t offset, std::uint32_t* value) const { return Le(offset, value); }
  bool U64(std::size_t offset, std::uint64_t* value) const { return Le(offset, value); }

  // True when the bytes at offset equal `expected` (and lie inside the span).
  bool Matches(std::size_t offset, const std::uint8_t* expected, std::size_t count) const {
    return Contains(offset, count) && (count == 0 || std::memcmp(data_ + offset, expected, count) == 0);
  }

 private:
  template <typename T>
  bool Le(std::size_t offset, T* value) const {
    if (!Contains(offset, sizeof(T))) return false;
    T v = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) v = static_cast<T>((v << 8) | data_[offset + i]);
    *value = v;
    return true;
  }

  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace asf

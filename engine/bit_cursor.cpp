// MSB-first bit access over a caller's buffer. Every access is checked against
// one bounds rule, (start + width) div 8 < length, evaluated in wrapping 32-bit
// arithmetic: the bit just after the field must still lie inside the buffer.
// Failed accesses read 0 or write nothing, and the position moves on anyway,
// so a truncated header decodes as zeros instead of stopping the walk.
#include <cstring>

#include "engine/VC1Parse.h"

namespace vc1 {

namespace {

bool FieldFits(std::uint32_t start, std::uint32_t width, std::uint32_t length) {
  const std::uint32_t end = start + width;  // wraps on purpose: a wrapped end is refused
  return width <= 32 && end > start && end / 8 < length;
}

std::uint8_t BitMask(std::uint32_t bitIndex) {
  return static_cast<std::uint8_t>(0x80u >> (bitIndex % 8));
}

}  // namespace

void BitCursor::InitReader(const std::uint8_t* buffer, std::uint32_t size) {
  // The reader never writes; the cursor keeps one pointer type for both roles.
  data = const_cast<std::uint8_t*>(buffer);
  length = buffer ? size : 0;
  position = 0;
}

void BitCursor::InitWriter(std::uint8_t* buffer, std::uint32_t size) {
  data = buffer;
  length = buffer ? size : 0;
  position = 0;
  if (length != 0) std::memset(data, 0, length);
}

std::uint32_t BitCursor::GetBits(std::uint32_t start, std::uint32_t width) const {
  if (!FieldFits(start, width, length)) return 0;
  std::uint32_t result = 0;
  for (std::uint32_t i = start; i != start + width; ++i)
    result = (result << 1) | ((data[i / 8] & BitMask(i)) != 0 ? 1u : 0u);
  return result;
}

std::uint32_t BitCursor::ReadBits(std::uint32_t width) {
  const std::uint32_t result = GetBits(position, width);
  position += width;
  return result;
}

bool BitCursor::FindStartCode(std::uint32_t code) {
  // At least two bytes must follow the code, hence the search ends at length - 6.
  if (length <= 5) return false;
  const std::uint8_t pattern[4] = {
      static_cast<std::uint8_t>(code >> 24), static_cast<std::uint8_t>(code >> 16),
      static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)};
  for (std::uint32_t i = position / 8; i < length - 5; ++i) {
    if (std::memcmp(data + i, pattern, sizeof pattern) == 0) {
      position = 8 * i + 32;
      return true;
    }
  }
  return false;
}

void BitCursor::PutBits(std::uint32_t start, std::uint32_t width, std::uint32_t value) {
  if (!FieldFits(start, width, length)) return;
  // Left-align the field; a 32-bit shift would be undefined, and width 32 needs none.
  std::uint32_t word = width == 32 ? value : value << (32 - width);
  for (std::uint32_t i = start; i != start + width; ++i) {
    if (word & 0x80000000u) data[i / 8] = static_cast<std::uint8_t>(data[i / 8] | BitMask(i));
    word <<= 1;
  }
}

void BitCursor::WriteBits(std::uint32_t width, std::uint32_t value) {
  PutBits(position, width, value);
  position += width;
}

void BitCursor::AlignToByte() { position = (position + 7) / 8 * 8; }

std::uint32_t BitCursor::ByteLength() const { return (position + 7) / 8; }

}  // namespace vc1

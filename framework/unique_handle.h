#pragma once
// One-line owners for plain Win32 and COM resources that are not interfaces:
// registry keys, task-allocator memory, media-type format blocks.

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace framework {

// Owns a value of type T and hands it to Close() once, unless it is Empty.
template <typename T, void (*Close)(T), T Empty = T{}>
class UniqueHandle {
 public:
  UniqueHandle() noexcept = default;
  explicit UniqueHandle(T value) noexcept : value_(value) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  void reset(T value = Empty) noexcept {
    T old = std::exchange(value_, value);
    if (old != Empty) Close(old);
  }
  [[nodiscard]] T release() noexcept { return std::exchange(value_, Empty); }
  // The slot for an out parameter; anything held before is closed first.
  T* put() noexcept {
    reset();
    return &value_;
  }
  T get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Empty; }

 private:
  T value_ = Empty;
};

namespace handle_detail {
inline void CloseKey(HKEY key) { RegCloseKey(key); }
inline void FreeTaskMemory(void* p) { CoTaskMemFree(p); }
inline void FreeTaskString(WCHAR* p) { CoTaskMemFree(p); }
inline void FreeFormatBlock(BYTE* p) { CoTaskMemFree(p); }
}  // namespace handle_detail

using UniqueHKey = UniqueHandle<HKEY, handle_detail::CloseKey>;
using UniqueTaskMemory = UniqueHandle<void*, handle_detail::FreeTaskMemory>;
using UniqueTaskString = UniqueHandle<WCHAR*, handle_detail::FreeTaskString>;
using UniqueFormatBlock = UniqueHandle<BYTE*, handle_detail::FreeFormatBlock>;

}  // namespace framework

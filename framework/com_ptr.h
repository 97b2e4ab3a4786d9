#pragma once
// ComPtr: the one owning holder for interface references in this code base.
//
// It holds exactly one counted reference. put() releases what it holds before
// handing out the slot, so it is safe to reuse one holder for several out
// parameters in a row. attach() adopts a reference without adding one,
// detach() gives it up without releasing it.

#include <unknwn.h>

#include <utility>

namespace framework {

template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  // Adds a reference: the caller keeps its own.
  explicit ComPtr(T* p) noexcept : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(other.detach()) {}
  ~ComPtr() { reset(); }

  ComPtr& operator=(const ComPtr& other) noexcept {
    ComPtr(other).swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).swap(*this);
    return *this;
  }

  void reset() noexcept {
    T* old = p_;
    p_ = nullptr;
    if (old) old->Release();
  }
  // Takes over a reference the caller already owns.
  void attach(T* p) noexcept {
    reset();
    p_ = p;
  }
  [[nodiscard]] T* detach() noexcept {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  // The slot for an out parameter; anything held before is released first.
  T** put() noexcept {
    reset();
    return &p_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // Hands a new reference to a caller's out pointer.
  void copy_to(T** out) const noexcept {
    *out = p_;
    if (p_) p_->AddRef();
  }

  void swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

 private:
  T* p_ = nullptr;
};

}  // namespace framework

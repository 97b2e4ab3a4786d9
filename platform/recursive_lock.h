#pragma once
// A recursive lock: one thread may take it again while it holds it.
//
// Windows: a critical section (what the filter framework hands around as its
// state lock). POSIX: std::recursive_mutex.

#ifndef _WIN32
#include <mutex>
#endif

namespace platform {

class RecursiveLock {
 public:
  RecursiveLock();
  ~RecursiveLock();
  RecursiveLock(const RecursiveLock&) = delete;
  RecursiveLock& operator=(const RecursiveLock&) = delete;

  void Lock();
  void Unlock();
  bool TryLock();

#ifdef _WIN32
  // The CRITICAL_SECTION itself, for code that has to hand it to Win32 calls.
  void* NativeHandle() { return section_; }
#endif

 private:
#ifdef _WIN32
  // Storage for a CRITICAL_SECTION without pulling <windows.h> into every
  // includer; recursive_lock.cpp checks size and alignment against the real type.
  alignas(void*) unsigned char section_[sizeof(void*) == 8 ? 40 : 24];
#else
  std::recursive_mutex mutex_;
#endif
};

// Holds a RecursiveLock for the length of a scope.
class ScopedLock {
 public:
  explicit ScopedLock(RecursiveLock& lock) : lock_(lock) { lock_.Lock(); }
  ~ScopedLock() { lock_.Unlock(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  RecursiveLock& lock_;
};

}  // namespace platform

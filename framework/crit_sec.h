#pragma once
// CCritSec: the one recursive lock type of a filter module. It is the
// platform's RecursiveLock itself (a Win32 critical section), so the filter
// and pin bases and the portable writer core, which locks with
// platform::RecursiveLock, can share one filter lock without an adapter. The
// owning thread may take it again (the filter's Run re-enters it through
// Pause); every Lock() needs its Unlock(). CAutoLock holds one for a scope.

#include "platform/recursive_lock.h"

using CCritSec = platform::RecursiveLock;

class CAutoLock {
 public:
  explicit CAutoLock(CCritSec* lock) : lock_(lock) { lock_->Lock(); }
  ~CAutoLock() { lock_->Unlock(); }
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

 private:
  CCritSec* lock_;
};

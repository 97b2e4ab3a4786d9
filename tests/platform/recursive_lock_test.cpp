#include "platform/recursive_lock.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

namespace {

TEST(RecursiveLock, TheOwnerReentersAndOthersWait) {
  platform::RecursiveLock lock;
  platform::ScopedLock outer(lock);
  {
    platform::ScopedLock inner(lock);  // same thread again
    bool other = true;
    std::thread([&] { other = lock.TryLock(); }).join();
    EXPECT_FALSE(other);
  }
  bool stillHeld = true;
  std::thread([&] { stillHeld = !lock.TryLock(); }).join();
  EXPECT_TRUE(stillHeld);  // one Unlock per Lock
}

TEST(RecursiveLock, ReleasedLockIsFreeForOthers) {
  platform::RecursiveLock lock;
  { platform::ScopedLock a(lock); platform::ScopedLock b(lock); }
  std::atomic<bool> got{false};
  std::thread([&] {
    if (lock.TryLock()) {
      got = true;
      lock.Unlock();
    }
  }).join();
  EXPECT_TRUE(got.load());
}

}  // namespace

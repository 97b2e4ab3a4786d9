#include "recursive_lock.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

#ifdef _WIN32

namespace {
static_assert(sizeof(CRITICAL_SECTION) == sizeof(unsigned char[sizeof(void*) == 8 ? 40 : 24]),
              "RecursiveLock's storage must match CRITICAL_SECTION");
static_assert(alignof(CRITICAL_SECTION) <= alignof(void*),
              "RecursiveLock's storage is aligned for a pointer only");
CRITICAL_SECTION* Section(unsigned char* storage) { return reinterpret_cast<CRITICAL_SECTION*>(storage); }
}  // namespace

RecursiveLock::RecursiveLock() { ::InitializeCriticalSection(Section(section_)); }
RecursiveLock::~RecursiveLock() { ::DeleteCriticalSection(Section(section_)); }
void RecursiveLock::Lock() { ::EnterCriticalSection(Section(section_)); }
void RecursiveLock::Unlock() { ::LeaveCriticalSection(Section(section_)); }
bool RecursiveLock::TryLock() { return ::TryEnterCriticalSection(Section(section_)) != FALSE; }

#else

RecursiveLock::RecursiveLock() = default;
RecursiveLock::~RecursiveLock() = default;
void RecursiveLock::Lock() { mutex_.lock(); }
void RecursiveLock::Unlock() { mutex_.unlock(); }
bool RecursiveLock::TryLock() { return mutex_.try_lock(); }

#endif

}  // namespace platform

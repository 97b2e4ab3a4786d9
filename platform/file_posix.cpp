#include "file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
std::uint32_t FromErrno(int e) {
  switch (e) {
    case 0: return 0;
    case ENOENT: case ENOTDIR: return kErrorFileNotFound;
    case EACCES: case EPERM: case EROFS: case EISDIR: return kErrorAccessDenied;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EEXIST: return kErrorFileExists;
    case EINVAL: return kErrorInvalidParameter;
    case ENOSPC: case EDQUOT: case EFBIG: return kErrorDiskFull;
    case ENAMETOOLONG: return kErrorInvalidName;
    case EBUSY: case ETXTBSY: return kErrorSharingViolation;
    default: return kErrorGenFailure;
  }
}
// The Win32 code a POSIX failure left, kept per thread like GetLastError.
thread_local std::uint32_t t_lastError = 0;
void Fail() { t_lastError = FromErrno(errno); }

int OpenExisting(const char* name) {
  int fd = ::open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) { Fail(); return -1; }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    // Windows refuses to open a folder as a file; do the same.
    ::close(fd);
    t_lastError = kErrorAccessDenied;
    return -1;
  }
  return fd;
}
}  // namespace

std::uint32_t LastSystemError() { return t_lastError; }
void SetLastSystemError(std::uint32_t error) { t_lastError = error; }

File File::OpenExclusiveRead(const NativeChar* name) { return File(OpenExisting(name)); }
File File::OpenSharedRead(const char* name) { return File(OpenExisting(name)); }

File File::CreateForWrite(const char* name, Create mode) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == Create::kNew ? O_EXCL : O_TRUNC);
  int fd = ::open(name, flags, 0644);
  if (fd < 0) Fail();
  return File(fd);
}

bool File::IsOpen() const { return handle_ >= 0; }

bool File::Read(void* dst, std::uint32_t want, std::uint32_t* got) {
  *got = 0;
  if (handle_ < 0) { t_lastError = kErrorInvalidParameter; return false; }
  auto* p = static_cast<std::uint8_t*>(dst);
  while (*got < want) {
    ssize_t n = ::read(handle_, p + *got, want - *got);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail();
      return false;
    }
    if (n == 0) break;
    *got += static_cast<std::uint32_t>(n);
  }
  return true;
}

bool File::Rewind() {
  if (::lseek(handle_, 0, SEEK_SET) != 0) { Fail(); return false; }
  return true;
}

bool File::WriteOnce(const void* src, std::uint32_t size, std::uint32_t* written) {
  *written = 0;
  for (;;) {
    ssize_t n = ::write(handle_, src, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail();
      return false;
    }
    *written = static_cast<std::uint32_t>(n);
    return true;
  }
}

std::int64_t File::Size() const {
  struct stat st {};
  if (handle_ < 0 || ::fstat(handle_, &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

void File::Close() {
  if (handle_ >= 0) {
    ::close(handle_);
    handle_ = InvalidHandle();
  }
}

bool FileExists(const NativeChar* name) {
  struct stat st {};
  return ::stat(name, &st) == 0;
}

bool IsSameFile(const NativeChar* a, const NativeChar* b) {
  struct stat sa {}, sb {};
  return ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool RemoveFile(const NativeChar* name) {
  if (::unlink(name) == 0) return true;
  Fail();
  return false;
}

}  // namespace platform

#include "file.h"

#include <windows.h>

namespace platform {

std::uint32_t LastSystemError() { return ::GetLastError(); }
void SetLastSystemError(std::uint32_t error) { ::SetLastError(error); }

File File::OpenExclusiveRead(const NativeChar* name) {
  return File(::CreateFileW(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

File File::OpenSharedRead(const char* name) {
  return File(::CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
}

File File::CreateForWrite(const char* name, Create mode) {
  DWORD disposition = mode == Create::kNew ? CREATE_NEW : CREATE_ALWAYS;
  return File(::CreateFileA(name, GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr));
}

bool File::IsOpen() const { return handle_ != InvalidHandle() && handle_ != nullptr; }

bool File::Read(void* dst, std::uint32_t want, std::uint32_t* got) {
  DWORD n = 0;
  BOOL ok = ::ReadFile(handle_, dst, want, &n, nullptr);
  *got = n;
  return ok != FALSE;
}

bool File::Rewind() {
  return ::SetFilePointer(handle_, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool File::WriteOnce(const void* src, std::uint32_t size, std::uint32_t* written) {
  DWORD n = 0;
  BOOL ok = ::WriteFile(handle_, src, size, &n, nullptr);
  *written = n;
  return ok != FALSE;
}

std::int64_t File::Size() const {
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(handle_, &size)) return -1;
  return static_cast<std::int64_t>(size.QuadPart);
}

void File::Close() {
  if (IsOpen()) ::CloseHandle(handle_);
  handle_ = InvalidHandle();
}

}  // namespace platform

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

bool FileExists(const NativeChar* name) {
  return ::GetFileAttributesW(name) != INVALID_FILE_ATTRIBUTES;
}

namespace {
// The volume and index that identify a file, from a handle that asks for no
// access (so it opens whatever others hold); folders open too.
bool FileIdentity(const NativeChar* name, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE h = ::CreateFileW(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = ::GetFileInformationByHandle(h, info) != FALSE;
  ::CloseHandle(h);
  return ok;
}
}  // namespace

bool IsSameFile(const NativeChar* a, const NativeChar* b) {
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  return FileIdentity(a, &ia) && FileIdentity(b, &ib) &&
         ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool RemoveFile(const NativeChar* name) { return ::DeleteFileW(name) != FALSE; }

}  // namespace platform

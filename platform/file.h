#pragma once
// The file seam: the only place that opens, reads, writes and closes files.
//
// Errors are reported in Win32 numbering on every platform (the writer turns
// them into HRESULTs), so the POSIX side maps errno onto the few codes that
// the callers tell apart.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

#ifdef _WIN32
using NativeChar = wchar_t;  // Windows programs take and open wide names
#else
using NativeChar = char;     // POSIX names are the bytes given
#endif
using NativeString = std::basic_string<NativeChar>;

// Win32 error codes the callers distinguish.
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t kErrorWriteFault = 29;
inline constexpr std::uint32_t kErrorReadFault = 30;
inline constexpr std::uint32_t kErrorSharingViolation = 32;
inline constexpr std::uint32_t kErrorFileExists = 80;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorInvalidName = 123;
inline constexpr std::uint32_t kErrorGenFailure = 31;

// The calling thread's last system error, in Win32 numbering
// (GetLastError on Windows, errno mapped on POSIX).
std::uint32_t LastSystemError();
void SetLastSystemError(std::uint32_t error);

// Something that bytes can be read from in order. The ASF readers take this,
// so tests and fuzz targets can feed them memory instead of a file.
class ByteReader {
 public:
  virtual ~ByteReader() = default;
  // Reads up to `want` bytes into dst; *got receives the count read.
  // False on a read error (then *got may be less than want, and the last
  // system error says why). A short count with true means end of data.
  virtual bool Read(void* dst, std::uint32_t want, std::uint32_t* got) = 0;
};

// One open file. Move-only; closes itself when destroyed.
class File final : public ByteReader {
 public:
  enum class Create { kNew, kAlways };  // fail on an existing file / replace it

  File() = default;
  ~File() override;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Read-only open of an existing file, other openers refused where the
  // platform can say so (the inspection tool's open).
  static File OpenExclusiveRead(const NativeChar* name);
  // Read-only open of an existing file that others may also read (the
  // writer's input-file open). The name is in the local narrow code page.
  static File OpenSharedRead(const char* name);
  // Write-only, unshared creation (the writer's output file). The name is in
  // the local narrow code page.
  static File CreateForWrite(const char* name, Create mode);

  bool IsOpen() const;
  bool Read(void* dst, std::uint32_t want, std::uint32_t* got) override;
  // Moves to byte 0. False on failure.
  bool Rewind();
  // One synchronous write call: *written receives the count the system
  // reports. False on failure (the last system error says why).
  bool WriteOnce(const void* src, std::uint32_t size, std::uint32_t* written);
  // Keeps calling WriteOnce until all of src is written or a call fails; a
  // call that reports success but writes nothing is a failure
  // (kErrorWriteFault). False on failure. With write buffering on, src is
  // collected instead and a full block is written on the way; a failure is
  // then that block's.
  bool WriteAll(const void* src, std::uint32_t size);

  // Write buffering, for writers that make many small writes: WriteAll
  // collects up to `capacity` bytes and writes them as one block (0: every
  // WriteAll writes at once, the default). The first failed block write
  // ends all writing: what was collected behind it is dropped, so nothing
  // after the failure reaches the file, and every later WriteAll and Flush
  // fails with the same error. Close (and the destructor) drop what is still
  // collected: Flush first.
  void BufferWrites(std::uint32_t capacity);
  // Writes what is collected. False on failure (see above).
  bool Flush();
  // Bytes the system has taken, and bytes taken by WriteAll (the file's
  // length once every collected byte is written).
  std::uint64_t Committed() const { return committed_; }
  std::uint64_t Accepted() const { return committed_ + buffer_.size(); }
  // Size in bytes, or -1 when it cannot be told.
  std::int64_t Size() const;
  void Close();

 private:
#ifdef _WIN32
  using Handle = void*;
  static Handle InvalidHandle() { return reinterpret_cast<Handle>(static_cast<std::intptr_t>(-1)); }
#else
  using Handle = int;
  static Handle InvalidHandle() { return -1; }
#endif
  explicit File(Handle h) : handle_(h) {}
  bool WriteThrough(const void* src, std::uint32_t size);
  Handle handle_ = InvalidHandle();
  std::vector<std::uint8_t> buffer_;
  std::uint32_t bufferCapacity_ = 0;
  std::uint64_t committed_ = 0;
  std::uint32_t writeFailure_ = 0;  // the first failed block write's error
};

// Operations on a file by its name, for callers that check or tidy up around
// the opens above. False when the system says no (the last system error then
// says why, except for FileExists and IsSameFile, which only answer).
// Whether something exists under `name` (links followed).
bool FileExists(const NativeChar* name);
// Whether both names lead to one existing file (links followed).
bool IsSameFile(const NativeChar* a, const NativeChar* b);
bool RemoveFile(const NativeChar* name);

// Reads from a byte span in memory (tests, fuzz targets, in-memory callers).
class MemoryReader final : public ByteReader {
 public:
  MemoryReader(const void* data, std::size_t size)
      : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
  bool Read(void* dst, std::uint32_t want, std::uint32_t* got) override;
  std::size_t Offset() const { return offset_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

}  // namespace platform

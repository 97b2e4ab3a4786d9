#pragma once
// The writer core: everything the elementary-stream writer does that needs no
// media framework. It owns the output file, writes every delivered frame
// behind the frame start code with the captured header block ahead of every I
// picture, captures that block from an ASF header (CaptureStreamHeadersFrom,
// over any open reader: the file the user names through the chooser, or the
// converter's input), and turns failed writes into result codes (stopping the
// filter on a full disk). Result codes are platform/hresult.h's.
//
// Locks (all recursive):
//   filter lock  - the filter's state lock; held by Stop/Pause/Run around
//                  their opens and closes. The core takes it itself in
//                  OpenOutputFile, CloseOutputFile and around the output name.
//   receive lock - taken by the input pin around each delivered frame and end
//                  of stream. The core only hands it out.
//   stream lock  - private, innermost: the output handle, the header block and
//                  what goes with it. Held for one frame's two or three writes,
//                  by a close, and by a capture publishing a new block; never
//                  held while calling out (dialogs, the stop request) or while
//                  taking another lock.
// Order: receive lock, then filter lock, then stream lock, as on the disk-full
// path (the pin holds the receive lock, the stop takes the filter lock and
// closes). Nothing takes them the other way round, so a close or a new header
// block waits for the frame being written and never cuts into it.
// Captures from all writers in the process take one more lock, the engine's
// vc1::HeaderEngineLock, around the probe, the walk and the report, because
// the engine's field store and frame-rate hint are process-wide; it is held
// alone, with no other lock of the core taken inside it.

#include <cstdint>
#include <atomic>
#include <deque>
#include <string>

#include "platform/file.h"
#include "platform/hresult.h"
#include "platform/recursive_lock.h"
#include "platform/ui.h"

namespace dravik {

using HResult = platform::HResult;

inline constexpr std::uint32_t HEADER_BUFFER_SIZE = 1024;
// Written in front of every frame's payload.
inline constexpr std::uint8_t FRAME_START_CODE[4] = {0x00, 0x00, 0x01, 0x0D};
// Longest output name, in characters without the terminator; also the size of
// the narrow path buffers (terminator included).
inline constexpr std::uint32_t kMaxNameLength = 260;
// Result of a write that failed because the disk is full.
inline constexpr HResult kDiskFullResult = platform::HResultFromWin32(platform::kErrorDiskFull);
// Bare Win32 numbers that two validation paths return unconverted.
inline constexpr HResult kBareInvalidName = 123;      // no usable output name
inline constexpr HResult kBareFilenameTooLong = 206;  // name over 260 characters

inline constexpr const char* kOverwriteText = "Output File already exists - overwrite it?";
inline constexpr const char* kOverwriteCaption = "File Already Exists";
inline constexpr const char* kDiskFullCaption = "Dravik Filter failure";
inline constexpr const char* kDiskFullText =
    "The disk containing output file has run out of space, so Dravik filter has been stopped."
    "\r\n\r\nYou must set a new Dravik file name or restart the graph to clear this filter error.";
inline constexpr const char* kInputChooserTitle =
    "Enter or re-enter => INPUT <= filename, the SAME file you use[d] for WM ASF Reader.";
inline constexpr platform::FileTypeFilter kInputChooserFilters[2] = {
    {"ASF or WMV Files (*.asf)", "*.wmv"},  // the pattern really is *.wmv
    {"ALL Files (*.*)", "*.*"},
};

class Vc1WriterCore {
 public:
  // Asks the owning filter to stop (its own Stop: closes the output file under
  // the filter lock). Called on the streaming thread when the disk is full.
  using StopRequest = void (*)(void* context);

  // `stop` may be null: the core then closes its output file itself.
  Vc1WriterCore(platform::UserInterface& ui, StopRequest stop, void* stopContext);
  ~Vc1WriterCore();
  Vc1WriterCore(const Vc1WriterCore&) = delete;
  Vc1WriterCore& operator=(const Vc1WriterCore&) = delete;

  // The name part of IFileSinkFilter::SetFileName: E_POINTER for none, the
  // bare 206 for more than 260 characters (nothing changes then), otherwise
  // stores a copy with a trailing lower-case ".asf" cut off (names longer
  // than four characters only) and returns S_OK.
  HResult SetOutputFileName(const wchar_t* name);
  // The whole of SetFileName: the name as above, then clears the write-error
  // flag, opens the output file and captures the stream headers (the capture
  // runs either way). The open's result when it is not S_OK (the bare 123, a
  // failure, a declined overwrite); else S_FALSE when the capture found no
  // codec data, S_OK when it did.
  HResult SetFileName(const wchar_t* name);
  // False when no name is stored.
  bool GetOutputFileName(std::wstring* name) const;

  // 0 when a file is open (already, or now); the bare 123 for no usable name;
  // otherwise the failure (a declined overwrite included). May ask whether to
  // overwrite an existing file.
  HResult OpenOutputFile();
  // Always 0.
  HResult CloseOutputFile();
  bool IsOutputFileOpen() const;

  // One delivered frame: the header block if the frame starts an I picture,
  // then FRAME_START_CODE, then the payload. S_FALSE when no output file is
  // open (nothing written); S_OK; or ReportWriteFailure's result.
  HResult WriteFrame(const std::uint8_t* data, std::uint32_t length);
  // Turns the calling thread's last system error, left by a failed write, into
  // the frame's result; on a full disk stops the filter and warns the user.
  HResult ReportWriteFailure();

  // The capture as SetFileName runs it: asks for the input file through the
  // chooser, opens it (read access, read sharing) and hands it to
  // CaptureStreamHeadersFrom. A cancelled chooser or a file that does not
  // open changes nothing. True when codec data is available (from this
  // capture, or, when no file was opened, from an earlier one).
  bool CaptureStreamHeaders();
  // The one capture entry point, over an input that is already open and
  // positioned at the start of an ASF file (a file, or the converter's copy
  // of a header in memory). Probes the ASF Header Object for the first video
  // stream's codec data and time per frame, rewrites its sequence and
  // entry-point headers with the frame rate injected, and publishes the
  // result: codec data, header block, time per frame and INTERLACE, replaced
  // together under the stream lock (also when nothing usable was found), so a
  // frame being written never sees half of it. Reads `input` and leaves it
  // open. True when codec data was found; the header block may still be
  // empty (codec data without both start codes).
  bool CaptureStreamHeadersFrom(platform::ByteReader& input);
  // The open-file chooser; `buffer` (capacity bytes) gets the chosen path.
  bool AskForInputFile(char* buffer, std::uint32_t capacity);

  // Output buffering, for a writer that wants few large writes (the
  // converter; the filter writes each frame as it comes): frames are
  // collected in blocks of `capacity` bytes from the next open on. A frame's
  // S_OK then means it was taken, not that it is on disk; a failed block
  // write is reported by the WriteFrame or FlushOutput call that made it,
  // and UnwrittenFrames() tells how many of the frames taken before did not
  // reach the disk whole. 0 (the default) writes every frame at once.
  void BufferOutput(std::uint32_t capacity);
  // Writes every frame taken: S_OK when they are all on disk; S_FALSE when
  // no output file is open; otherwise the failure, as WriteFrame reports it.
  HResult FlushOutput();
  // After a failed WriteFrame or FlushOutput: how many frames that WriteFrame
  // had answered S_OK are not whole on disk (0 without buffering).
  std::uint64_t UnwrittenFrames() const { return unwrittenFrames_; }

  bool WriteError() const { return writeError_.load(); }
  void SetWriteError() { writeError_.store(true); }
  void ClearWriteError() { writeError_.store(false); }

  platform::RecursiveLock& FilterLock() { return filterLock_; }
  platform::RecursiveLock& ReceiveLock() { return receiveLock_; }

  // What the last capture that opened a file left. Read them while no
  // capture runs (tests, diagnostics).
  const std::uint8_t* HeaderBlock() const { return headerBlock_; }
  std::uint32_t HeaderBlockLength() const { return headerBlockLength_; }
  const std::uint8_t* CodecData() const { return codecData_; }
  std::uint32_t CodecDataLength() const { return codecDataLength_; }
  std::uint32_t TimePerFrame() const { return timePerFrame_; }
  bool CapturedInterlace() const { return interlace_; }

  // Whether a frame whose payload starts with `firstByte` is an I picture (or
  // an I/I or I/P field pair) for a stream with the given INTERLACE flag.
  static bool StartsIntraPicture(std::uint8_t firstByte, bool interlace);

 private:
  // Under the stream lock, after a failed write.
  void CountUnwrittenFrames();

  platform::UserInterface& ui_;
  StopRequest stop_;
  void* stopContext_;

  mutable platform::RecursiveLock filterLock_;
  platform::RecursiveLock receiveLock_;
  mutable platform::RecursiveLock streamLock_;

  // Written under both the filter lock and the stream lock; read under either.
  platform::File outputFile_;
  // Guarded by the stream lock: where each frame taken but perhaps not yet
  // on disk ends in the file, in order; and the count a failure left.
  std::deque<std::uint64_t> frameEnds_;
  std::uint64_t unwrittenFrames_ = 0;
  // Guarded by the filter lock.
  std::uint32_t outputBuffer_ = 0;
  // Guarded by the filter lock.
  std::wstring outputFileName_;
  bool hasOutputFileName_ = false;
  std::atomic<bool> writeError_{false};

  // Guarded by the stream lock; replaced together by a capture.
  std::uint32_t codecDataLength_ = 0;
  std::uint8_t codecData_[HEADER_BUFFER_SIZE] = {};
  std::uint32_t headerBlockLength_ = 0;
  std::uint8_t headerBlock_[HEADER_BUFFER_SIZE] = {};
  std::uint32_t timePerFrame_ = 0;
  // INTERLACE of the captured sequence header: the picture-type test depends
  // on it, and the engine's store may describe another walk by the next frame.
  bool interlace_ = false;
};

}  // namespace dravik

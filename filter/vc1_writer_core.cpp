#include "filter/vc1_writer_core.h"

#include <cstring>
#include <mutex>
#include <new>

#include "asf/asf_header_probe.h"
#include "engine/VC1Parse.h"
#include "platform/text.h"

namespace dravik {

Vc1WriterCore::Vc1WriterCore(platform::UserInterface& ui, StopRequest stop, void* stopContext)
    : ui_(ui), stop_(stop), stopContext_(stopContext) {}

Vc1WriterCore::~Vc1WriterCore() { CloseOutputFile(); }

HResult Vc1WriterCore::SetOutputFileName(const wchar_t* name) {
  if (name == nullptr) return platform::kInvalidPointer;
  std::size_t length = std::char_traits<wchar_t>::length(name);
  if (length > kMaxNameLength) return kBareFilenameTooLong;
  platform::ScopedLock lock(filterLock_);
  try {
    outputFileName_.assign(name, length);
  } catch (const std::bad_alloc&) {
    outputFileName_.clear();
    hasOutputFileName_ = false;
    return platform::kOutOfMemory;
  }
  hasOutputFileName_ = true;
  // Only lower case, and never the whole name: ".asf" itself and "x.ASF" stay.
  static constexpr wchar_t kAsf[] = L".asf";
  if (length > 4 && outputFileName_.compare(length - 4, 4, kAsf) == 0)
    outputFileName_.resize(length - 4);
  return platform::kOk;
}

HResult Vc1WriterCore::SetFileName(const wchar_t* name) {
  HResult hr = SetOutputFileName(name);
  if (hr != platform::kOk) return hr;
  ClearWriteError();
  HResult opened = OpenOutputFile();
  const bool captured = CaptureStreamHeaders();
  // A failed open is the answer, as it is: the caller has no output file.
  // S_FALSE only ever means "output open, no headers captured".
  if (opened != platform::kOk) return opened;
  return captured ? platform::kOk : platform::kFalse;
}

bool Vc1WriterCore::GetOutputFileName(std::wstring* name) const {
  platform::ScopedLock lock(filterLock_);
  if (!hasOutputFileName_) return false;
  *name = outputFileName_;
  return true;
}

HResult Vc1WriterCore::OpenOutputFile() {
  // The filter lock keeps two opens (SetFileName's and Pause's) from racing,
  // and a close from slipping between the test and the creation.
  platform::ScopedLock lock(filterLock_);
  // A name set while a file is open takes effect at the next open.
  if (outputFile_.IsOpen()) return platform::kOk;
  if (!hasOutputFileName_) return kBareInvalidName;
  char narrow[kMaxNameLength];
  if (!platform::WideToNarrow(outputFileName_.c_str(), narrow, kMaxNameLength))
    return kBareInvalidName;

  platform::File file = platform::File::CreateForWrite(narrow, platform::File::Create::kNew);
  if (!file.IsOpen()) {
    std::uint32_t error = platform::LastSystemError();
    if (error != platform::kErrorFileExists) return platform::FailureFromWin32(error);
    if (ui_.AskOkCancel(kOverwriteText, kOverwriteCaption))
      file = platform::File::CreateForWrite(narrow, platform::File::Create::kAlways);
    // Declined or failed again: the error the system has now (the "exists"
    // of the first attempt after a Cancel), never a success.
    if (!file.IsOpen()) return platform::FailureFromWin32(platform::LastSystemError());
  }
  if (outputBuffer_ != 0) file.BufferWrites(outputBuffer_);
  platform::ScopedLock stream(streamLock_);
  outputFile_ = std::move(file);
  frameEnds_.clear();
  unwrittenFrames_ = 0;
  return platform::kOk;
}

HResult Vc1WriterCore::CloseOutputFile() {
  platform::ScopedLock lock(filterLock_);
  // Waits for the frame being written, if any.
  platform::ScopedLock stream(streamLock_);
  // Best effort: a writer that must know whether its last frames arrived
  // calls FlushOutput first.
  outputFile_.Flush();
  outputFile_.Close();
  return platform::kOk;
}

void Vc1WriterCore::BufferOutput(std::uint32_t capacity) {
  platform::ScopedLock lock(filterLock_);
  outputBuffer_ = capacity;
}

HResult Vc1WriterCore::FlushOutput() {
  std::uint32_t error;
  {
    platform::ScopedLock stream(streamLock_);
    if (!outputFile_.IsOpen()) return platform::kFalse;
    if (outputFile_.Flush()) {
      frameEnds_.clear();
      return platform::kOk;
    }
    error = platform::LastSystemError();
    CountUnwrittenFrames();
  }
  platform::SetLastSystemError(error);
  return ReportWriteFailure();
}

void Vc1WriterCore::CountUnwrittenFrames() {
  // Frames are written in order, so those not whole on disk are the last ones.
  const std::uint64_t onDisk = outputFile_.Committed();
  std::uint64_t unwritten = 0;
  for (auto end = frameEnds_.rbegin(); end != frameEnds_.rend() && *end > onDisk; ++end)
    ++unwritten;
  unwrittenFrames_ = unwritten;
  frameEnds_.clear();
}

bool Vc1WriterCore::IsOutputFileOpen() const {
  platform::ScopedLock stream(streamLock_);
  return outputFile_.IsOpen();
}

bool Vc1WriterCore::StartsIntraPicture(std::uint8_t firstByte, bool interlace) {
  if (!interlace) return (firstByte & 0xE0) == 0xC0;  // PTYPE 110
  // Interlaced streams put FCM first: 0 progressive, 10 frame-interlaced (both
  // followed by PTYPE, 110 for I), 11 field-interlaced (followed by FPTYPE,
  // 000 for I/I and 001 for I/P: the pair starts with an I field).
  if ((firstByte & 0x80) == 0) return (firstByte & 0x70) == 0x60;  // 0 110
  if ((firstByte & 0x40) == 0) return (firstByte & 0x38) == 0x30;  // 10 110
  return (firstByte & 0x30) == 0x00;                               // 11 00x
}

HResult Vc1WriterCore::WriteFrame(const std::uint8_t* data, std::uint32_t length) {
  std::uint32_t error;
  {
    platform::ScopedLock stream(streamLock_);
    if (!outputFile_.IsOpen()) return platform::kFalse;
    if (data == nullptr && length != 0) return platform::kInvalidPointer;
    // An empty sample is the start code alone: its buffer holds no picture,
    // whatever byte happens to be there.
    bool intra = length != 0 && StartsIntraPicture(data[0], interlace_);
    if ((!intra || headerBlockLength_ == 0 ||
         outputFile_.WriteAll(headerBlock_, headerBlockLength_)) &&
        outputFile_.WriteAll(FRAME_START_CODE, sizeof FRAME_START_CODE) &&
        (length == 0 || outputFile_.WriteAll(data, length))) {
      while (!frameEnds_.empty() && frameEnds_.front() <= outputFile_.Committed())
        frameEnds_.pop_front();
      frameEnds_.push_back(outputFile_.Accepted());
      return platform::kOk;
    }
    error = platform::LastSystemError();
    CountUnwrittenFrames();
  }
  // The failure path may stop the filter, which takes the filter lock: the
  // stream lock must be free by then, or the order would be stream, filter.
  platform::SetLastSystemError(error);
  return ReportWriteFailure();
}

HResult Vc1WriterCore::ReportWriteFailure() {
  std::uint32_t error = platform::LastSystemError();
  if (error != platform::kErrorDiskFull) return platform::FailureFromWin32(error);
  // The flag goes up before the stop is requested: a Pause that takes the
  // filter lock between the stop and this warning finds it raised and cannot
  // reopen the full file.
  SetWriteError();
  if (stop_ != nullptr)
    stop_(stopContext_);
  else
    CloseOutputFile();
  ui_.ShowWarning(kDiskFullText, kDiskFullCaption);
  return kDiskFullResult;
}

bool Vc1WriterCore::AskForInputFile(char* buffer, std::uint32_t capacity) {
  if (buffer == nullptr || capacity == 0) return false;
  std::memset(buffer, 0, capacity);
  if (!ui_.ChooseFileToOpen(kInputChooserTitle, kInputChooserFilters, 2, true, buffer, capacity))
    return false;
  buffer[capacity - 1] = '\0';
  return true;
}

bool Vc1WriterCore::CaptureStreamHeaders() {
  // A cancelled chooser or an unreadable file keeps the earlier block in
  // force (bytes, lengths and time per frame), so what goes ahead of I
  // pictures is always a block that a capture built.
  char path[kMaxNameLength];
  platform::File input;
  if (AskForInputFile(path, kMaxNameLength)) input = platform::File::OpenSharedRead(path);
  if (!input.IsOpen()) {
    platform::ScopedLock stream(streamLock_);
    return codecDataLength_ != 0;
  }
  return CaptureStreamHeadersFrom(input);
}

bool Vc1WriterCore::CaptureStreamHeadersFrom(platform::ByteReader& input) {
  // The capture works in buffers of its own, cleared first, and replaces the
  // writer's block only at the end; it never holds up the frames being
  // written while it reads the input.
  std::uint8_t codecData[HEADER_BUFFER_SIZE] = {};
  std::uint8_t headerBlock[HEADER_BUFFER_SIZE] = {};
  std::uint32_t timePerFrame = 0;
  std::uint32_t codecDataLength;
  std::uint32_t headerBlockLength;
  bool interlace = false;
  {
    std::lock_guard<std::recursive_mutex> engine(vc1::HeaderEngineLock());
    asf::AsfHeaderProbe probe(input);
    codecDataLength = probe.FindVideoCodecData(codecData, HEADER_BUFFER_SIZE, &timePerFrame);
    if (codecDataLength > HEADER_BUFFER_SIZE) codecDataLength = 0;
    vc1::SetFrameTiming(timePerFrame);
    headerBlockLength =
        vc1::WalkHeaders(codecData, codecDataLength, headerBlock, HEADER_BUFFER_SIZE, true);
    if (headerBlockLength > HEADER_BUFFER_SIZE) headerBlockLength = 0;
    if (headerBlockLength > 0) {
      interlace = vc1::StoredValue(vc1::ID_INTERLACE) == 1;
      vc1::PrintHeaderReport(vc1::DiscardingReportSink());
    }
  }

  platform::ScopedLock stream(streamLock_);
  std::memcpy(codecData_, codecData, sizeof codecData_);
  codecDataLength_ = codecDataLength;
  std::memcpy(headerBlock_, headerBlock, sizeof headerBlock_);
  headerBlockLength_ = headerBlockLength;
  timePerFrame_ = timePerFrame;
  interlace_ = interlace;
  return codecDataLength != 0;
}

}  // namespace dravik

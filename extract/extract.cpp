#include "extract/extract.h"

#include <chrono>
#include <cstring>
#include <optional>
#include <string>

#include "asf/asf_data_reader.h"
#include "asf/asf_layout.h"
#include "filter/vc1_writer_core.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace extract {

namespace {

constexpr const char* kProgram = "dravik-extract";

constexpr const char* kUsage =
    "Usage: dravik-extract [--force] [--stream N] INPUT OUTPUT\n"
    "\n"
    "Writes the WVC1 video stream of the ASF/WMV file INPUT to OUTPUT as a VC-1\n"
    "Advanced Profile elementary stream, byte for byte as the Dravik filter writes\n"
    "it for the same frames: the sequence and entry-point headers from INPUT's\n"
    "ASF header (with a display extension giving the frame rate when they have\n"
    "none) ahead of every I picture, and every frame behind the frame start code\n"
    "00 00 01 0D.\n"
    "\n"
    "Options:\n"
    "  --force, -f   overwrite OUTPUT when it exists; without it an existing\n"
    "                OUTPUT is refused and left alone\n"
    "  --stream N    take ASF stream number N (1 to 127). Only needed when INPUT\n"
    "                has several video streams; by default the first WVC1 stream\n"
    "                is taken. Dravik reads the headers of a file's first video\n"
    "                stream; for another one they are taken from that stream's\n"
    "                own properties, as Dravik would for a file holding it alone\n"
    "  --help, -h    show this text\n"
    "  --version     show the version\n"
    "  --            end of options (for names that start with '-')\n"
    "\n"
    "As with Dravik, a trailing \".asf\" is cut from OUTPUT's name, and both names\n"
    "are limited to 259 characters.\n"
    "\n"
    "Nothing is ever asked. Errors and warnings go to standard error. On a\n"
    "terminal a progress line is shown there while a long file is written.\n"
    "\n"
    "Exit status: 0 when every frame was written; 1 when INPUT or OUTPUT failed\n"
    "(frames written before a fault in INPUT stay in OUTPUT); 2 for a bad\n"
    "command line.\n";

// Answers the writer core's questions from the command line: the overwrite
// question is answered OK only with --force, and warnings are printed. The
// converter hands the core its input itself, so the chooser is never shown.
class CommandLineAnswers final : public platform::UserInterface {
 public:
  CommandLineAnswers(bool force, std::FILE* err) : force_(force), err_(err) {}

  bool AskOkCancel(const char*, const char*) override { return force_; }

  void ShowWarning(const char* text, const char* caption) override {
    std::string t(text);
    for (std::size_t at; (at = t.find("\r\n")) != std::string::npos;) t.replace(at, 2, "\n");
    std::fprintf(err_, "%s: warning: %s: %s\n", kProgram, caption, t.c_str());
  }

  bool ChooseFileToOpen(const char*, const platform::FileTypeFilter*, std::uint32_t, bool, char*,
                        std::uint32_t) override {
    return false;
  }

 private:
  bool force_;
  std::FILE* err_;
};

constexpr const char* kUnconvertibleName = "(a name with characters outside the system code page)";

std::string Printable(const platform::NativeString& name) {
  return platform::PrintableName(name, kUnconvertibleName);
}

std::string Hex(dravik::HResult hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

constexpr dravik::HResult FromWin32(std::uint32_t error) { return platform::HResultFromWin32(error); }

// A failure code from the core, with a word on the usual ones.
std::string Describe(dravik::HResult hr) {
  switch (hr) {
    case FromWin32(platform::kErrorFileNotFound):
    case FromWin32(platform::kErrorPathNotFound):
      return "the folder or file does not exist (" + Hex(hr) + ")";
    case FromWin32(platform::kErrorAccessDenied): return "access denied (" + Hex(hr) + ")";
    case FromWin32(platform::kErrorSharingViolation): return "the file is in use (" + Hex(hr) + ")";
    case FromWin32(platform::kErrorFileExists): return "the file exists (" + Hex(hr) + ")";
    case FromWin32(platform::kErrorDiskFull): return "the disk is full (" + Hex(hr) + ")";
    case FromWin32(platform::kErrorWriteFault): return "write fault (" + Hex(hr) + ")";
    case dravik::kBareInvalidName: return "the name cannot be used";
    default: return "failure code " + Hex(hr);
  }
}

std::string StreamKind(const asf::AsfStreamInfo& s) {
  if (!s.isVideo) return s.isAudio ? "an audio stream" : "not a video stream";
  std::string fourcc;
  for (int i = 0; i < 4; ++i) {
    char c = static_cast<char>(s.compression >> (8 * i));
    fourcc += (c >= 32 && c < 127) ? c : '?';
  }
  return "a " + fourcc + " video stream";
}

// Whether the core's last capture took the codec data of stream `s`, which
// sits kCodecDataOffset bytes into its Stream Properties Object; the capture
// may leave out the first byte.
bool CapturedStream(const dravik::Vc1WriterCore& core, const std::vector<std::uint8_t>& header,
                    const asf::AsfStreamInfo& s) {
  const std::uint32_t captured = core.CodecDataLength();
  if (captured == 0 || (captured != s.codecDataSize && captured + 1 != s.codecDataSize)) return false;
  const std::uint64_t at = s.headerOffset + asf::kCodecDataOffset + (s.codecDataSize - captured);
  return at + captured <= header.size() &&
         std::memcmp(core.CodecData(), header.data() + at, captured) == 0;
}

// Each step returns kGoOn to let the next one run, else the exit status.
constexpr int kGoOn = -1;

class Extractor {
 public:
  Extractor(std::FILE* out, std::FILE* err, bool progress)
      : out_(out), err_(err), progress_(progress) {}

  int Run(const std::vector<platform::NativeString>& args) {
    int status = ParseArguments(args);
    if (status == kGoOn) status = OpenInput();
    if (status == kGoOn) status = ChooseStream();
    if (status == kGoOn) status = OpenWriter();
    if (status == kGoOn) status = CaptureHeaders();
    if (status == kGoOn) status = CopyFrames();
    return status;
  }

 private:
  int ParseArguments(const std::vector<platform::NativeString>& args);
  int ParseStreamNumber(const std::string& value);
  int OpenInput();
  int ChooseStream();
  int OpenWriter();
  int CaptureHeaders();
  int CopyFrames();
  void ShowProgress(std::uint64_t frames);

  int Error(const std::string& message) {
    std::fprintf(err_, "%s: %s\n", kProgram, message.c_str());
    return kExitFailed;
  }

  int Usage(const std::string& message) {
    std::fprintf(err_, "%s: %s\nTry '%s --help'.\n", kProgram, message.c_str(), kProgram);
    return kExitUsage;
  }

  // Without usable headers nothing is written, and the empty file the core
  // has just created goes again.
  int Abandon(const std::string& message) {
    core_->CloseOutputFile();
    platform::RemoveFile(effective_.c_str());
    return Error(message);
  }

  std::FILE* out_;
  std::FILE* err_;
  const bool progress_;

  // From the command line.
  bool force_ = false;
  int stream_ = 0;
  std::vector<platform::NativeString> names_;
  std::string inputShown_;
  std::string outputShown_;

  // The input, opened by its narrow name, and its frames.
  platform::File file_;
  std::int64_t inputSize_ = -1;
  std::optional<asf::AsfDataReader> reader_;
  const asf::AsfStreamInfo* chosen_ = nullptr;

  // The writer, which opens the output from a wide name; effective_ is the
  // name it writes to (a trailing ".asf" cut), in the native form.
  std::wstring output_;
  std::optional<CommandLineAnswers> answers_;
  std::optional<dravik::Vc1WriterCore> core_;
  platform::NativeString effective_;
  std::string effectiveShown_;

  // Progress line state.
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point shown_;
  bool progressShown_ = false;
};

int Extractor::ParseArguments(const std::vector<platform::NativeString>& args) {
  bool options = true;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const platform::NativeString& a = args[i];
    std::string arg = Printable(a);
    if (!options || a.size() <= 1 || a[0] != '-') {
      names_.push_back(a);
    } else if (arg == "--") {
      options = false;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, out_);
      return kExitOk;
    } else if (arg == "--version") {
      std::fprintf(out_, "%s %s\n", kProgram, VC1_VERSION);
      return kExitOk;
    } else if (arg == "--force" || arg == "-f") {
      force_ = true;
    } else if (arg == "--stream") {
      if (++i == args.size()) return Usage("--stream needs a stream number");
      if (int status = ParseStreamNumber(Printable(args[i])); status != kGoOn) return status;
    } else if (arg.compare(0, 9, "--stream=") == 0) {
      if (int status = ParseStreamNumber(arg.substr(9)); status != kGoOn) return status;
    } else {
      return Usage("unknown option '" + arg + "'");
    }
  }
  if (names_.size() != 2)
    return Usage(names_.size() < 2 ? "INPUT and OUTPUT are needed" : "too many names");
  inputShown_ = Printable(names_[0]);
  outputShown_ = Printable(names_[1]);
  return kGoOn;
}

int Extractor::ParseStreamNumber(const std::string& value) {
  char* end = nullptr;
  long n = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || n < 1 || n > 127)
    return Usage("--stream takes a stream number from 1 to 127, not '" + value + "'");
  stream_ = static_cast<int>(n);
  return kGoOn;
}

int Extractor::OpenInput() {
  // The input opens by its narrow name and the core opens the output from a
  // wide one; give each the name in the form it takes.
  std::string input;
#ifdef _WIN32
  if (!platform::WideToNarrow(names_[0], &input))
    return Error(inputShown_ + ": the name has no form in the system code page");
  output_ = names_[1];
#else
  input = names_[0];
  std::string check;
  if (!platform::NarrowToWide(names_[1], &output_) || !platform::WideToNarrow(output_, &check) ||
      check != names_[1])
    return Error(outputShown_ + ": the name is not valid UTF-8");
#endif
  if (input.size() >= dravik::kMaxNameLength)
    return Error(inputShown_ + ": the name is longer than " +
                 std::to_string(dravik::kMaxNameLength - 1) + " bytes");

  file_ = platform::File::OpenSharedRead(input.c_str());
  if (!file_.IsOpen())
    return Error(inputShown_ + ": cannot open: " +
                 Describe(platform::FailureFromWin32(platform::LastSystemError())));
  inputSize_ = file_.Size();
  reader_.emplace(file_);
  if (!reader_->Open()) return Error(inputShown_ + ": " + reader_->ErrorMessage());
  return kGoOn;
}

int Extractor::ChooseStream() {
  const asf::AsfFileInfo& info = reader_->Info();
  if (stream_ != 0) {
    chosen_ = info.Find(static_cast<std::uint8_t>(stream_));
    if (!chosen_) return Error(inputShown_ + ": there is no stream " + std::to_string(stream_));
    if (!chosen_->isVideo || chosen_->compression != asf::kFourCcWvc1)
      return Error(inputShown_ + ": stream " + std::to_string(stream_) + " is " +
                   StreamKind(*chosen_) + ", not WVC1");
  } else {
    std::string others;
    for (const auto& s : info.streams) {
      if (!s.isVideo || s.compression != asf::kFourCcWvc1) continue;
      if (!chosen_) chosen_ = &s;
      else others += " " + std::to_string(s.number);
    }
    if (!chosen_) return Error(inputShown_ + ": no WVC1 video stream");
    if (!others.empty())
      std::fprintf(err_, "%s: taking stream %u; other WVC1 streams:%s (see --stream)\n", kProgram,
                   chosen_->number, others.c_str());
  }
  reader_->SelectStream(chosen_->number);
  return kGoOn;
}

int Extractor::OpenWriter() {
  answers_.emplace(force_, err_);
  core_.emplace(*answers_, nullptr, nullptr);
  core_->BufferOutput(kOutputBlockSize);
  dravik::HResult hr = core_->SetOutputFileName(output_.c_str());
  if (hr == dravik::kBareFilenameTooLong)
    return Error(outputShown_ + ": the name is longer than " +
                 std::to_string(dravik::kMaxNameLength) + " characters");
  if (hr != platform::kOk) return Error(outputShown_ + ": " + Describe(hr));
  std::wstring effective;
  core_->GetOutputFileName(&effective);
  std::string effectiveNarrow;
  if (!platform::WideToNarrow(effective, &effectiveNarrow))
    return Error(outputShown_ + ": the name has no form in the system code page");
#ifdef _WIN32
  effective_ = effective;
#else
  effective_ = effectiveNarrow;
#endif
  effectiveShown_ = Printable(effective_);
  if (effective != output_)
    std::fprintf(err_, "%s: writing to %s (a trailing \".asf\" is dropped, as Dravik does)\n",
                 kProgram, effectiveShown_.c_str());
  if (platform::IsSameFile(names_[0].c_str(), effective_.c_str()))
    return Error(effectiveShown_ + ": is INPUT itself; nothing written");
  if (!force_ && platform::FileExists(effective_.c_str()))
    return Error(effectiveShown_ + ": already exists; use --force to overwrite it");

  // Dravik's own sequence: create the output, then capture the headers.
  hr = core_->OpenOutputFile();
  if (core_->IsOutputFileOpen()) return kGoOn;
  if (force_ || hr != FromWin32(platform::kErrorFileExists))
    return Error(effectiveShown_ + ": cannot create: " + Describe(hr));
  return Error(effectiveShown_ + ": already exists; use --force to overwrite it");
}

int Extractor::CaptureHeaders() {
  // The capture takes the first video stream it meets, from the Header Object
  // the reader has already read; for another stream it is shown that stream
  // alone.
  const std::vector<std::uint8_t>& header = reader_->HeaderBytes();
  platform::MemoryReader whole(header.data(), header.size());
  core_->CaptureStreamHeadersFrom(whole);
  if (!CapturedStream(*core_, header, *chosen_)) {
    const std::vector<std::uint8_t> alone = asf::HeaderForStreamAlone(header, *chosen_);
    platform::MemoryReader aloneReader(alone.data(), alone.size());
    core_->CaptureStreamHeadersFrom(aloneReader);
    if (core_->CodecDataLength() == 0 || !CapturedStream(*core_, header, *chosen_))
      return Abandon(inputShown_ + ": the header capture found no codec data for stream " +
                     std::to_string(chosen_->number) + " (it has " +
                     std::to_string(chosen_->codecDataSize) + " bytes of it); nothing written");
    std::fprintf(err_, "%s: stream %u is not the first video stream; its headers were taken "
                 "from its own Stream Properties\n", kProgram, chosen_->number);
  }
  if (core_->HeaderBlockLength() == 0)
    return Abandon(inputShown_ + ": stream " + std::to_string(chosen_->number) +
                   " has no sequence header and entry-point header in its codec data; nothing "
                   "written");
  return kGoOn;
}

int Extractor::CopyFrames() {
  start_ = shown_ = std::chrono::steady_clock::now();
  std::uint64_t frames = 0;
  asf::AsfFrame frame;
  asf::AsfDataReader::Status status;
  int result = kExitOk;
  // The frame a failed write hit: with the output in blocks, a frame taken
  // earlier than the one being handed over may be the first not on disk.
  auto writeFailed = [&](dravik::HResult hr) {
    if (progressShown_) std::fputc('\n', err_);
    progressShown_ = false;
    return Error(effectiveShown_ + ": writing frame " +
                 std::to_string(frames - core_->UnwrittenFrames()) + " failed: " +
                 (hr == platform::kFalse ? std::string("the file was closed") : Describe(hr)));
  };
  while ((status = reader_->Next(&frame)) == asf::AsfDataReader::Status::kFrame) {
    dravik::HResult hr = core_->WriteFrame(frame.data, frame.size);
    if (hr != platform::kOk) {
      result = writeFailed(hr);
      break;
    }
    ++frames;
    if (progress_ && (frames & 31) == 0) ShowProgress(frames);
  }
  // Nothing is reported as written before it is on disk.
  if (result == kExitOk) {
    dravik::HResult hr = core_->FlushOutput();
    if (hr != platform::kOk) result = writeFailed(hr);
  }
  if (progressShown_) std::fprintf(err_, "\r%50s\r", "");
  core_->CloseOutputFile();
  if (result != kExitOk) return result;
  if (status == asf::AsfDataReader::Status::kError)
    return Error(inputShown_ + ": " + reader_->ErrorMessage() + "; the " +
                 std::to_string(frames) + " frames before it are in " + effectiveShown_);
  if (frames == 0)
    return Error(inputShown_ + ": stream " + std::to_string(chosen_->number) + " has no frames; " +
                 effectiveShown_ + " is empty");
  if (progress_)
    std::fprintf(err_, "%s: %llu frames written to %s\n", kProgram,
                 static_cast<unsigned long long>(frames), effectiveShown_.c_str());
  return kExitOk;
}

// After the first second, at most five times a second.
void Extractor::ShowProgress(std::uint64_t frames) {
  const auto now = std::chrono::steady_clock::now();
  if (now - start_ < std::chrono::seconds(1) || now - shown_ < std::chrono::milliseconds(200))
    return;
  int percent = inputSize_ > 0 ? static_cast<int>(reader_->Position() * 100 /
                                                  static_cast<std::uint64_t>(inputSize_))
                               : 0;
  std::fprintf(err_, "\r%s: %3d%%, %llu frames", kProgram, percent,
               static_cast<unsigned long long>(frames));
  std::fflush(err_);
  shown_ = now;
  progressShown_ = true;
}

}  // namespace

int Run(const std::vector<platform::NativeString>& args, std::FILE* out, std::FILE* err,
        bool progress) {
  return Extractor(out, err, progress).Run(args);
}

}  // namespace extract

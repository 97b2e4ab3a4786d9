#include "extract/extract.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>

#include "asf/asf_data_reader.h"
#include "asf/asf_guid.h"
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

// Answers the writer core's questions from the command line: the input
// chooser names INPUT, and the overwrite question is answered OK only with
// --force. Warnings are printed.
class CommandLineAnswers final : public platform::UserInterface {
 public:
  CommandLineAnswers(std::string input, bool force, std::FILE* err)
      : input_(std::move(input)), force_(force), err_(err) {}

  void SetInput(std::string input) { input_ = std::move(input); }

  bool AskOkCancel(const char*, const char*) override { return force_; }

  void ShowWarning(const char* text, const char* caption) override {
    std::string t(text);
    for (std::size_t at; (at = t.find("\r\n")) != std::string::npos;) t.replace(at, 2, "\n");
    std::fprintf(err_, "%s: warning: %s: %s\n", kProgram, caption, t.c_str());
  }

  bool ChooseFileToOpen(const char*, const platform::FileTypeFilter*, std::uint32_t, bool,
                        char* path, std::uint32_t capacity) override {
    if (input_.size() >= capacity) return false;
    std::memcpy(path, input_.c_str(), input_.size() + 1);
    return true;
  }

 private:
  std::string input_;
  bool force_;
  std::FILE* err_;
};

#ifdef _WIN32
std::string Printable(const std::wstring& name) {
  std::vector<char> narrow(name.size() * 4 + 1);
  if (platform::WideToNarrow(name.c_str(), narrow.data(), static_cast<std::uint32_t>(narrow.size())))
    return narrow.data();
  return "(a name with characters outside the system code page)";
}
#else
std::string Printable(const std::string& name) { return name; }

// UTF-8 to wide characters, the inverse of the POSIX narrowing; false for
// bytes that are no UTF-8.
bool Utf8ToWide(const std::string& in, std::wstring* out) {
  out->clear();
  for (std::size_t i = 0; i < in.size();) {
    auto b = static_cast<unsigned char>(in[i]);
    std::uint32_t c;
    std::size_t n;
    if (b < 0x80) { c = b; n = 1; }
    else if ((b & 0xE0) == 0xC0) { c = b & 0x1Fu; n = 2; }
    else if ((b & 0xF0) == 0xE0) { c = b & 0x0Fu; n = 3; }
    else if ((b & 0xF8) == 0xF0) { c = b & 0x07u; n = 4; }
    else return false;
    if (in.size() - i < n) return false;
    for (std::size_t k = 1; k < n; ++k) {
      auto t = static_cast<unsigned char>(in[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      c = c << 6 | (t & 0x3Fu);
    }
    out->push_back(static_cast<wchar_t>(c));
    i += n;
  }
  return true;
}
#endif

// The narrow form of a wide name (what the core's narrow calls open), or
// false when it has none.
bool Narrow(const std::wstring& wide, std::string* narrow) {
  std::vector<char> buffer(wide.size() * 4 + 1);
  if (!platform::WideToNarrow(wide.c_str(), buffer.data(), static_cast<std::uint32_t>(buffer.size())))
    return false;
  *narrow = buffer.data();
  return true;
}

std::string Hex(dravik::HResult hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

// A failure code from the core, with a word on the usual ones.
std::string Describe(dravik::HResult hr) {
  switch (static_cast<std::uint32_t>(hr)) {
    case 0x80070002u: case 0x80070003u: return "the folder or file does not exist (" + Hex(hr) + ")";
    case 0x80070005u: return "access denied (" + Hex(hr) + ")";
    case 0x80070020u: return "the file is in use (" + Hex(hr) + ")";
    case 0x80070050u: return "the file exists (" + Hex(hr) + ")";
    case 0x80070070u: return "the disk is full (" + Hex(hr) + ")";
    case 0x8007001Du: return "write fault (" + Hex(hr) + ")";
    case 123u: return "the name cannot be used";
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

// Whether the core's last capture took the codec data of stream `s`. Its
// codec data sits 129 bytes into the Stream Properties Object; the capture
// may leave out the first byte.
bool CapturedStream(const dravik::Vc1WriterCore& core, const std::vector<std::uint8_t>& header,
                    const asf::AsfStreamInfo& s) {
  const std::uint32_t captured = core.CodecDataLength();
  if (captured == 0 || (captured != s.codecDataSize && captured + 1 != s.codecDataSize)) return false;
  const std::uint64_t at = s.headerOffset + 129 + (s.codecDataSize - captured);
  return at + captured <= header.size() &&
         std::memcmp(core.CodecData(), header.data() + at, captured) == 0;
}

void PutLe(std::vector<std::uint8_t>& b, std::uint64_t v, unsigned width) {
  for (unsigned i = 0; i < width; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void Append(std::vector<std::uint8_t>& b, const std::vector<std::uint8_t>& from, std::uint64_t at,
            std::uint32_t size) {
  const auto* p = from.data() + at;
  b.insert(b.end(), p, p + size);
}

// A Header Object that declares `s` alone: its Extended Stream Properties
// (the time per frame) in a Header Extension, then its Stream Properties.
// The header capture reads the first video stream it meets; this is how it
// gets to see another one, as it would in a file holding only that stream.
std::vector<std::uint8_t> OneStreamHeader(const std::vector<std::uint8_t>& header,
                                          const asf::AsfStreamInfo& s) {
  static constexpr asf::Guid kReserved1 =
      asf::MakeGuid(0xABD3D211, 0xA9BA, 0x11CF, 0x8EE6, 0x00C00C205365);
  std::vector<std::uint8_t> b(asf::kHeaderObject.bytes, asf::kHeaderObject.bytes + 16);
  PutLe(b, 0, 8);  // size, set below
  PutLe(b, s.extendedSize ? 2 : 1, 4);
  b.push_back(1);
  b.push_back(2);
  if (s.extendedSize != 0 && s.extendedOffset + s.extendedSize <= header.size()) {
    b.insert(b.end(), asf::kHeaderExtensionObject.bytes, asf::kHeaderExtensionObject.bytes + 16);
    PutLe(b, 46u + s.extendedSize, 8);
    b.insert(b.end(), kReserved1.bytes, kReserved1.bytes + 16);
    PutLe(b, 6, 2);
    PutLe(b, s.extendedSize, 4);
    Append(b, header, s.extendedOffset, s.extendedSize);
  }
  if (s.headerOffset + s.headerSize <= header.size()) Append(b, header, s.headerOffset, s.headerSize);
  std::uint64_t size = b.size();
  for (unsigned i = 0; i < 8; ++i) b[16 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  return b;
}

// Writes `bytes` to a new file in the temporary folder; its narrow name (for
// the chooser) and its path (to remove it) come back.
bool WriteTemporary(const std::vector<std::uint8_t>& bytes, std::string* narrow,
                    std::filesystem::path* path) {
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  if (ec) return false;
  const auto tick = static_cast<unsigned long long>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    *path = folder / ("dravik-extract-" + std::to_string(tick % 1000000007u) + "-" +
                      std::to_string(attempt) + ".asf");
#ifdef _WIN32
    if (!Narrow(path->wstring(), narrow)) return false;
#else
    *narrow = path->string();
#endif
    if (narrow->size() >= dravik::MAX_NAME_LENGTH) return false;
    platform::File file = platform::File::CreateForWrite(narrow->c_str(), platform::File::Create::kNew);
    if (!file.IsOpen()) {
      if (platform::LastSystemError() == platform::kErrorFileExists) continue;
      return false;
    }
    bool written = file.WriteAll(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    file.Close();
    if (written) return true;
    std::filesystem::remove(*path, ec);
    return false;
  }
  return false;
}

class Extractor {
 public:
  Extractor(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

  int Error(const std::string& message) {
    std::fprintf(err_, "%s: %s\n", kProgram, message.c_str());
    return kExitFailed;
  }

  int Usage(const std::string& message) {
    std::fprintf(err_, "%s: %s\nTry '%s --help'.\n", kProgram, message.c_str(), kProgram);
    return kExitUsage;
  }

  int Run(const std::vector<platform::NativeString>& args, bool progress);

 private:
  std::FILE* out_;
  std::FILE* err_;
};

int Extractor::Run(const std::vector<platform::NativeString>& args, bool progress) {
  bool force = false;
  int stream = 0;
  std::vector<platform::NativeString> names;
  bool options = true;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const platform::NativeString& a = args[i];
    std::string arg = Printable(a);
    if (options && a.size() > 1 && a[0] == '-') {
      if (arg == "--") {
        options = false;
      } else if (arg == "--help" || arg == "-h") {
        std::fputs(kUsage, out_);
        return kExitOk;
      } else if (arg == "--version") {
        std::fprintf(out_, "%s %s\n", kProgram, VC1_VERSION);
        return kExitOk;
      } else if (arg == "--force" || arg == "-f") {
        force = true;
      } else if (arg == "--stream" || arg.compare(0, 9, "--stream=") == 0) {
        std::string value;
        if (arg == "--stream") {
          if (++i == args.size()) return Usage("--stream needs a stream number");
          value = Printable(args[i]);
        } else {
          value = arg.substr(9);
        }
        char* end = nullptr;
        long n = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || n < 1 || n > 127)
          return Usage("--stream takes a stream number from 1 to 127, not '" + value + "'");
        stream = static_cast<int>(n);
      } else {
        return Usage("unknown option '" + arg + "'");
      }
      continue;
    }
    names.push_back(a);
  }
  if (names.size() != 2) return Usage(names.size() < 2 ? "INPUT and OUTPUT are needed" : "too many names");
  const std::string inputShown = Printable(names[0]);
  const std::string outputShown = Printable(names[1]);

  // The core opens the input through the narrow chooser and the output from a
  // wide name; give each the name in the form it takes.
  std::string input;
  std::wstring output;
#ifdef _WIN32
  if (!Narrow(names[0], &input))
    return Error(inputShown + ": the name has no form in the system code page");
  output = names[1];
#else
  input = names[0];
  std::string check;
  if (!Utf8ToWide(names[1], &output) || !Narrow(output, &check) || check != names[1])
    return Error(outputShown + ": the name is not valid UTF-8");
#endif
  if (input.size() >= dravik::MAX_NAME_LENGTH)
    return Error(inputShown + ": the name is longer than " +
                 std::to_string(dravik::MAX_NAME_LENGTH - 1) + " bytes");

  platform::File file = platform::File::OpenSharedRead(input.c_str());
  if (!file.IsOpen())
    return Error(inputShown + ": cannot open: " +
                 Describe(dravik::FailureFromWin32(platform::LastSystemError())));
  const std::int64_t inputSize = file.Size();
  asf::AsfDataReader reader(file);
  if (!reader.Open()) return Error(inputShown + ": " + reader.ErrorMessage());
  const asf::AsfFileInfo& info = reader.Info();

  const asf::AsfStreamInfo* chosen = nullptr;
  if (stream != 0) {
    chosen = info.Find(static_cast<std::uint8_t>(stream));
    if (!chosen) return Error(inputShown + ": there is no stream " + std::to_string(stream));
    if (!chosen->isVideo || chosen->compression != asf::kFourCcWvc1)
      return Error(inputShown + ": stream " + std::to_string(stream) + " is " +
                   StreamKind(*chosen) + ", not WVC1");
  } else {
    std::string others;
    for (const auto& s : info.streams) {
      if (!s.isVideo || s.compression != asf::kFourCcWvc1) continue;
      if (!chosen) chosen = &s;
      else others += " " + std::to_string(s.number);
    }
    if (!chosen) return Error(inputShown + ": no WVC1 video stream");
    if (!others.empty())
      std::fprintf(err_, "%s: taking stream %u; other WVC1 streams:%s (see --stream)\n", kProgram,
                   chosen->number, others.c_str());
  }
  reader.SelectStream(chosen->number);

  CommandLineAnswers answers(input, force, err_);
  dravik::Vc1WriterCore core(answers, nullptr, nullptr);
  dravik::HResult hr = core.SetOutputFileName(output.c_str());
  if (hr == dravik::kBareFilenameTooLong)
    return Error(outputShown + ": the name is longer than " +
                 std::to_string(dravik::MAX_NAME_LENGTH) + " characters");
  if (hr != dravik::kS_OK) return Error(outputShown + ": " + Describe(hr));
  std::wstring effective;
  core.GetOutputFileName(&effective);
  std::string effectiveNarrow;
  if (!Narrow(effective, &effectiveNarrow))
    return Error(outputShown + ": the name has no form in the system code page");
  const std::string effectiveShown = Printable(
#ifdef _WIN32
      effective
#else
      effectiveNarrow
#endif
  );
  if (effective != output)
    std::fprintf(err_, "%s: writing to %s (a trailing \".asf\" is dropped, as Dravik does)\n",
                 kProgram, effectiveShown.c_str());
  std::error_code ec;
#ifdef _WIN32
  const std::filesystem::path outputPath(effective);
#else
  const std::filesystem::path outputPath(effectiveNarrow);
#endif
  if (std::filesystem::equivalent(std::filesystem::path(names[0]), outputPath, ec))
    return Error(effectiveShown + ": is INPUT itself; nothing written");
  if (!force && std::filesystem::exists(outputPath, ec))
    return Error(effectiveShown + ": already exists; use --force to overwrite it");

  // Dravik's own sequence: create the output, then capture the headers from
  // the file the chooser names.
  hr = core.SetFileName(output.c_str());
  if (!core.IsOutputFileOpen()) {
    if (force || hr != static_cast<dravik::HResult>(0x80070050u))
      return Error(effectiveShown + ": cannot create: " + Describe(hr));
    return Error(effectiveShown + ": already exists; use --force to overwrite it");
  }
  // Without usable headers nothing is written, and the empty file the core
  // has just created goes again.
  auto abandon = [&](const std::string& message) {
    core.CloseOutputFile();
    std::filesystem::remove(outputPath, ec);
    return Error(message);
  };
  const std::vector<std::uint8_t>& header = reader.HeaderBytes();
  if (!CapturedStream(core, header, *chosen)) {
    // The capture took another stream's headers (or none): show it the
    // chosen stream alone.
    std::string tempName;
    std::filesystem::path tempPath;
    if (!WriteTemporary(OneStreamHeader(header, *chosen), &tempName, &tempPath))
      return abandon("cannot write a temporary file for the header capture; nothing written");
    answers.SetInput(tempName);
    core.CaptureStreamHeaders();
    std::filesystem::remove(tempPath, ec);
    if (core.CodecDataLength() == 0 || !CapturedStream(core, header, *chosen))
      return abandon(inputShown + ": the header capture found no codec data for stream " +
                     std::to_string(chosen->number) + " (it has " +
                     std::to_string(chosen->codecDataSize) + " bytes of it); nothing written");
    std::fprintf(err_, "%s: stream %u is not the first video stream; its headers were taken "
                 "from its own Stream Properties\n", kProgram, chosen->number);
  }
  if (core.HeaderBlockLength() == 0)
    return abandon(inputShown + ": stream " + std::to_string(chosen->number) +
                   " has no sequence header and entry-point header in its codec data; nothing "
                   "written");

  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  Clock::time_point shown = start;
  bool progressShown = false;
  std::uint64_t frames = 0;
  asf::AsfFrame frame;
  asf::AsfDataReader::Status status;
  int result = kExitOk;
  while ((status = reader.Next(&frame)) == asf::AsfDataReader::Status::kFrame) {
    hr = core.WriteFrame(frame.data, frame.size);
    if (hr != dravik::kS_OK) {
      if (progressShown) std::fputc('\n', err_);
      progressShown = false;
      result = Error(effectiveShown + ": writing frame " + std::to_string(frames) + " failed: " +
                     (hr == dravik::kS_FALSE ? std::string("the file was closed") : Describe(hr)));
      break;
    }
    ++frames;
    if (progress && (frames & 31) == 0) {
      Clock::time_point now = Clock::now();
      if (now - start >= std::chrono::seconds(1) && now - shown >= std::chrono::milliseconds(200)) {
        int percent = inputSize > 0 ? static_cast<int>(reader.Position() * 100 /
                                                       static_cast<std::uint64_t>(inputSize))
                                    : 0;
        std::fprintf(err_, "\r%s: %3d%%, %llu frames", kProgram, percent,
                     static_cast<unsigned long long>(frames));
        std::fflush(err_);
        shown = now;
        progressShown = true;
      }
    }
  }
  if (progressShown) std::fprintf(err_, "\r%50s\r", "");
  core.CloseOutputFile();
  if (result != kExitOk) return result;
  if (status == asf::AsfDataReader::Status::kError)
    return Error(inputShown + ": " + reader.ErrorMessage() + "; the " + std::to_string(frames) +
                 " frames before it are in " + effectiveShown);
  if (frames == 0) return Error(inputShown + ": stream " + std::to_string(chosen->number) +
                                " has no frames; " + effectiveShown + " is empty");
  if (progress)
    std::fprintf(err_, "%s: %llu frames written to %s\n", kProgram,
                 static_cast<unsigned long long>(frames), effectiveShown.c_str());
  return kExitOk;
}

}  // namespace

int Run(const std::vector<platform::NativeString>& args, std::FILE* out, std::FILE* err,
        bool progress) {
  return Extractor(out, err).Run(args, progress);
}

}  // namespace extract

// The header report: one line per element of the store, with derived values
// in parentheses. Lines go to a sink as a printf format and its arguments, so a
// discarding sink costs no formatting at all.
#include <cstdarg>
#include <cstdio>
#include <iterator>
#include <vector>

#include "engine/VC1Parse.h"

namespace vc1 {

namespace {

constexpr int FrameRateNrValues[] = {0, 24000, 25000, 30000, 50000, 60000, 48000, 72000};
constexpr int FrameRateDrValues[] = {0, 1000, 1001};

constexpr const char* AspectRatioNames[] = {
    "Unspecified",               //  0
    "1:1(square)",               //  1
    "12:11",                     //  2
    "10:11",                     //  3
    "16:11",                     //  4
    "40:33",                     //  5
    "24:11",                     //  6
    "20:11",                     //  7
    "32:11",                     //  8
    "80:33",                     //  9
    "18:11",                     // 10
    "15:11",                     // 11
    "64:33",                     // 12
    "160:99",                    // 13
    "SMPTE Reserved (illegal)",  // 14
    "custom, below:",            // 15
};

constexpr const char* TransferCharNames[] = {
    "* illegal *",                                                        // 0
    "ITU-R BT.709-5, SMPTE 274M-2005, SMPTE 296M-2001, SMPTE 293M-2003",  // 1
    "not present",                                                        // 2
    "* illegal *",                                                        // 3
    "ITU-R BT. 1700 Part A [gamma = 2.2]",                                // 4
    "ITU-R BT. 1700 Part B and Part C [gamma = 2.8]",                     // 5
    "ITU-R BT.1700 Part A",                                               // 6
    "* illegal *",                                                        // 7
    "ITU-R BT.1361 [Conventional Color Space]",                           // 8 and above
};

static_assert(std::size(FrameRateNrValues) == 8, "FRAMERATENR codes 0..7");
static_assert(std::size(FrameRateDrValues) == 3, "FRAMERATEDR codes 0..2");
static_assert(std::size(AspectRatioNames) == 16, "ASPECT_RATIO has 4 bits");
static_assert(std::size(TransferCharNames) == 9, "TRANSFER_CHAR is clamped to 8");

// Every value printed fits an int: elements have at most 16 bits.
int AsInt(std::uint32_t v) { return static_cast<int>(v & 0x7FFFFFFFu); }

void PrintLeakyBuckets(ReportSink& sink) {
  const std::uint32_t count = StoredLeakyBucketCount();
  for (std::uint32_t n = 1; n <= count; ++n) {
    sink.Print("HRD_RATE[%d]: %d\n", AsInt(n), LeakyBucketTable[n - 1].HRD_RATE);
    sink.Print("HRD_BUFFER[%d]: %d\n", AsInt(n), LeakyBucketTable[n - 1].HRD_BUFFER);
  }
}

void PrintHrdFull(ReportSink& sink) {
  const std::uint32_t count = StoredLeakyBucketCount();
  for (std::uint32_t n = 1; n <= count; ++n)
    sink.Print("HRD_FULL[%d]: %d\n", AsInt(n), HrdFullTable[n - 1]);
}

class StdoutSink : public ReportSink {
 public:
  void Print(const char* format, ...) override {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
  }
};

class DiscardingSink : public ReportSink {
 public:
  void Print(const char*, ...) override {}
};

}  // namespace

ReportSink& StdoutReportSink() {
  static StdoutSink sink;
  return sink;
}

ReportSink& DiscardingReportSink() {
  static DiscardingSink sink;
  return sink;
}

void StringReportSink::Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int needed = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (needed > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, again);
    text.append(buffer.data(), static_cast<std::size_t>(needed));
  }
  va_end(again);
}

void PrintField(ReportSink& sink, const HeaderField& row) {
  const char* name = row.name;
  const int value = AsInt(row.value);
  switch (row.id) {
    case ID_LEVEL:
      if (row.value <= 4)
        sink.Print("%s: %d (AP3@L%1d)\n", name, value, value);
      else
        sink.Print("%s: %d (* illegal *)\n", name, value);
      break;
    case ID_COLORDIFF_FORMAT:
      sink.Print("%s: %d (%s)\n", name, value, row.value == 1 ? "=4:2:0" : "* illegal *");
      break;
    case ID_MAX_CODED_WIDTH:
    case ID_MAX_CODED_HEIGHT:
    case ID_CODED_WIDTH:
    case ID_CODED_HEIGHT:  // coded sizes are in units of 2 pixels, minus one
      sink.Print("%s: %d (=%d)\n", name, value, 2 * value + 2);
      break;
    case ID_DISP_HORIZ_SIZE:
    case ID_DISP_VERT_SIZE:  // display sizes are pixels minus one
      sink.Print("%s: %d (=%d)\n", name, value, value + 1);
      break;
    case ID_ASPECT_RATIO:
      sink.Print("%s: %d (PAR=%s)\n", name, value, AspectRatioNames[row.value & 15]);
      break;
    case ID_ASPECT_HORIZ_SIZE:
    case ID_ASPECT_VERT_SIZE: {
      const int h = AsInt(StoredValue(ID_ASPECT_HORIZ_SIZE)) + 1;
      const int v = AsInt(StoredValue(ID_ASPECT_VERT_SIZE)) + 1;
      sink.Print("%s: %d (PAR= %d/%d, =%1.3f)\n", name, value, h, v,
                 static_cast<double>(h) / static_cast<double>(v));
      break;
    }
    case ID_FRAMERATENR:
    case ID_FRAMERATEDR: {
      const std::uint32_t nr = StoredValue(ID_FRAMERATENR);
      const std::uint32_t dr = StoredValue(ID_FRAMERATEDR);
      if (nr >= 1 && nr <= 7 && dr >= 1 && dr <= 2) {
        const int numerator = FrameRateNrValues[nr];
        const int denominator = FrameRateDrValues[dr];
        sink.Print("%s: %d (=%d/%d, =%2.3f FPS)\n", name, value, numerator, denominator,
                   static_cast<double>(numerator) / static_cast<double>(denominator));
      } else {
        sink.Print("%s: %d (* illegal framerate *)\n", name, value);
      }
      break;
    }
    case ID_FRAMERATEEXP:  // (code + 1) / 32 frames per second
      sink.Print("%s: %d (= %2.3f FPS)\n", name, value, (row.value + 1) * 0.03125);
      break;
    case ID_TRANSFER_CHAR:
      sink.Print("%s: %d (= %s)\n", name, value, TransferCharNames[row.value < 8 ? row.value : 8]);
      break;
    default:
      sink.Print("%s: %d\n", name, value);
      break;
  }
}

void PrintHeaderReport(ReportSink& sink) {
  sink.Print("\n---------  Sequence Level Header ----------- \n\n");
  for (std::uint32_t i = 0; HeaderSyntaxTable[i].id != ID_END; ++i) {
    const HeaderField& row = HeaderSyntaxTable[i];
    if (row.id == ID_ENTRY_POINT) {
      // The bucket pairs close the sequence section, wherever they sit in the bitstream.
      PrintLeakyBuckets(sink);
      sink.Print("\n---------  Entry Point Level Header ----------- \n\n");
    } else if (row.bits == 0) {
      continue;
    } else if (row.present) {
      PrintField(sink, row);
    } else {
      sink.Print("%s: --\n", row.name);
    }
  }
  PrintHrdFull(sink);
}

}  // namespace vc1

// The header walker: follows HeaderSyntaxTable over the input, stores every
// element it reads and, in rewrite mode, writes the same elements into a fresh
// header block (with a display extension injected when the stream lacks one
// and the container told us its frame time).
#include <cstdint>
#include <iterator>

#include "engine/VC1Parse.h"

namespace vc1 {

FrameRateHint g_FrameRateHint = {0, 0, 0};

namespace {

struct FrameTime {
  std::uint32_t microseconds;
  std::uint32_t nrIndex;  // FRAMERATENR code
  std::uint32_t drIndex;  // FRAMERATEDR code: 1 = /1000, 2 = /1001
};

// Container frame times that a FRAMERATENR/FRAMERATEDR pair expresses exactly.
constexpr FrameTime FrameTimeTable[] = {
    // us     nr  dr       fps
    {41667,   1,  1},  // 24
    {41708,   1,  2},  // 24000/1001
    {40000,   2,  1},  // 25
    {40040,   2,  2},  // 25000/1001
    {33333,   3,  1},  // 30
    {33367,   3,  2},  // 30000/1001
    {20000,   4,  1},  // 50
    {20020,   4,  2},  // 50000/1001
    {16667,   5,  1},  // 60
    {16683,   5,  2},  // 60000/1001
    {20833,   6,  1},  // 48
    {20854,   6,  2},  // 48000/1001
    {13889,   7,  1},  // 72
    {13903,   7,  2},  // 72000/1001
    {0,       0,  0},  // end
};
static_assert(std::size(FrameTimeTable) == 15, "14 frame times and the end row");
static_assert(FrameTimeTable[std::size(FrameTimeTable) - 1].microseconds == 0,
              "the end row terminates the frame-time table");

constexpr std::uint32_t kTrailingBits = 9;       // a 1 bit, then eight 0 bits
constexpr std::uint32_t kTrailingPattern = 0x100;

// One walk: the reader, the optional writer, and the rules that move between rows.
class Walk {
 public:
  Walk(const std::uint8_t* input, std::uint32_t inputLength, std::uint8_t* output,
       std::uint32_t outputLength, bool inject)
      : rewrite_(output != nullptr), inject_(inject) {
    reader_.InitReader(input, inputLength);
    if (rewrite_) writer_.InitWriter(output, outputLength);
  }

  std::uint32_t Run();

 private:
  void Write(std::uint32_t width, std::uint32_t value) {
    if (rewrite_) writer_.WriteBits(width, value);
  }
  std::uint32_t ReadElement(HeaderField& row) {
    const std::uint32_t v = reader_.ReadBits(row.bits);
    row.value = v;
    row.present = 1;
    return v;
  }
  static std::uint32_t Follow(const HeaderField& row, std::uint32_t index, std::uint32_t tested);

  void InjectDisplayExtension();
  void CopyLeakyBuckets();
  void CopyHrdFull();

  BitCursor reader_;
  BitCursor writer_;
  bool rewrite_;
  bool inject_;
};

// Index of the row after `row` (at `index`) once its condition has seen `tested`.
std::uint32_t Walk::Follow(const HeaderField& row, std::uint32_t index, std::uint32_t tested) {
  switch (row.condKind) {
    case COND_EQUALS:
      return tested == row.condValue ? index + 1 : FindFieldIndex(row.targetId);
    case COND_ALWAYS:
      return FindFieldIndex(row.targetId);
    case COND_NONE:
    default:
      return index + 1;
  }
}

// Stands in for a 0 DISPLAY_EXT bit: display size = coded size, no aspect
// ratio, the hint's frame rate, no colour format. The store is left alone, so
// the walk still skips the (absent) extension of the input.
void Walk::InjectDisplayExtension() {
  const FrameRateHint& hint = g_FrameRateHint;
  writer_.WriteBits(1, 1);  // DISPLAY_EXT
  writer_.WriteBits(HeaderSyntaxTable[FindFieldIndex(ID_DISP_HORIZ_SIZE)].bits,
                    2 * StoredValue(ID_MAX_CODED_WIDTH) + 1);
  writer_.WriteBits(HeaderSyntaxTable[FindFieldIndex(ID_DISP_VERT_SIZE)].bits,
                    2 * StoredValue(ID_MAX_CODED_HEIGHT) + 1);
  writer_.WriteBits(1, 0);  // ASPECT_RATIO_FLAG
  writer_.WriteBits(1, 1);  // FRAMERATE_FLAG
  if (hint.nrIndex != 0 && hint.drIndex != 0) {
    writer_.WriteBits(1, 0);  // FRAMERATEIND: code pair
    writer_.WriteBits(8, hint.nrIndex);
    writer_.WriteBits(4, hint.drIndex);
  } else {
    writer_.WriteBits(1, 1);  // FRAMERATEIND: exponent form
    writer_.WriteBits(16, hint.expValue);
  }
  writer_.WriteBits(1, 0);  // COLOR_FORMAT_FLAG
}

void Walk::CopyLeakyBuckets() {
  const std::uint32_t count = StoredLeakyBucketCount();
  for (std::uint32_t n = 0; n < count; ++n) {
    const std::uint32_t rate = reader_.ReadBits(16);
    LeakyBucketTable[n].HRD_RATE = static_cast<std::uint16_t>(rate);
    Write(16, rate);
    const std::uint32_t buffer = reader_.ReadBits(16);
    LeakyBucketTable[n].HRD_BUFFER = static_cast<std::uint16_t>(buffer);
    Write(16, buffer);
  }
}

void Walk::CopyHrdFull() {
  const std::uint32_t count = StoredLeakyBucketCount();
  for (std::uint32_t n = 0; n < count; ++n) {
    const std::uint32_t full = reader_.ReadBits(8);
    HrdFullTable[n] = static_cast<std::uint8_t>(full);
    Write(8, full);
  }
}

std::uint32_t Walk::Run() {
  for (std::uint32_t i = 0; HeaderSyntaxTable[i].id != ID_END; ++i) {
    HeaderSyntaxTable[i].present = 0;
    HeaderSyntaxTable[i].value = 0;
  }

  // Without a start code the walk still decodes from bit 0; only the result says so.
  const bool sequenceFound = reader_.FindStartCode(kSequenceStartCode);
  Write(32, kSequenceStartCode);
  bool entryFound = false;

  std::uint32_t index = 0;
  while (HeaderSyntaxTable[index].id != ID_END) {
    HeaderField& row = HeaderSyntaxTable[index];
    switch (row.id) {
      case ID_DISPLAY_EXT: {
        // No condition of its own: the test row right behind it decides.
        const std::uint32_t v = ReadElement(row);
        const FrameRateHint& hint = g_FrameRateHint;
        if (rewrite_ && v == 0 && inject_ && (hint.nrIndex != 0 || hint.expValue != 0))
          InjectDisplayExtension();
        else
          Write(1, v);
        ++index;
        break;
      }
      case ID_LEAKY_BUCKETS:
        CopyLeakyBuckets();
        ++index;
        break;
      case ID_HRD_FULL:
        CopyHrdFull();
        ++index;
        break;
      case ID_ENTRY_POINT:
        entryFound = reader_.FindStartCode(kEntryPointStartCode);
        Write(kTrailingBits, kTrailingPattern);
        if (rewrite_) writer_.AlignToByte();
        Write(32, kEntryPointStartCode);
        ++index;
        break;
      case ID_DISPLAY_EXT_TEST:
      case ID_EXTENDED_DMV_TEST:
        index = Follow(row, index, StoredValue(row.refId));
        break;
      default: {
        const std::uint32_t v = ReadElement(row);
        Write(row.bits, v);
        index = Follow(row, index, v);
        break;
      }
    }
  }

  // The trailer's 1 bit is the block's last write; when the output cannot take
  // it, the block is cut short and its length would point past the buffer.
  const bool blockFits = (writer_.position + kTrailingBits) / 8 < writer_.length;
  Write(kTrailingBits, kTrailingPattern);
  if (rewrite_) writer_.AlignToByte();

  if (!sequenceFound || !entryFound) return 0;
  if (!rewrite_) return 1;
  return blockFits ? writer_.ByteLength() : 0;
}

}  // namespace

void SetFrameTiming(std::uint32_t microsecondsPerFrame) {
  std::uint32_t expValue = 0;
  if (microsecondsPerFrame != 0) {
    // FRAMERATEEXP codes (value + 1) / 32 frames per second; +0.5 rounds halves up.
    const double code = (1000000.0 / microsecondsPerFrame) * 32.0 - 1.0 + 0.5;
    // Above 64,000,000 us the code lies in (-0.5, 0) and truncates to 0.
    if (code > 0.0) expValue = static_cast<std::uint32_t>(static_cast<std::uint64_t>(code) & 0xFFFF);
  }
  std::uint32_t i = 0;
  while (FrameTimeTable[i].microseconds != 0 && FrameTimeTable[i].microseconds != microsecondsPerFrame) ++i;
  g_FrameRateHint.nrIndex = FrameTimeTable[i].nrIndex;
  g_FrameRateHint.drIndex = FrameTimeTable[i].drIndex;
  g_FrameRateHint.expValue = expValue;
}

std::uint32_t WalkHeaders(const std::uint8_t* input, std::uint32_t inputLength,
                          std::uint8_t* output, std::uint32_t outputLength, bool inject) {
  return Walk(input, inputLength, output, outputLength, inject).Run();
}

}  // namespace vc1

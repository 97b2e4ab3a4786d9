#pragma once
// VC-1 Advanced Profile header engine: the syntax table that is also the
// field store, the bit cursor, the header walker (parse and rewrite) and the
// report printer. Plain functions over process-wide tables; results are 0/1
// or byte counts, 0 being the only failure signal.
//
// The field store and the frame-rate hint are process-wide: callers run one
// walk (and the report that reads it) at a time, under HeaderEngineLock when
// several threads may walk.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace vc1 {

// ---------------------------------------------------------------- syntax table

enum ConditionKind : std::uint32_t { COND_NONE = 0, COND_EQUALS = 1, COND_ALWAYS = 2 };

struct HeaderField {
  std::int32_t id;          // unique; key of every lookup and jump
  const char* name;         // SMPTE 421M element name (report label); "" for pseudo-rows
  std::uint32_t bits;       // element width, 0 for pseudo-rows
  std::uint32_t present;    // 1 once the current walk has read it
  std::uint32_t value;      // value read, right-aligned
  std::int32_t refId;       // condition rows: id of the tested element; else 1
  ConditionKind condKind;
  std::uint32_t condValue;
  std::int32_t targetId;    // where a failed/always condition continues
};

// Element ids, in bitstream order (sequence header, then entry point).
inline constexpr std::int32_t ID_PROFILE = 2;
inline constexpr std::int32_t ID_LEVEL = 3;
inline constexpr std::int32_t ID_COLORDIFF_FORMAT = 4;
inline constexpr std::int32_t ID_FRMRTQ_POSTPROC = 5;
inline constexpr std::int32_t ID_BITRTQ_POSTPROC = 6;
inline constexpr std::int32_t ID_POSTPROCFLAG = 7;
inline constexpr std::int32_t ID_MAX_CODED_WIDTH = 8;
inline constexpr std::int32_t ID_MAX_CODED_HEIGHT = 9;
inline constexpr std::int32_t ID_PULLDOWN = 10;
inline constexpr std::int32_t ID_INTERLACE = 11;
inline constexpr std::int32_t ID_TFCNTRFLAG = 12;
inline constexpr std::int32_t ID_FINTERPFLAG = 13;
inline constexpr std::int32_t ID_RESERVED = 14;
inline constexpr std::int32_t ID_PSF = 15;
inline constexpr std::int32_t ID_DISPLAY_EXT = 16;
inline constexpr std::int32_t ID_DISP_HORIZ_SIZE = 17;
inline constexpr std::int32_t ID_DISP_VERT_SIZE = 18;
inline constexpr std::int32_t ID_ASPECT_RATIO_FLAG = 19;
inline constexpr std::int32_t ID_ASPECT_RATIO = 20;
inline constexpr std::int32_t ID_ASPECT_HORIZ_SIZE = 21;
inline constexpr std::int32_t ID_ASPECT_VERT_SIZE = 22;
inline constexpr std::int32_t ID_FRAMERATE_FLAG = 23;
inline constexpr std::int32_t ID_FRAMERATEIND = 24;
inline constexpr std::int32_t ID_FRAMERATENR = 25;
inline constexpr std::int32_t ID_FRAMERATEDR = 26;
inline constexpr std::int32_t ID_FRAMERATEEXP = 27;
inline constexpr std::int32_t ID_COLOR_FORMAT_FLAG = 28;
inline constexpr std::int32_t ID_COLOR_PRIM = 29;
inline constexpr std::int32_t ID_TRANSFER_CHAR = 30;
inline constexpr std::int32_t ID_MATRIX_COEF = 31;
inline constexpr std::int32_t ID_HRD_PARAM_FLAG = 32;
inline constexpr std::int32_t ID_HRD_NUM_LEAKY_BUCKETS = 33;
inline constexpr std::int32_t ID_BIT_RATE_EXPONENT = 34;
inline constexpr std::int32_t ID_BUFFER_SIZE_EXPONENT = 35;
inline constexpr std::int32_t ID_BROKEN_LINK = 36;
inline constexpr std::int32_t ID_CLOSED_ENTRY = 37;
inline constexpr std::int32_t ID_PANSCAN_FLAG = 38;
inline constexpr std::int32_t ID_REFDIST_FLAG = 39;
inline constexpr std::int32_t ID_LOOPFILTER = 40;
inline constexpr std::int32_t ID_FASTUVMC = 41;
inline constexpr std::int32_t ID_EXTENDED_MV = 42;
inline constexpr std::int32_t ID_DQUANT = 43;
inline constexpr std::int32_t ID_VSTRANSFORM = 44;
inline constexpr std::int32_t ID_OVERLAP = 45;
inline constexpr std::int32_t ID_QUANTIZER = 46;
inline constexpr std::int32_t ID_CODED_SIZE_FLAG = 47;
inline constexpr std::int32_t ID_CODED_WIDTH = 48;
inline constexpr std::int32_t ID_CODED_HEIGHT = 49;
inline constexpr std::int32_t ID_EXTENDED_DMV = 50;
inline constexpr std::int32_t ID_RANGE_MAPY_FLAG = 51;
inline constexpr std::int32_t ID_RANGE_MAPY = 52;
inline constexpr std::int32_t ID_RANGE_MAPUV_FLAG = 53;
inline constexpr std::int32_t ID_RANGE_MAPUV = 54;

// Pseudo-row ids.
inline constexpr std::int32_t ID_EXTENDED_DMV_TEST = 55;
inline constexpr std::int32_t ID_LEAKY_BUCKETS = 56;
inline constexpr std::int32_t ID_HRD_FULL = 57;
inline constexpr std::int32_t ID_ENTRY_POINT = 58;
inline constexpr std::int32_t ID_DISPLAY_EXT_TEST = 59;
inline constexpr std::int32_t ID_END = 60;

inline constexpr std::uint32_t kHeaderRowCount = 59;
inline constexpr std::uint32_t kMaxLeakyBuckets = 32;

inline constexpr std::uint32_t kSequenceStartCode = 0x0000010F;
inline constexpr std::uint32_t kEntryPointStartCode = 0x0000010E;

// The syntax description and, at once, the store of the last walk. A reference
// to the store's row array: index it, iterate it or take std::size of it as
// of any array; only `present` and `value` ever change.
extern HeaderField (&HeaderSyntaxTable)[kHeaderRowCount];

struct LeakyBucket {
  std::uint16_t HRD_RATE;
  std::uint16_t HRD_BUFFER;
};
extern LeakyBucket LeakyBucketTable[kMaxLeakyBuckets];
extern std::uint8_t HrdFullTable[kMaxLeakyBuckets];

// Index of the first row whose id is `id`; the end row's index when none is.
std::uint32_t FindFieldIndex(std::int32_t id);
// The value the last walk stored for element `id`; 0 when that walk did not
// read it (every walk clears the store first) or no row has the id.
std::uint32_t StoredValue(std::int32_t id);
// HRD_NUM_LEAKY_BUCKETS as stored, capped at the bucket table's size.
std::uint32_t StoredLeakyBucketCount();

// Guards the field store and the frame-rate hint, which are process-wide:
// a caller that may share the process with other walkers holds it around
// SetFrameTiming, WalkHeaders and whatever reads the store afterwards.
// Recursive; take no other lock while holding it.
std::recursive_mutex& HeaderEngineLock();

// ---------------------------------------------------------------- bit cursor

// MSB-first cursor over a caller's byte buffer. Never fails loudly: an access
// outside the buffer reads 0 / writes nothing and the position moves on.
struct BitCursor {
  std::uint8_t* data = nullptr;
  std::uint32_t length = 0;
  std::uint32_t position = 0;

  void InitReader(const std::uint8_t* buffer, std::uint32_t size);
  void InitWriter(std::uint8_t* buffer, std::uint32_t size);  // zero-fills the buffer

  std::uint32_t GetBits(std::uint32_t start, std::uint32_t width) const;
  std::uint32_t ReadBits(std::uint32_t width);
  bool FindStartCode(std::uint32_t code);

  void PutBits(std::uint32_t start, std::uint32_t width, std::uint32_t value);
  void WriteBits(std::uint32_t width, std::uint32_t value);
  void AlignToByte();
  std::uint32_t ByteLength() const;
};

// ---------------------------------------------------------------- walker

struct FrameRateHint {
  std::uint32_t nrIndex;   // FRAMERATENR code 1..7, else 0
  std::uint32_t drIndex;   // FRAMERATEDR code 1..2, else 0
  std::uint32_t expValue;  // FRAMERATEEXP (16 bits)
};
extern FrameRateHint g_FrameRateHint;

// Time per frame in microseconds -> frame-rate hint used by rewrite walks.
void SetFrameTiming(std::uint32_t microsecondsPerFrame);

// Parse mode: output == nullptr; returns 1 when both start codes were found.
// Rewrite mode: returns the header block's byte length (0 when a start code
// is missing, or when the block does not fit in outputLength bytes; nothing is
// ever written past outputLength). Either way the store holds the decoded values.
std::uint32_t WalkHeaders(const std::uint8_t* input, std::uint32_t inputLength,
                          std::uint8_t* output, std::uint32_t outputLength, bool inject);

// ---------------------------------------------------------------- report

// Where report lines go. Each line arrives as a printf format and its
// arguments; the sink decides whether to format it at all.
class ReportSink {
 public:
  virtual ~ReportSink() = default;
  virtual void Print(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      = 0;
};

// Standard output.
ReportSink& StdoutReportSink();
// Drops every line (the filter's diagnostic hook).
ReportSink& DiscardingReportSink();
// Appends every formatted line to `text` (tests, callers that post-process).
class StringReportSink : public ReportSink {
 public:
  void Print(const char* format, ...) override
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  std::string text;
};

// Whole report from the current store. Call only after a walk that found
// both start codes.
void PrintHeaderReport(ReportSink& sink);
void PrintField(ReportSink& sink, const HeaderField& row);

}  // namespace vc1

#include "vc1_stream_builder.h"

namespace vc1build {

void BitPacker::Put(std::uint32_t width, std::uint32_t value) {
  for (std::uint32_t i = width; i-- > 0;) bits_.push_back(static_cast<std::uint8_t>((value >> i) & 1u));
}

void BitPacker::PutBytes(const std::vector<std::uint8_t>& bytes) {
  for (std::uint8_t b : bytes) Put(8, b);
}

void BitPacker::Trailing() {
  bits_.push_back(1);
  while (bits_.size() % 8 != 0) bits_.push_back(0);
}

std::vector<std::uint8_t> BitPacker::Bytes() const {
  std::vector<std::uint8_t> out((bits_.size() + 7) / 8, 0);
  for (std::size_t i = 0; i < bits_.size(); ++i)
    if (bits_[i]) out[i / 8] = static_cast<std::uint8_t>(out[i / 8] | (0x80u >> (i % 8)));
  return out;
}

Headers TypicalHeaders() {
  Headers h;
  h.fields = {
      {"PROFILE", 3}, {"LEVEL", 3}, {"COLORDIFF_FORMAT", 1}, {"FRMRTQ_POSTPROC", 7},
      {"BITRTQ_POSTPROC", 31}, {"POSTPROCFLAG", 0}, {"MAX_CODED_WIDTH", 959},
      {"MAX_CODED_HEIGHT", 539}, {"PULLDOWN", 0}, {"INTERLACE", 1}, {"TFCNTRFLAG", 0},
      {"FINTERPFLAG", 1}, {"RESERVED", 0}, {"PSF", 0}, {"DISPLAY_EXT", 1},
      {"DISP_HORIZ_SIZE", 1919}, {"DISP_VERT_SIZE", 1079}, {"ASPECT_RATIO_FLAG", 1},
      {"ASPECT_RATIO", 1}, {"ASPECT_HORIZ_SIZE", 0}, {"ASPECT_VERT_SIZE", 0},
      {"FRAMERATE_FLAG", 1}, {"FRAMERATEIND", 0}, {"FRAMERATENR", 1}, {"FRAMERATEDR", 2},
      {"FRAMERATEEXP", 0}, {"COLOR_FORMAT_FLAG", 1}, {"COLOR_PRIM", 1}, {"TRANSFER_CHAR", 1},
      {"MATRIX_COEF", 1}, {"HRD_PARAM_FLAG", 1}, {"HRD_NUM_LEAKY_BUCKETS", 2},
      {"BIT_RATE_EXPONENT", 3}, {"BUFFER_SIZE_EXPONENT", 4},
      {"BROKEN_LINK", 0}, {"CLOSED_ENTRY", 1}, {"PANSCAN_FLAG", 0}, {"REFDIST_FLAG", 1},
      {"LOOPFILTER", 1}, {"FASTUVMC", 1}, {"EXTENDED_MV", 1}, {"DQUANT", 2},
      {"VSTRANSFORM", 1}, {"OVERLAP", 1}, {"QUANTIZER", 1}, {"CODED_SIZE_FLAG", 1},
      {"CODED_WIDTH", 959}, {"CODED_HEIGHT", 539}, {"EXTENDED_DMV", 1},
      {"RANGE_MAPY_FLAG", 1}, {"RANGE_MAPY", 5}, {"RANGE_MAPUV_FLAG", 1}, {"RANGE_MAPUV", 6},
  };
  h.buckets = {{2000, 3000}, {4000, 5000}};
  h.full = {128, 200};
  return h;
}

Headers PlainHeaders(std::uint32_t codedWidth, std::uint32_t codedHeight, bool interlace) {
  Headers h;
  h.fields = {
      {"PROFILE", 3}, {"LEVEL", 1}, {"COLORDIFF_FORMAT", 1},
      {"MAX_CODED_WIDTH", codedWidth / 2 - 1}, {"MAX_CODED_HEIGHT", codedHeight / 2 - 1},
      {"INTERLACE", interlace ? 1u : 0u}, {"RESERVED", 1},
      {"CLOSED_ENTRY", 1}, {"LOOPFILTER", 1}, {"VSTRANSFORM", 1},
  };
  return h;
}

Headers With(Headers h, const std::map<std::string, std::uint32_t>& changes) {
  for (const auto& [name, value] : changes) h.fields[name] = value;
  const std::uint32_t count = h.fields["HRD_NUM_LEAKY_BUCKETS"];
  for (std::uint32_t n = static_cast<std::uint32_t>(h.buckets.size()); n < count; ++n) {
    h.buckets.emplace_back(static_cast<std::uint16_t>(0x8001u + 7 * n), static_cast<std::uint16_t>(0xFFFFu - n));
    h.full.push_back(static_cast<std::uint8_t>(0x81u + n));
  }
  h.buckets.resize(count);
  h.full.resize(count);
  return h;
}

namespace {
class Encoder {
 public:
  Encoder(const Headers& h, Encoded& e) : h_(h), e_(e) {}
  std::uint32_t Put(const char* name, std::uint32_t width) {
    const auto it = h_.fields.find(name);
    const std::uint32_t v = it == h_.fields.end() ? 0 : it->second;
    packer.Put(width, v);
    e_.elements[name] = v & ((width == 32 ? 0 : (1u << width)) - 1u);
    return e_.elements[name];
  }
  BitPacker packer;

 private:
  const Headers& h_;
  Encoded& e_;
};
}  // namespace

Encoded Encode(const Headers& h) {
  Encoded e;
  Encoder enc(h, e);
  enc.packer.PutBytes(h.prefix);
  enc.packer.PutBytes({0x00, 0x00, 0x01, 0x0F});
  const std::size_t seqStart = enc.packer.BitCount();
  for (const auto& [name, width] : std::vector<std::pair<const char*, std::uint32_t>>{
           {"PROFILE", 2}, {"LEVEL", 3}, {"COLORDIFF_FORMAT", 2}, {"FRMRTQ_POSTPROC", 3},
           {"BITRTQ_POSTPROC", 5}, {"POSTPROCFLAG", 1}, {"MAX_CODED_WIDTH", 12},
           {"MAX_CODED_HEIGHT", 12}, {"PULLDOWN", 1}, {"INTERLACE", 1}, {"TFCNTRFLAG", 1},
           {"FINTERPFLAG", 1}, {"RESERVED", 1}, {"PSF", 1}})
    enc.Put(name, width);
  if (enc.Put("DISPLAY_EXT", 1)) {
    enc.Put("DISP_HORIZ_SIZE", 14);
    enc.Put("DISP_VERT_SIZE", 14);
    if (enc.Put("ASPECT_RATIO_FLAG", 1) && enc.Put("ASPECT_RATIO", 4) == 15) {
      enc.Put("ASPECT_HORIZ_SIZE", 8);
      enc.Put("ASPECT_VERT_SIZE", 8);
    }
    if (enc.Put("FRAMERATE_FLAG", 1)) {
      if (enc.Put("FRAMERATEIND", 1) == 0) {
        enc.Put("FRAMERATENR", 8);
        enc.Put("FRAMERATEDR", 4);
      } else {
        enc.Put("FRAMERATEEXP", 16);
      }
    }
    if (enc.Put("COLOR_FORMAT_FLAG", 1)) {
      enc.Put("COLOR_PRIM", 8);
      enc.Put("TRANSFER_CHAR", 8);
      enc.Put("MATRIX_COEF", 8);
    }
  }
  std::uint32_t count = 0;
  if (enc.Put("HRD_PARAM_FLAG", 1)) {
    count = enc.Put("HRD_NUM_LEAKY_BUCKETS", 5);
    enc.Put("BIT_RATE_EXPONENT", 4);
    enc.Put("BUFFER_SIZE_EXPONENT", 4);
    for (std::uint32_t n = 0; n < count; ++n) {
      enc.packer.Put(16, n < h.buckets.size() ? h.buckets[n].first : 0);
      enc.packer.Put(16, n < h.buckets.size() ? h.buckets[n].second : 0);
    }
  }
  e.sequenceBits = enc.packer.BitCount() - seqStart;
  enc.packer.Trailing();
  enc.packer.PutBytes({0x00, 0x00, 0x01, 0x0E});
  const std::size_t epStart = enc.packer.BitCount();
  for (const auto& [name, width] : std::vector<std::pair<const char*, std::uint32_t>>{
           {"BROKEN_LINK", 1}, {"CLOSED_ENTRY", 1}, {"PANSCAN_FLAG", 1}, {"REFDIST_FLAG", 1},
           {"LOOPFILTER", 1}, {"FASTUVMC", 1}, {"EXTENDED_MV", 1}, {"DQUANT", 2},
           {"VSTRANSFORM", 1}, {"OVERLAP", 1}, {"QUANTIZER", 2}})
    enc.Put(name, width);
  for (std::uint32_t n = 0; n < count; ++n) enc.packer.Put(8, n < h.full.size() ? h.full[n] : 0);
  if (enc.Put("CODED_SIZE_FLAG", 1)) {
    enc.Put("CODED_WIDTH", 12);
    enc.Put("CODED_HEIGHT", 12);
  }
  if (e.elements["EXTENDED_MV"]) enc.Put("EXTENDED_DMV", 1);
  if (enc.Put("RANGE_MAPY_FLAG", 1)) enc.Put("RANGE_MAPY", 3);
  if (enc.Put("RANGE_MAPUV_FLAG", 1)) enc.Put("RANGE_MAPUV", 3);
  e.entryPointBits = enc.packer.BitCount() - epStart;
  enc.packer.Trailing();
  e.bytes = enc.packer.Bytes();
  return e;
}

std::uint32_t BitAt(const std::vector<std::uint8_t>& bytes, std::size_t i) {
  if (i / 8 >= bytes.size()) return 0;
  return (static_cast<std::uint32_t>(bytes[i / 8]) >> (7 - i % 8)) & 1u;
}

}  // namespace vc1build

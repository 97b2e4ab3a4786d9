#include "writer_test_support.h"

#include <cstdio>

namespace writertest {

namespace {

class BitWriter {
 public:
  void Put(std::uint32_t width, std::uint32_t value) {
    for (std::uint32_t i = width; i-- > 0;) {
      if (bit_ == 0) bytes_.push_back(0);
      if ((value >> i) & 1u) bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (0x80u >> bit_));
      bit_ = (bit_ + 1) & 7u;
    }
  }
  // A 1 bit, then zeros to the byte boundary.
  void Stuff() {
    Put(1, 1);
    while (bit_ != 0) Put(1, 0);
  }
  Bytes Take() { return std::move(bytes_); }

 private:
  Bytes bytes_;
  std::uint32_t bit_ = 0;
};

void Le(Bytes& out, std::uint64_t v, int n) {
  for (int i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// GUID in its stored form: first three groups little-endian.
Bytes Guid(std::uint32_t a, std::uint16_t b, std::uint16_t c, std::uint64_t d) {
  Bytes g;
  Le(g, a, 4);
  Le(g, b, 2);
  Le(g, c, 2);
  for (int i = 7; i >= 0; --i) g.push_back(static_cast<std::uint8_t>(d >> (8 * i)));
  return g;
}

Bytes Object(const Bytes& id, const Bytes& body) {
  Bytes o = id;
  Le(o, 24 + body.size(), 8);
  o.insert(o.end(), body.begin(), body.end());
  return o;
}

const Bytes kHeaderObject = Guid(0x75B22630, 0x668E, 0x11CF, 0xA6D900AA0062CE6Cull);
const Bytes kStreamProperties = Guid(0xB7DC0791, 0xA9B7, 0x11CF, 0x8EE600C00C205365ull);
const Bytes kVideoMedia = Guid(0xBC19EFC0, 0x5B4D, 0x11CF, 0xA8FD00805F5C442Bull);
const Bytes kAudioMedia = Guid(0xF8699E40, 0x5B4D, 0x11CF, 0xA8FD00805F5C442Bull);
const Bytes kHeaderExtension = Guid(0x5FBF03B5, 0xA92E, 0x11CF, 0x8EE300C00C205365ull);
const Bytes kExtendedStreamProperties = Guid(0x14E6A5CB, 0xC672, 0x4332, 0x8399A96952065B5Aull);

}  // namespace

Bytes SequenceAndEntryPoint(const SequenceOptions& o) {
  BitWriter s;
  s.Put(2, 3);                       // PROFILE: advanced
  s.Put(3, 1);                       // LEVEL
  s.Put(2, 1);                       // COLORDIFF_FORMAT
  s.Put(3, 0);                       // FRMRTQ_POSTPROC
  s.Put(5, 0);                       // BITRTQ_POSTPROC
  s.Put(1, 0);                       // POSTPROCFLAG
  s.Put(12, o.codedWidth / 2 - 1);   // MAX_CODED_WIDTH
  s.Put(12, o.codedHeight / 2 - 1);  // MAX_CODED_HEIGHT
  s.Put(1, 0);                       // PULLDOWN
  s.Put(1, o.interlace ? 1 : 0);     // INTERLACE
  s.Put(1, 0);                       // TFCNTRFLAG
  s.Put(1, 0);                       // FINTERPFLAG
  s.Put(1, 1);                       // RESERVED
  s.Put(1, 0);                       // PSF
  s.Put(1, 0);                       // DISPLAY_EXT
  s.Put(1, 0);                       // HRD_PARAM_FLAG
  s.Stuff();
  BitWriter e;
  e.Put(1, 0);  // BROKEN_LINK
  e.Put(1, 1);  // CLOSED_ENTRY
  e.Put(1, 0);  // PANSCAN_FLAG
  e.Put(1, 0);  // REFDIST_FLAG
  e.Put(1, 1);  // LOOPFILTER
  e.Put(1, 0);  // FASTUVMC
  e.Put(1, 0);  // EXTENDED_MV
  e.Put(2, 0);  // DQUANT
  e.Put(1, 1);  // VSTRANSFORM
  e.Put(1, 0);  // OVERLAP
  e.Put(2, 0);  // QUANTIZER
  e.Put(1, 0);  // CODED_SIZE_FLAG
  e.Put(1, 0);  // RANGE_MAPY_FLAG
  e.Put(1, 0);  // RANGE_MAPUV_FLAG
  e.Stuff();
  return Join({{0, 0, 1, 0x0F}, s.Take(), {0, 0, 1, 0x0E}, e.Take()});
}

Bytes AsfFile(const AsfOptions& o) {
  const std::uint16_t kStream = 1;
  std::vector<Bytes> objects;

  Bytes sp = o.video ? kVideoMedia : kAudioMedia;
  sp.resize(32, 0);  // error correction type (16 bytes)
  Le(sp, 0, 8);      // time offset
  Bytes typeSpecific;
  if (o.video) {
    Le(typeSpecific, 320, 4);  // width
    Le(typeSpecific, 240, 4);  // height
    typeSpecific.push_back(2);
    Le(typeSpecific, 40 + o.codecData.size(), 2);
    Le(typeSpecific, 40 + o.codecData.size(), 4);  // bitmap header size
    Le(typeSpecific, 320, 4);
    Le(typeSpecific, 240, 4);
    Le(typeSpecific, 1, 2);
    Le(typeSpecific, 24, 2);
    typeSpecific.insert(typeSpecific.end(), {'W', 'V', 'C', '1'});
    typeSpecific.resize(51, 0);
    typeSpecific.insert(typeSpecific.end(), o.codecData.begin(), o.codecData.end());
  } else {
    typeSpecific.resize(18, 0);
  }
  Le(sp, typeSpecific.size(), 4);
  Le(sp, 0, 4);        // error correction data length
  Le(sp, kStream, 2);  // flags: stream number
  Le(sp, 0, 4);        // reserved
  sp.insert(sp.end(), typeSpecific.begin(), typeSpecific.end());
  objects.push_back(Object(kStreamProperties, sp));

  if (o.timePerFrame100ns != 0) {
    Bytes esp;
    Le(esp, 0, 8);
    Le(esp, 0, 8);
    for (int i = 0; i < 7; ++i) Le(esp, 0, 4);
    Le(esp, 0, 4);  // flags
    Le(esp, kStream, 2);
    Le(esp, 0, 2);
    Le(esp, o.timePerFrame100ns, 8);
    Le(esp, 0, 2);
    Le(esp, 0, 2);
    Bytes sub = Object(kExtendedStreamProperties, esp);
    Bytes ext(16, 0);
    Le(ext, 6, 2);
    Le(ext, sub.size(), 4);
    ext.insert(ext.end(), sub.begin(), sub.end());
    objects.push_back(Object(kHeaderExtension, ext));
  }

  Bytes body;
  Le(body, objects.size(), 4);
  body.push_back(1);
  body.push_back(2);
  for (const Bytes& obj : objects) body.insert(body.end(), obj.begin(), obj.end());
  Bytes file = Object(kHeaderObject, body);
  file.resize(file.size() + 64, 0);  // something of a data object behind the header
  return file;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

Bytes Join(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace writertest

// Baseline TIFF decoding: reads the first IFD, checks every field and strip against the buffer,
// then converts the strips to RGBA.
#include "resources/tiff.h"

#include <algorithm>
#include <utility>

namespace vthost {
namespace {

constexpr uint32_t kMaxSide = 16384;
// Real baseline files carry a few dozen entries; the cap keeps a hostile count from costing time.
constexpr uint32_t kMaxEntries = 1024;

constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;

bool Fail(std::string* error, const char* why) {
  if (error) *error = why;
  return false;
}

class Reader {
 public:
  Reader(const uint8_t* data, size_t size, bool big_endian)
    : data_(data), size_(size), big_(big_endian) {}

  // True when [offset, offset + length) lies inside the buffer; written so nothing overflows.
  bool Has(uint64_t offset, uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }
  // The readers below expect the caller to have checked the range with Has().
  uint16_t U16(uint64_t at) const {
    const uint8_t* p = data_ + at;
    return big_ ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
  }
  uint32_t U32(uint64_t at) const {
    const uint8_t* p = data_ + at;
    return big_ ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  }
  const uint8_t* At(uint64_t at) const { return data_ + at; }

 private:
  const uint8_t* data_;
  size_t size_;
  bool big_;
};

struct Field {
  bool present = false;
  uint64_t entry = 0;  // offset of the 12-byte IFD entry
};

// The values of a SHORT or LONG field, refusing other types and counts outside [1, max_count].
// Values of four bytes or fewer sit left-justified in the entry itself, whatever the byte order.
bool Values(const Reader& r, const Field& f, uint32_t max_count, std::vector<uint32_t>* out) {
  const uint16_t type = r.U16(f.entry + 2);
  const uint32_t count = r.U32(f.entry + 4);
  if ((type != kTypeShort && type != kTypeLong) || count == 0 || count > max_count) return false;
  const uint64_t width = type == kTypeShort ? 2 : 4;
  const uint64_t length = uint64_t(count) * width;
  const uint64_t at = length <= 4 ? f.entry + 8 : r.U32(f.entry + 8);
  if (!r.Has(at, length)) return false;
  out->resize(count);
  for (uint32_t i = 0; i < count; ++i)
    (*out)[i] = type == kTypeShort ? r.U16(at + i * width) : r.U32(at + i * width);
  return true;
}

// A single-valued field, or fallback when the file leaves it out.
bool One(const Reader& r, const Field& f, uint32_t fallback, uint32_t* value) {
  if (!f.present) {
    *value = fallback;
    return true;
  }
  std::vector<uint32_t> v;
  if (!Values(r, f, 1, &v)) return false;
  *value = v[0];
  return true;
}

}  // namespace

bool DecodeTiff(const uint8_t* data, size_t size, Image* image, std::string* error) {
  if (!image) return Fail(error, "no image to fill");
  if (!data || size < 8) return Fail(error, "too short for a TIFF header");
  bool big;
  if (data[0] == 'I' && data[1] == 'I') big = false;
  else if (data[0] == 'M' && data[1] == 'M') big = true;
  else return Fail(error, "not a TIFF (bad byte-order mark)");
  const Reader r(data, size, big);
  if (r.U16(2) != 42) return Fail(error, "not a TIFF (bad magic number)");

  const uint64_t ifd = r.U32(4);
  if (!r.Has(ifd, 2)) return Fail(error, "IFD offset past the end");
  const uint32_t entries = r.U16(ifd);
  if (entries == 0) return Fail(error, "empty IFD");
  if (entries > kMaxEntries) return Fail(error, "too many IFD entries");
  if (!r.Has(ifd + 2, uint64_t(entries) * 12)) return Fail(error, "IFD runs past the end");

  Field width_f, height_f, bits_f, compression_f, photometric_f, offsets_f, samples_f,
      rows_f, counts_f, planar_f, extra_f;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint64_t entry = ifd + 2 + uint64_t(i) * 12;
    Field* f = nullptr;
    switch (r.U16(entry)) {
      case 256: f = &width_f; break;
      case 257: f = &height_f; break;
      case 258: f = &bits_f; break;
      case 259: f = &compression_f; break;
      case 262: f = &photometric_f; break;
      case 273: f = &offsets_f; break;
      case 277: f = &samples_f; break;
      case 278: f = &rows_f; break;
      case 279: f = &counts_f; break;
      case 284: f = &planar_f; break;
      case 338: f = &extra_f; break;
      default: break;  // tags a baseline reader may skip (resolution, software, ...)
    }
    if (f) *f = Field{true, entry};
  }

  uint32_t width, height, compression, photometric, samples, rows_per_strip, planar;
  if (!width_f.present || !height_f.present) return Fail(error, "missing image size");
  if (!One(r, width_f, 0, &width) || !One(r, height_f, 0, &height))
    return Fail(error, "bad image size field");
  if (width == 0 || height == 0) return Fail(error, "empty image");
  if (width > kMaxSide || height > kMaxSide) return Fail(error, "image too large");
  if (!One(r, compression_f, 1, &compression)) return Fail(error, "bad Compression field");
  if (compression != 1) return Fail(error, "compressed TIFF not supported");
  if (!photometric_f.present) return Fail(error, "missing PhotometricInterpretation");
  if (!One(r, photometric_f, 0, &photometric))
    return Fail(error, "bad PhotometricInterpretation field");
  if (!One(r, samples_f, 1, &samples)) return Fail(error, "bad SamplesPerPixel field");
  if (photometric == 1) {
    if (samples != 1) return Fail(error, "grey image must have one sample per pixel");
  } else if (photometric == 2) {
    if (samples != 3 && samples != 4) return Fail(error, "RGB image must have 3 or 4 samples");
  } else {
    return Fail(error, "unsupported PhotometricInterpretation");
  }
  if (!One(r, planar_f, 1, &planar)) return Fail(error, "bad PlanarConfiguration field");
  if (planar != 1 && samples > 1) return Fail(error, "planar TIFF not supported");

  // Absent BitsPerSample means one bit per sample, which this reader does not handle.
  std::vector<uint32_t> bits;
  if (!bits_f.present || !Values(r, bits_f, samples, &bits))
    return Fail(error, "bad BitsPerSample field");
  if (bits.size() != 1 && bits.size() != samples) return Fail(error, "bad BitsPerSample field");
  for (uint32_t b : bits)
    if (b != 8) return Fail(error, "only 8 bits per sample supported");

  // The fourth RGB sample is alpha whether or not ExtraSamples says so; 1 marks it premultiplied.
  bool premultiplied = false;
  const uint32_t extra = photometric == 2 ? samples - 3 : 0;
  if (extra_f.present) {
    std::vector<uint32_t> kinds;
    if (extra == 0 || !Values(r, extra_f, extra, &kinds) || kinds.size() != extra)
      return Fail(error, "ExtraSamples disagrees with SamplesPerPixel");
    premultiplied = kinds[0] == 1;
  }

  if (!One(r, rows_f, 0xFFFFFFFFu, &rows_per_strip)) return Fail(error, "bad RowsPerStrip field");
  if (rows_per_strip == 0) return Fail(error, "RowsPerStrip is zero");
  rows_per_strip = std::min(rows_per_strip, height);
  const uint32_t strips = uint32_t((uint64_t(height) + rows_per_strip - 1) / rows_per_strip);
  std::vector<uint32_t> offsets, counts;
  if (!offsets_f.present || !Values(r, offsets_f, strips, &offsets) || offsets.size() != strips)
    return Fail(error, "bad StripOffsets field");
  if (!counts_f.present || !Values(r, counts_f, strips, &counts) || counts.size() != strips)
    return Fail(error, "bad StripByteCounts field");

  // Strips may legally point at shared bytes, but a file smaller than its pixels is refused
  // anyway: it keeps a tiny hostile file from asking for a gigabyte of output.
  const uint64_t row_bytes = uint64_t(width) * samples;
  if (row_bytes * height > size) return Fail(error, "pixel data larger than the file");
  for (uint32_t s = 0; s < strips; ++s) {
    const uint64_t rows = std::min<uint64_t>(rows_per_strip, height - uint64_t(s) * rows_per_strip);
    const uint64_t need = rows * row_bytes;
    if (counts[s] < need) return Fail(error, "strip shorter than its rows");
    if (!r.Has(offsets[s], need)) return Fail(error, "strip past the end");
  }

  Image out;
  out.width = int32_t(width);
  out.height = int32_t(height);
  out.rgba.resize(size_t(width) * height * 4);
  uint8_t* dst = out.rgba.data();
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t s = y / rows_per_strip;
    const uint8_t* src = r.At(offsets[s] + uint64_t(y - s * rows_per_strip) * row_bytes);
    for (uint32_t x = 0; x < width; ++x, src += samples, dst += 4) {
      if (samples == 1) {
        dst[0] = dst[1] = dst[2] = src[0];
        dst[3] = 255;
        continue;
      }
      const uint8_t a = samples == 4 ? src[3] : 255;
      for (int c = 0; c < 3; ++c) {
        uint32_t v = src[c];
        if (premultiplied) v = a == 0 ? 0 : std::min<uint32_t>(255, (v * 255 + a / 2) / a);
        dst[c] = uint8_t(v);
      }
      dst[3] = a;
    }
  }
  *image = std::move(out);
  if (error) error->clear();
  return true;
}

}  // namespace vthost

// Baseline TIFF decoding: reads the first IFD, checks every field and strip against the buffer,
// then converts the strips to RGBA.
#include "resources/tiff.h"

#include <algorithm>

namespace vthost {
namespace {

constexpr uint32_t kMaxSide = 16384;
// Real baseline files carry a few dozen entries; the cap keeps a hostile count from costing time.
constexpr uint32_t kMaxEntries = 1024;
constexpr uint64_t kEntryBytes = 12;

constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;

// The file's bytes and their byte order. Every read below expects Has() to have checked its range.
struct File {
  const uint8_t* data = nullptr;
  size_t size = 0;
  bool bigEndian = false;
};

// True when [offset, offset + length) lies inside the file; written so nothing overflows.
bool Has(const File& file, uint64_t offset, uint64_t length) {
  return offset <= file.size && length <= file.size - offset;
}

uint16_t U16(const File& file, uint64_t at) {
  const uint8_t* p = file.data + at;
  return file.bigEndian ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
}

uint32_t U32(const File& file, uint64_t at) {
  const uint8_t* p = file.data + at;
  return file.bigEndian ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                        : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

bool ReadHeader(const uint8_t* data, size_t size, File* file, std::string* error) {
  if (data == nullptr || size < 8) return *error = "too short for a TIFF header", false;
  const bool little = data[0] == 'I' && data[1] == 'I', big = data[0] == 'M' && data[1] == 'M';
  if (!little && !big) return *error = "not a TIFF (bad byte-order mark)", false;
  *file = File{data, size, big};
  if (U16(*file, 2) != 42) return *error = "not a TIFF (bad magic number)", false;
  return true;
}

struct Field {
  bool present = false;
  uint64_t entry = 0;  // offset of the 12-byte IFD entry
};

// The entries of the tags this reader uses; a later entry of a tag stands for it.
struct Fields {
  Field width, height, bits, compression, photometric, offsets, samples, rowsPerStrip, counts, planar, extra;
};

// Null for the tags a baseline reader may skip (resolution, software, ...).
Field* FieldOf(Fields* fields, uint16_t tag) {
  switch (tag) {
    case 256: return &fields->width;
    case 257: return &fields->height;
    case 258: return &fields->bits;
    case 259: return &fields->compression;
    case 262: return &fields->photometric;
    case 273: return &fields->offsets;
    case 277: return &fields->samples;
    case 278: return &fields->rowsPerStrip;
    case 279: return &fields->counts;
    case 284: return &fields->planar;
    case 338: return &fields->extra;
    default: return nullptr;
  }
}

bool ReadFields(const File& file, Fields* fields, std::string* error) {
  const uint64_t ifd = U32(file, 4);
  if (!Has(file, ifd, 2)) return *error = "IFD offset past the end", false;
  const uint32_t entries = U16(file, ifd);
  if (entries == 0) return *error = "empty IFD", false;
  if (entries > kMaxEntries) return *error = "too many IFD entries", false;
  if (!Has(file, ifd + 2, uint64_t(entries) * kEntryBytes)) return *error = "IFD runs past the end", false;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint64_t entry = ifd + 2 + uint64_t(i) * kEntryBytes;
    Field* field = FieldOf(fields, U16(file, entry));
    if (field != nullptr) *field = Field{true, entry};
  }
  return true;
}

// The values of a SHORT or LONG field, refusing other types and counts outside [1, maxCount].
// Values of four bytes or fewer sit left-justified in the entry itself, whatever the byte order.
bool Values(const File& file, const Field& field, uint32_t maxCount, std::vector<uint32_t>* out) {
  const uint16_t type = U16(file, field.entry + 2);
  const uint32_t count = U32(file, field.entry + 4);
  if ((type != kTypeShort && type != kTypeLong) || count == 0 || count > maxCount) return false;
  const uint64_t width = type == kTypeShort ? 2 : 4;
  const uint64_t length = uint64_t(count) * width;
  const uint64_t at = length <= 4 ? field.entry + 8 : U32(file, field.entry + 8);
  if (!Has(file, at, length)) return false;
  out->resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    (*out)[i] = type == kTypeShort ? U16(file, at + i * width) : U32(file, at + i * width);
  }
  return true;
}

// A single-valued field, or fallback when the file leaves it out.
bool One(const File& file, const Field& field, uint32_t fallback, uint32_t* value) {
  if (!field.present) return *value = fallback, true;
  std::vector<uint32_t> values;
  if (!Values(file, field, 1, &values)) return false;
  return *value = values[0], true;
}

// What the fields say of the pixels, once checked.
struct Layout {
  uint32_t width = 0, height = 0;
  uint32_t photometric = 0;  // 1 grey, 2 RGB
  uint32_t samples = 0;
  uint32_t rowsPerStrip = 0;  // at most the height
  bool premultiplied = false;
};

uint64_t RowBytes(const Layout& layout) { return uint64_t(layout.width) * layout.samples; }

bool ReadSize(const File& file, const Fields& fields, Layout* layout, std::string* error) {
  if (!fields.width.present || !fields.height.present) return *error = "missing image size", false;
  if (!One(file, fields.width, 0, &layout->width) || !One(file, fields.height, 0, &layout->height)) {
    return *error = "bad image size field", false;
  }
  if (layout->width == 0 || layout->height == 0) return *error = "empty image", false;
  if (layout->width > kMaxSide || layout->height > kMaxSide) return *error = "image too large", false;
  return true;
}

bool CheckUncompressed(const File& file, const Fields& fields, std::string* error) {
  uint32_t compression = 0;
  if (!One(file, fields.compression, 1, &compression)) return *error = "bad Compression field", false;
  if (compression != 1) return *error = "compressed TIFF not supported", false;
  return true;
}

bool ReadColour(const File& file, const Fields& fields, Layout* layout, std::string* error) {
  if (!fields.photometric.present) return *error = "missing PhotometricInterpretation", false;
  if (!One(file, fields.photometric, 0, &layout->photometric)) {
    return *error = "bad PhotometricInterpretation field", false;
  }
  if (!One(file, fields.samples, 1, &layout->samples)) return *error = "bad SamplesPerPixel field", false;
  if (layout->photometric == 1) {
    if (layout->samples != 1) return *error = "grey image must have one sample per pixel", false;
  } else if (layout->photometric == 2) {
    if (layout->samples != 3 && layout->samples != 4) return *error = "RGB image must have 3 or 4 samples", false;
  } else {
    return *error = "unsupported PhotometricInterpretation", false;
  }
  return true;
}

bool CheckChunky(const File& file, const Fields& fields, const Layout& layout, std::string* error) {
  uint32_t planar = 0;
  if (!One(file, fields.planar, 1, &planar)) return *error = "bad PlanarConfiguration field", false;
  if (planar != 1 && layout.samples > 1) return *error = "planar TIFF not supported", false;
  return true;
}

// Absent BitsPerSample means one bit per sample, which this reader does not handle.
bool CheckEightBits(const File& file, const Fields& fields, const Layout& layout, std::string* error) {
  std::vector<uint32_t> bits;
  if (!fields.bits.present || !Values(file, fields.bits, layout.samples, &bits)) {
    return *error = "bad BitsPerSample field", false;
  }
  if (bits.size() != 1 && bits.size() != layout.samples) return *error = "bad BitsPerSample field", false;
  const auto eight = [](uint32_t b) { return b == 8; };
  if (!std::all_of(bits.begin(), bits.end(), eight)) return *error = "only 8 bits per sample supported", false;
  return true;
}

// The fourth RGB sample is alpha whether or not ExtraSamples says so; 1 marks it premultiplied.
bool ReadAlpha(const File& file, const Fields& fields, Layout* layout, std::string* error) {
  if (!fields.extra.present) return true;
  const uint32_t extra = layout->photometric == 2 ? layout->samples - 3 : 0;
  std::vector<uint32_t> kinds;
  if (extra == 0 || !Values(file, fields.extra, extra, &kinds) || kinds.size() != extra) {
    return *error = "ExtraSamples disagrees with SamplesPerPixel", false;
  }
  layout->premultiplied = kinds[0] == 1;
  return true;
}

bool ReadRowsPerStrip(const File& file, const Fields& fields, Layout* layout, std::string* error) {
  uint32_t rows = 0;
  if (!One(file, fields.rowsPerStrip, 0xFFFFFFFFu, &rows)) return *error = "bad RowsPerStrip field", false;
  if (rows == 0) return *error = "RowsPerStrip is zero", false;
  layout->rowsPerStrip = std::min(rows, layout->height);
  return true;
}

bool ReadLayout(const File& file, const Fields& fields, Layout* layout, std::string* error) {
  return ReadSize(file, fields, layout, error) && CheckUncompressed(file, fields, error) &&
         ReadColour(file, fields, layout, error) && CheckChunky(file, fields, *layout, error) &&
         CheckEightBits(file, fields, *layout, error) && ReadAlpha(file, fields, layout, error) &&
         ReadRowsPerStrip(file, fields, layout, error);
}

struct Strips {
  std::vector<uint32_t> offsets, counts;
};

bool ReadStrips(const File& file, const Fields& fields, const Layout& layout, Strips* strips, std::string* error) {
  const uint32_t count = uint32_t((uint64_t(layout.height) + layout.rowsPerStrip - 1) / layout.rowsPerStrip);
  if (!fields.offsets.present || !Values(file, fields.offsets, count, &strips->offsets) ||
      strips->offsets.size() != count) {
    return *error = "bad StripOffsets field", false;
  }
  if (!fields.counts.present || !Values(file, fields.counts, count, &strips->counts) ||
      strips->counts.size() != count) {
    return *error = "bad StripByteCounts field", false;
  }
  return true;
}

// Strips may legally point at shared bytes, but a file smaller than its pixels is refused anyway:
// it keeps a tiny hostile file from asking for a gigabyte of output.
bool CheckStrips(const File& file, const Layout& layout, const Strips& strips, std::string* error) {
  const uint64_t rowBytes = RowBytes(layout);
  if (rowBytes * layout.height > file.size) return *error = "pixel data larger than the file", false;
  for (uint32_t s = 0; s < strips.offsets.size(); ++s) {
    const uint64_t rows = std::min<uint64_t>(layout.rowsPerStrip, layout.height - uint64_t(s) * layout.rowsPerStrip);
    const uint64_t need = rows * rowBytes;
    if (strips.counts[s] < need) return *error = "strip shorter than its rows", false;
    if (!Has(file, strips.offsets[s], need)) return *error = "strip past the end", false;
  }
  return true;
}

void ConvertPixel(const Layout& layout, const uint8_t* src, uint8_t* dst) {
  if (layout.samples == 1) {
    dst[0] = dst[1] = dst[2] = src[0];
    dst[3] = 255;
    return;
  }
  const uint8_t a = layout.samples == 4 ? src[3] : 255;
  for (int c = 0; c < 3; ++c) {
    uint32_t v = src[c];
    if (layout.premultiplied) v = a == 0 ? 0 : std::min<uint32_t>(255, (v * 255 + a / 2) / a);
    dst[c] = uint8_t(v);
  }
  dst[3] = a;
}

Image Converted(const File& file, const Layout& layout, const Strips& strips) {
  Image image;
  image.width = int32_t(layout.width);
  image.height = int32_t(layout.height);
  image.rgba.resize(size_t(layout.width) * layout.height * 4);
  uint8_t* dst = image.rgba.data();
  for (uint32_t y = 0; y < layout.height; ++y) {
    const uint32_t s = y / layout.rowsPerStrip;
    const uint8_t* src = file.data + (strips.offsets[s] + uint64_t(y - s * layout.rowsPerStrip) * RowBytes(layout));
    for (uint32_t x = 0; x < layout.width; ++x, src += layout.samples, dst += 4) ConvertPixel(layout, src, dst);
  }
  return image;
}

}  // namespace

bool DecodeTiff(const uint8_t* data, size_t size, Image* image, std::string* error) {
  if (image == nullptr) return *error = "no image to fill", false;
  File file;
  Fields fields;
  Layout layout;
  Strips strips;
  if (!ReadHeader(data, size, &file, error) || !ReadFields(file, &fields, error) ||
      !ReadLayout(file, fields, &layout, error) || !ReadStrips(file, fields, layout, &strips, error) ||
      !CheckStrips(file, layout, strips, error)) {
    return false;
  }
  *image = Converted(file, layout, strips);
  error->clear();
  return true;
}

}  // namespace vthost

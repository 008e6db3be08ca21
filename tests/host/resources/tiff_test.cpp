// Checks the baseline TIFF decoder on files built in memory and on damaged copies (the shipped icon is
// decoded where the module registers it: e2e/entry_test.cpp).
#include "resources/tiff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "cases.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Layout {
  bool big = false;
  uint32_t width = 3, height = 4, samples = 3, photometric = 2;
  uint32_t rows_per_strip = 0;   // 0: the whole picture in one strip
  bool extra_samples = true;     // write ExtraSamples = 2 when there is a fourth sample
  bool long_strips = false;      // strip fields as LONG rather than SHORT
  uint32_t padding_entries = 0;  // unknown tags added to the IFD
  std::map<uint16_t, uint32_t> patch;  // replaces every value of a tag (adds it if missing)
};

uint8_t Sample(uint32_t x, uint32_t y, uint32_t c) { return uint8_t(x * 37 + y * 11 + c * 73 + 5); }

struct Writer {
  bool big;
  Bytes out;
  void Put(uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(uint8_t(v >> 8 * (big ? n - 1 - i : i)));
  }
};

Bytes Build(const Layout& l) {
  const uint32_t pixels = l.width * l.height * l.samples, ifd = 8 + pixels + pixels % 2;
  Writer w{l.big, {}};
  w.Put(l.big ? 0x4D4D : 0x4949, 2), w.Put(42, 2), w.Put(ifd, 4);
  const uint32_t rps = l.rows_per_strip ? l.rows_per_strip : l.height;
  std::vector<uint32_t> offsets, counts;
  for (uint32_t y = 0; y < l.height; ++y) {
    if (y % rps == 0) offsets.push_back(uint32_t(w.out.size())), counts.push_back(0);
    for (uint32_t x = 0; x < l.width; ++x)
      for (uint32_t c = 0; c < l.samples; ++c) w.out.push_back(Sample(x, y, c)), ++counts.back();
  }
  const uint16_t strip_type = l.long_strips ? 4 : 3;
  std::map<uint16_t, std::pair<uint16_t, std::vector<uint32_t>>> tags = {
    {256, {3, {l.width}}}, {257, {3, {l.height}}}, {258, {3, std::vector<uint32_t>(l.samples, 8)}},
    {259, {3, {1}}}, {262, {3, {l.photometric}}}, {273, {strip_type, offsets}},
    {277, {3, {l.samples}}}, {278, {strip_type, {rps}}}, {279, {strip_type, counts}}};
  if (l.samples == 4 && l.extra_samples) tags[338] = {3, {2}};
  for (uint32_t i = 0; i < l.padding_entries; ++i) tags[uint16_t(40000 + i)] = {3, {0}};
  for (const auto& [tag, value] : l.patch) {
    auto& t = tags[tag];
    if (t.second.empty()) t = {3, {0}};
    for (auto& v : t.second) v = value;
    if (value > 0xFFFF) t.first = 4;
  }
  w.out.resize(ifd);
  Writer extra{l.big, {}};
  const uint32_t extra_at = ifd + 2 + 12 * uint32_t(tags.size()) + 4;
  w.Put(uint32_t(tags.size()), 2);
  for (const auto& [tag, tv] : tags) {
    const auto& [type, values] = tv;
    const int width = type == 3 ? 2 : 4;
    w.Put(tag, 2), w.Put(type, 2), w.Put(uint32_t(values.size()), 4);
    Writer& dst = values.size() * width <= 4 ? w : extra;
    if (&dst == &extra) w.Put(extra_at + uint32_t(extra.out.size()), 4);
    const size_t start = dst.out.size();
    for (uint32_t v : values) dst.Put(v, width);
    while (&dst == &w && w.out.size() < start + 4) w.out.push_back(0);
  }
  w.Put(0, 4);
  w.out.insert(w.out.end(), extra.out.begin(), extra.out.end());
  return w.out;
}

bool Decode(const Bytes& b, vthost::Image* image, std::string* error) {
  return vthost::DecodeTiff(b.data(), b.size(), image, error);
}

struct GoodCase { const char* name; Layout layout; };

void PrintTo(const GoodCase& c, std::ostream* out) {
  const Layout& l = c.layout;
  *out << c.name << ": " << l.width << "x" << l.height << ", " << l.samples << " samples, "
       << (l.big ? "big" : "little") << "-endian";
}

class TiffGood : public testing::TestWithParam<GoodCase> {};

TEST_P(TiffGood, DecodesEveryPixel) {
  const Layout& l = GetParam().layout;
  vthost::Image image;
  std::string error;
  ASSERT_TRUE(Decode(Build(l), &image, &error)) << error;
  ASSERT_EQ(image.width, int32_t(l.width));
  ASSERT_EQ(image.height, int32_t(l.height));
  ASSERT_EQ(image.rgba.size(), size_t(l.width) * l.height * 4);
  for (uint32_t y = 0; y < l.height; ++y)
    for (uint32_t x = 0; x < l.width; ++x) {
      const uint8_t* p = &image.rgba[(size_t(y) * l.width + x) * 4];
      const bool grey = l.samples == 1;
      EXPECT_EQ(p[0], Sample(x, y, 0)) << x << "," << y;
      EXPECT_EQ(p[1], Sample(x, y, grey ? 0 : 1)) << x << "," << y;
      EXPECT_EQ(p[2], Sample(x, y, grey ? 0 : 2)) << x << "," << y;
      EXPECT_EQ(p[3], l.samples == 4 ? Sample(x, y, 3) : 255) << x << "," << y;
    }
}

Layout L(bool big, uint32_t samples, uint32_t rps = 0, bool long_strips = false) {
  Layout l;
  l.big = big, l.samples = samples, l.photometric = samples == 1 ? 1 : 2;
  l.rows_per_strip = rps, l.long_strips = long_strips;
  return l;
}

INSTANTIATE_TEST_SUITE_P(Tiff, TiffGood, testing::Values(
  GoodCase{"GreyII", L(false, 1)}, GoodCase{"GreyMM", L(true, 1)},
  GoodCase{"RgbII", L(false, 3)}, GoodCase{"RgbMM", L(true, 3)},
  GoodCase{"RgbaII", L(false, 4)}, GoodCase{"RgbaMM", L(true, 4)},
  GoodCase{"RgbaNoExtraSamples", [] { Layout l = L(false, 4); l.extra_samples = false; return l; }()},
  GoodCase{"StripPerRowShortII", L(false, 3, 1)}, GoodCase{"StripPerRowShortMM", L(true, 4, 1)},
  GoodCase{"UnevenStripsLongII", L(false, 1, 3, true)}, GoodCase{"UnevenStripsLongMM", L(true, 3, 3, true)},
  GoodCase{"UnknownTagsSkipped", [] { Layout l = L(true, 3); l.padding_entries = 20; return l; }()}), CaseName);

struct BadCase { const char* name; const char* reason; std::function<Bytes()> make; };

void PrintTo(const BadCase& c, std::ostream* out) { *out << c.name << ": refused for \"" << c.reason << '"'; }

class TiffBad : public testing::TestWithParam<BadCase> {};

TEST_P(TiffBad, RefusesWithReason) {
  vthost::Image image;
  std::string error;
  EXPECT_FALSE(Decode(GetParam().make(), &image, &error));
  EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
  EXPECT_EQ(image.width, 0);
  EXPECT_TRUE(image.rgba.empty());
}

Bytes Patched(uint16_t tag, uint32_t value, bool big = false) {
  Layout l = L(big, 3);
  l.patch[tag] = value;
  return Build(l);
}
Bytes Truncated(size_t keep) {
  Bytes b = Build(L(false, 4, 1));
  b.resize(std::min(keep, b.size()));
  return b;
}
Bytes WithByte(size_t at, uint8_t value) { Bytes b = Build(L(false, 3)); b[at] = value; return b; }
Bytes IfdAt(uint32_t offset) {
  Bytes b = Build(L(false, 3));
  for (int i = 0; i < 4; ++i) b[4 + i] = uint8_t(offset >> 8 * i);
  return b;
}
size_t RgbSize() { return Build(L(false, 3)).size(); }

INSTANTIATE_TEST_SUITE_P(Tiff, TiffBad, testing::Values(
  BadCase{"Empty", "too short", [] { return Bytes(); }},
  BadCase{"WrongByteOrderMark", "byte-order", [] { return WithByte(0, 'X'); }},
  BadCase{"WrongMagic", "magic", [] { return WithByte(2, 43); }},
  BadCase{"TruncatedHeader", "too short", [] { return Truncated(7); }},
  BadCase{"TruncatedBeforeIfd", "IFD offset", [] { return Truncated(30); }},
  BadCase{"TruncatedInIfd", "IFD runs", [] { return Truncated(Build(L(false, 4, 1)).size() - 60); }},
  BadCase{"TruncatedArrays", "StripByteCounts", [] { return Truncated(Build(L(false, 4, 1)).size() - 1); }},
  BadCase{"IfdAtEnd", "IFD offset", [] { return IfdAt(uint32_t(RgbSize() - 1)); }},
  BadCase{"IfdFarPastEnd", "IFD offset", [] { return IfdAt(0xFFFFFFF0u); }},
  BadCase{"StripFarPastEnd", "strip past", [] { return Patched(273, 0xFFFFFF00u); }},
  BadCase{"StripOverlapsEnd", "strip past", [] { return Patched(273, uint32_t(RgbSize() - 10)); }},
  BadCase{"StripByteCountShort", "strip shorter", [] { return Patched(279, 5); }},
  BadCase{"Compression5", "compressed", [] { return Patched(259, 5, true); }},
  BadCase{"Bits16", "8 bits", [] { return Patched(258, 16); }},
  BadCase{"ZeroWidth", "empty image", [] { return Patched(256, 0); }},
  BadCase{"ZeroHeight", "empty image", [] { return Patched(257, 0, true); }},
  BadCase{"EnormousWidth", "too large", [] { return Patched(256, 0x7FFFFFFFu); }},
  BadCase{"RowsPerStripZero", "RowsPerStrip", [] { return Patched(278, 0); }},
  BadCase{"PhotometricWhiteIsZero", "Photometric", [] { return Patched(262, 0); }},
  BadCase{"PlanarSeparate", "planar", [] { return Patched(284, 2); }},
  BadCase{"GreyWithThreeSamples", "grey", [] { return Patched(262, 1); }},
  BadCase{"TooManyIfdEntries", "too many", [] {
    Layout l = L(false, 3);
    l.padding_entries = 3000;
    return Build(l);
  }}), CaseName);

TEST(Tiff, AssociatedAlphaIsUnpremultiplied) {
  Layout l = L(false, 4);
  l.width = l.height = 1;
  l.patch[338] = 1;
  Bytes b = Build(l);
  b[8] = 64, b[9] = 32, b[10] = 0, b[11] = 128;
  vthost::Image image;
  std::string error;
  ASSERT_TRUE(Decode(b, &image, &error)) << error;
  EXPECT_EQ(image.rgba, (Bytes{128, 64, 0, 128}));
}

TEST(Tiff, SurvivesEverySingleByteCorruption) {
  const Bytes good = Build(L(true, 4, 2));
  for (size_t at = 0; at < good.size(); ++at)
    for (int value : {0, 1, 0x7F, 0xFF, good[at] ^ 0x80}) {
      Bytes b = good;
      b[at] = uint8_t(value);
      vthost::Image image;
      std::string error;  // refused with a reason and nothing filled in, or pixels that fill the buffer
      const bool decoded = Decode(b, &image, &error), filled = image.width > 0 && image.height > 0;
      EXPECT_TRUE(decoded ? filled && image.rgba.size() == size_t(image.width) * image.height * 4 : !filled && !error.empty()) << at;
    }
}

}  // namespace

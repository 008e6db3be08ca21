// The St table: immutable reference-counted strings and the host's number conversions.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <locale>
#include <sstream>
#include <string_view>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include "values.h"

namespace vthost {
namespace {

const std::string kEmpty;

// Released strings are kept for reuse, text capacity included: a reader makes a string per line
// and per field, and reuse spares an allocation for each.
constexpr size_t kSparesKept = 256;

struct Spares {
  std::vector<VtString*> strings;
  ~Spares() {
    for (VtString* text : strings) delete text;
  }
};

Spares g_spares;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// from_chars takes a minus but no plus: one plus sign is skipped, a sign after it is not a number.
bool SkipPlus(const char** begin, const char* end) {
  const bool plus = *begin != end && **begin == '+';
  if (plus) ++*begin;
  return *begin != end && !(plus && (**begin == '+' || **begin == '-'));
}

// The fixed-point numbers of molecule files ([-]digits[.digits]) with at most 15 significant digits:
// mantissa and power of ten are exact doubles, so one division gives the correctly rounded value,
// the same that from_chars gives. Anything else answers false and takes the general path.
bool ParsePlainDecimal(const char* begin, const char* end, double* value) {
  constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  constexpr int kMaxDigits = 15;
  const bool negative = begin != end && *begin == '-';
  if (negative) ++begin;
  uint64_t mantissa = 0;
  int digits = 0;
  int decimals = 0;
  bool point = false;
  for (const char* c = begin; c != end; ++c) {
    if (*c == '.' && !point) {
      point = true;
    } else if (*c >= '0' && *c <= '9') {
      if (++digits > kMaxDigits) return false;
      mantissa = mantissa * 10 + static_cast<uint64_t>(*c - '0');
      if (point) ++decimals;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  const double magnitude = static_cast<double>(mantissa) / kPowersOfTen[decimals];
  *value = negative ? -magnitude : magnitude;
  return true;
}

// The form from_chars reads in chars_format::general, a plus sign aside: [-]digits[.[digits]] or
// [-].digits, then an optional exponent e[+|-]digits. (It also reads inf and nan, which ParseFloat
// refuses anyway.)
bool HasDecimalForm(const char* begin, const char* end) {
  const auto digits = [&](const char* c) {
    while (c != end && *c >= '0' && *c <= '9') ++c;
    return c;
  };
  const char* c = begin;
  if (c != end && *c == '-') ++c;
  const char* integral = digits(c);
  bool any = integral != c;
  c = integral;
  if (c != end && *c == '.') {
    const char* fraction = digits(c + 1);
    any = any || fraction != c + 1;
    c = fraction;
  }
  if (!any) return false;
  if (c != end && (*c == 'e' || *c == 'E')) {
    ++c;
    if (c != end && (*c == '+' || *c == '-')) ++c;
    const char* exponent = digits(c);
    if (exponent == c) return false;
    c = exponent;
  }
  return c == end;
}

int32_t Clamp(int32_t value, int32_t low, int32_t high) { return std::min(std::max(value, low), high); }

// Host strings hold UTF-8. The platform's 8-bit set is the ANSI code page on Windows and UTF-8
// elsewhere; ASCII reads the same in all of them, so only other text is recoded.
#if defined(_WIN32)
bool MustRecode(std::string_view text, int32_t encoding) {
  return encoding != VT_ENCODING_UTF8 &&
         std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Text from one code page to another through UTF-16. Bytes the source page does not define, and
// characters the target page lacks, come out as the system's replacement characters.
std::string Recode(std::string_view text, UINT from, UINT to) {
  if (text.empty() || text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return {};
  const int size = static_cast<int>(text.size());
  const int wideLength = MultiByteToWideChar(from, 0, text.data(), size, nullptr, 0);
  if (wideLength <= 0) return {};
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(from, 0, text.data(), size, wide.data(), wideLength);
  const int length = WideCharToMultiByte(to, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string out(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(to, 0, wide.data(), wideLength, out.data(), length, nullptr, nullptr);
  return out;
}
#endif

VtString* FromBytes(const char* bytes, int32_t length, int32_t encoding) {
  if (bytes == nullptr) return NewString({});
  const size_t size = length < 0 ? std::strlen(bytes) : static_cast<size_t>(length);
  const std::string_view text(bytes, size);
#if defined(_WIN32)
  if (MustRecode(text, encoding)) return NewString(Recode(text, CP_ACP, CP_UTF8));
#endif
  (void)encoding;
  return NewString(text);
}

int32_t ToBytes(const VtString* text, char* buffer, int32_t limit, int32_t encoding) {
  std::string_view source = TextOf(text);
#if defined(_WIN32)
  std::string recoded;
  if (MustRecode(source, encoding)) source = recoded = Recode(source, CP_UTF8, CP_ACP);
#endif
  (void)encoding;
  const size_t whole = std::min(source.size(), static_cast<size_t>(std::numeric_limits<int32_t>::max()));
  if (buffer != nullptr && limit > 0) {
    const size_t copied = std::min(whole, static_cast<size_t>(limit) - 1);
    std::memcpy(buffer, source.data(), copied);
    buffer[copied] = '\0';
  }
  return static_cast<int32_t>(whole);
}

VtString* Share(const VtString* text) {
  if (text == nullptr) return nullptr;
  auto* shared = const_cast<VtString*>(text);
  ++shared->references;
  return shared;
}

void Release(VtString* text) {
  if (text == nullptr || --text->references != 0) return;
  std::vector<VtString*>& spares = g_spares.strings;
  if (spares.size() < kSparesKept) {
    spares.push_back(text);
  } else {
    delete text;
  }
}

int32_t Length(const VtString* text) {
  return static_cast<int32_t>(std::min(TextOf(text).size(), static_cast<size_t>(std::numeric_limits<int32_t>::max())));
}

VtString* Substring(const VtString* text, int32_t start, int32_t count) {
  const std::string& source = TextOf(text);
  const int32_t length = Length(text);
  const int32_t first = Clamp(start, 0, length);
  const int32_t taken = Clamp(count, 0, length - first);
  return NewString(std::string_view(source).substr(static_cast<size_t>(first), static_cast<size_t>(taken)));
}

VtString* TrimTable(const VtString* text) { return NewString(Trim(TextOf(text))); }

int32_t Compare(const VtString* a, const VtString* b, int32_t mode) {
  const std::string& left = TextOf(a);
  const std::string& right = TextOf(b);
  if (mode != VT_COMPARE_IGNORE_CASE) {
    const int order = left.compare(right);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
  }
  const size_t common = std::min(left.size(), right.size());
  for (size_t i = 0; i < common; ++i) {
    const int l = std::tolower(static_cast<unsigned char>(left[i]));
    const int r = std::tolower(static_cast<unsigned char>(right[i]));
    if (l != r) return l < r ? -1 : 1;
  }
  return left.size() == right.size() ? 0 : (left.size() < right.size() ? -1 : 1);
}

VtString* Insert(const VtString* text, int32_t position, const VtString* piece) {
  std::string result = TextOf(text);
  const int32_t at = Clamp(position, 0, Length(text));
  result.insert(static_cast<size_t>(at), TextOf(piece));
  return NewString(std::move(result));
}

VtString* Append(const VtString* text, const VtString* piece) { return NewString(TextOf(text) + TextOf(piece)); }

int32_t ToInt32(const VtString* text, VtBool* error) {
  int32_t value = 0;
  const bool ok = ParseInt32(TextOf(text), &value);
  if (error) *error = ok ? 0 : 1;
  return ok ? value : 0;
}

double ToFloat(const VtString* text, VtBool* error) {
  double value = 0.0;
  const bool ok = ParseFloat(TextOf(text), &value);
  if (error) *error = ok ? 0 : 1;
  return ok ? value : 0.0;
}

}  // namespace

const VtStTable kStTable = {FromBytes, ToBytes, Share,   Release, Length,  Substring,
                            TrimTable, Compare, Insert, Append,  ToInt32, ToFloat};

VtString* NewString(std::string_view text) {
  if (!CurrentHost().Faults().Allow(AllocKind::String)) return nullptr;
  std::vector<VtString*>& spares = g_spares.strings;
  if (spares.empty()) return new VtString{1, std::string(text)};
  VtString* reused = spares.back();
  spares.pop_back();
  reused->references = 1;
  reused->text.clear();
  reused->text.append(text.data(), text.size());
  return reused;
}

const std::string& TextOf(const VtString* text) { return text ? text->text : kEmpty; }

std::string_view Trim(std::string_view text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

bool ParseInt32(std::string_view text, int32_t* value) {
  const std::string_view number = Trim(text);
  const char* begin = number.data();
  const char* end = begin + number.size();
  // hexadecimal: the 32 bits as written, so FFFFFFFF is -1
  if (number.size() > 2 && begin[0] == '0' && (begin[1] == 'x' || begin[1] == 'X')) {
    uint32_t bits = 0;
    const auto [stop, failure] = std::from_chars(begin + 2, end, bits, 16);
    if (failure != std::errc() || stop != end) return false;
    *value = static_cast<int32_t>(bits);
    return true;
  }
  if (!SkipPlus(&begin, end)) return false;
  int32_t parsed = 0;
  const auto [stop, failure] = std::from_chars(begin, end, parsed, 10);
  if (failure != std::errc() || stop != end) return false;
  *value = parsed;
  return true;
}

bool ParseFloatByStream(std::string_view text, double* value) {
  if (!HasDecimalForm(text.data(), text.data() + text.size())) return false;
  std::istringstream stream{std::string(text)};
  stream.imbue(std::locale::classic());
  double parsed = 0.0;
  stream >> parsed;
  if (stream.fail() || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

bool ParseFloat(std::string_view text, double* value) {
  const std::string_view number = Trim(text);
  const char* begin = number.data();
  const char* end = begin + number.size();
  if (!SkipPlus(&begin, end)) return false;
  if (ParsePlainDecimal(begin, end, value)) return true;
#if defined(_LIBCPP_VERSION)
  // libc++ (macOS) has no from_chars for floating point
  return ParseFloatByStream(std::string_view(begin, static_cast<size_t>(end - begin)), value);
#else
  double parsed = 0.0;
  const auto [stop, failure] = std::from_chars(begin, end, parsed, std::chars_format::general);
  if (failure != std::errc() || stop != end || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
#endif
}

}  // namespace vthost

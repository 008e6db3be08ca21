// The St table: immutable reference-counted strings and the host's number conversions.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "values.h"

namespace vthost {
namespace {

const std::string kEmpty;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// from_chars takes a minus but no plus: one plus sign is skipped, a sign after it is not a number.
bool SkipPlus(const char** begin, const char* end) {
  const bool plus = *begin != end && **begin == '+';
  if (plus) ++*begin;
  return *begin != end && !(plus && (**begin == '+' || **begin == '-'));
}

int32_t Clamp(int32_t value, int32_t low, int32_t high) { return std::min(std::max(value, low), high); }

VtString* FromBytes(const char* bytes, int32_t length, int32_t /*encoding*/) {
  if (bytes == nullptr) return NewString({});
  const size_t size = length < 0 ? std::strlen(bytes) : static_cast<size_t>(length);
  return NewString(std::string(bytes, size));
}

int32_t ToBytes(const VtString* text, char* buffer, int32_t limit, int32_t /*encoding*/) {
  const std::string& source = TextOf(text);
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
  if (text != nullptr && --text->references == 0) delete text;
}

int32_t Length(const VtString* text) {
  return static_cast<int32_t>(std::min(TextOf(text).size(), static_cast<size_t>(std::numeric_limits<int32_t>::max())));
}

VtString* Substring(const VtString* text, int32_t start, int32_t count) {
  const std::string& source = TextOf(text);
  const int32_t length = Length(text);
  const int32_t first = Clamp(start, 0, length);
  const int32_t taken = Clamp(count, 0, length - first);
  return NewString(source.substr(static_cast<size_t>(first), static_cast<size_t>(taken)));
}

VtString* TrimTable(const VtString* text) { return NewString(Trim(TextOf(text))); }

int32_t Compare(const VtString* a, const VtString* b, int32_t mode) {
  const std::string& left = TextOf(a);
  const std::string& right = TextOf(b);
  if (mode != VT_COMPARE_IGNORE_CASE) return left.compare(right) < 0 ? -1 : (left == right ? 0 : 1);
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

VtString* NewString(std::string text) {
  if (!CurrentHost().Faults().Allow(AllocKind::String)) return nullptr;
  return new VtString{1, std::move(text)};
}

const std::string& TextOf(const VtString* text) { return text ? text->text : kEmpty; }

std::string Trim(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

bool ParseInt32(const std::string& text, int32_t* value) {
  const std::string number = Trim(text);
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

bool ParseFloat(const std::string& text, double* value) {
  const std::string number = Trim(text);
  const char* begin = number.data();
  const char* end = begin + number.size();
  if (!SkipPlus(&begin, end)) return false;
  double parsed = 0.0;
  const auto [stop, failure] = std::from_chars(begin, end, parsed, std::chars_format::general);
  if (failure != std::errc() || stop != end || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

}  // namespace vthost

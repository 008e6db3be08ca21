// The St table: immutable reference-counted strings, their pieces and the host's number conversions.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include "base/numbers.h"
#include "scene/model.h"
#include "tables/tables.h"

namespace vthost {
namespace {

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

void Release(VtString* text) { ReleaseString(text); }

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

}  // namespace vthost

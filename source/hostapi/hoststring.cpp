// Host strings over the St table.
#include "hostapi/hoststring.h"

#include <utility>

#include "hostapi/hostbinding.h"

namespace vantor {
namespace {

const VtStTable& St() { return *host::Tables().St; }

constexpr int32_t kEncoding8Bit = VT_ENCODING_PLATFORM;

}  // namespace

String::String(const char* text) : handle_(text ? St().FromBytes(text, -1, kEncoding8Bit) : nullptr) {}

String String::FromBytes(const char* bytes, int32_t length) {
  return String(St().FromBytes(bytes, length, kEncoding8Bit));
}

String String::Adopt(VtString* handle) { return String(handle); }

String::String(const String& other) : handle_(other.handle_ ? St().Share(other.handle_) : nullptr) {}

String::String(String&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

String& String::operator=(const String& other) {
  if (this != &other) *this = String(other);
  return *this;
}

String& String::operator=(String&& other) noexcept {
  std::swap(handle_, other.handle_);
  return *this;
}

String::~String() {
  if (handle_) St().Release(handle_);
}

int32_t String::Length() const { return handle_ ? St().Length(handle_) : 0; }

String String::Substring(int32_t start, int32_t count) const {
  return String(St().Substring(handle_, start, count));
}

String String::Trimmed() const { return String(St().Trim(handle_)); }

String String::Inserted(int32_t position, const String& piece) const {
  return String(St().Insert(handle_, position, piece.handle_));
}

String String::Appended(const String& piece) const {
  return String(St().Append(handle_, piece.handle_));
}

int32_t String::Compare(const String& other, int32_t mode) const {
  return St().Compare(handle_, other.handle_, mode);
}

int32_t String::ToInt32(bool* error) const {
  VtBool failed = 0;
  const int32_t value = St().ToInt32(handle_, &failed);
  if (error) *error = failed != 0;
  return value;
}

double String::ToFloat(bool* error) const {
  VtBool failed = 0;
  const double value = St().ToFloat(handle_, &failed);
  if (error) *error = failed != 0;
  return value;
}

int32_t String::ToBytes(char* buffer, int32_t limit) const {
  return St().ToBytes(handle_, buffer, limit, kEncoding8Bit);
}

int32_t String::ToUtf8(char* buffer, int32_t limit) const {
  return St().ToBytes(handle_, buffer, limit, VT_ENCODING_UTF8);
}

std::string String::ToStdString() const {
  const int32_t length = ToBytes(nullptr, 0);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  ToBytes(text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

}  // namespace vantor

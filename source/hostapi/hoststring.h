// Host strings: immutable 8-bit text values shared with the host by reference count.
#pragma once

#include <cstdint>
#include <string>

#include "vantor_host.h"

namespace vantor {

class String {
 public:
  String() = default;
  String(const char* text);  // NOLINT(google-explicit-constructor): literals read as host strings
  static String FromBytes(const char* bytes, int32_t length);
  // Takes over a handle the host returned (its reference becomes this value's).
  static String Adopt(VtString* handle);

  String(const String& other);
  String(String&& other) noexcept;
  String& operator=(const String& other);
  String& operator=(String&& other) noexcept;
  ~String();

  int32_t Length() const;
  bool IsEmpty() const { return Length() == 0; }

  String Substring(int32_t start, int32_t count) const;
  String Trimmed() const;
  String Inserted(int32_t position, const String& piece) const;
  String Appended(const String& piece) const;

  // 0 when equal; mode VT_COMPARE_EXACT or VT_COMPARE_IGNORE_CASE.
  int32_t Compare(const String& other, int32_t mode = VT_COMPARE_EXACT) const;
  bool operator==(const String& other) const { return Compare(other) == 0; }
  bool operator!=(const String& other) const { return Compare(other) != 0; }

  // Text that is not a number gives 0 and sets *error when error is given.
  int32_t ToInt32(bool* error = nullptr) const;
  double ToFloat(bool* error = nullptr) const;

  // 8-bit text into buffer, at most limit - 1 bytes and a NUL. Answers the length of the whole
  // text: an answer >= limit means it did not fit and the buffer holds a cut copy.
  int32_t ToBytes(char* buffer, int32_t limit) const;
  // The same as UTF-8, whatever the platform's 8-bit set: for paths, which must stay exact.
  int32_t ToUtf8(char* buffer, int32_t limit) const;
  std::string ToStdString() const;

  const VtString* Handle() const { return handle_; }

 private:
  explicit String(VtString* handle) : handle_(handle) {}
  VtString* handle_ = nullptr;  // null is the empty string
};

}  // namespace vantor

// Opening the files the module reads, by their UTF-8 or (on Windows) UTF-16 name.
#include "fileopen.h"

namespace vantor {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Bits 10xxxxxx.
bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::u16string Utf16FromUtf8(const char* text, size_t length) {
  std::u16string out;
  out.reserve(length);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  while (i < length) {
    const unsigned char lead = bytes[i];
    // the sequence's length, the bits of its lead byte, and the least code point it may carry
    size_t count = 0;
    char32_t code = 0, least = 0;
    if (lead < 0x80) {
      count = 1, code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      count = 2, code = lead & 0x1Fu, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      count = 3, code = lead & 0x0Fu, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      count = 4, code = lead & 0x07u, least = 0x10000;
    }
    size_t taken = count == 0 ? 0 : 1;
    while (taken > 0 && taken < count && i + taken < length && IsContinuation(bytes[i + taken])) {
      code = (code << 6) | (bytes[i + taken] & 0x3Fu);
      ++taken;
    }
    const bool valid = count > 0 && taken == count && code >= least && code <= 0x10FFFF &&
                       !(code >= 0xD800 && code <= 0xDFFF);
    if (!valid) {
      out.push_back(kReplacement);
      i += taken > 0 ? taken : 1;  // a broken sequence is replaced once, as far as it went
      continue;
    }
    if (code < 0x10000) {
      out.push_back(static_cast<char16_t>(code));
    } else {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FFu)));
    }
    i += count;
  }
  return out;
}

bool OpenForReading(const Filename& name, std::ifstream& stream) {
  char path[kPathBufferSize];
  const int32_t length = name.Path().ToUtf8(path, kPathBufferSize);
  if (length >= kPathBufferSize) return false;
#if defined(_WIN32)
  // wchar_t is UTF-16 on Windows; the narrow open would go through the ANSI code page
  const std::u16string utf16 = Utf16FromUtf8(path, static_cast<size_t>(length));
  const std::wstring wide(utf16.begin(), utf16.end());
  stream.open(wide.c_str());
#else
  stream.open(path);
#endif
  return stream.is_open() && !stream.fail();
}

}  // namespace vantor

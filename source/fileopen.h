// Opening the files the module reads (the element table, molecule files) by their full name: the
// host gives the path as UTF-8, and Windows is asked by the UTF-16 name, so no character is lost
// to the ANSI code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "hostapi/hostfilename.h"

namespace vantor {

// The path travels in a buffer of this many bytes, its NUL included.
constexpr int32_t kPathBufferSize = 999;

// Opens the file for reading. False when its path does not fit the buffer (a cut path would name
// another file) or the file cannot be opened.
bool OpenForReading(const Filename& name, std::ifstream& stream);

// UTF-8 text as UTF-16. A byte that neither begins nor continues a valid sequence (overlong forms,
// surrogates and code points past U+10FFFF included) gives U+FFFD.
std::u16string Utf16FromUtf8(const char* text, size_t length);

}  // namespace vantor

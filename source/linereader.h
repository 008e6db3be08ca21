// Line reading shared by the file readers: fixed-size lines, carriage returns removed.
#pragma once

#include <cstdint>
#include <istream>

#include "hostapi/hoststring.h"

namespace vantor {

// A line holds at most 9,998 characters; a longer one fails the stream.
constexpr std::streamsize kLineCount = 9999;

class LineReader {
 public:
  explicit LineReader(std::istream& in) : in_(in) {}

  enum class Status {
    Read,  // a whole line
    Cut,   // the first kLineCount - 1 characters of a longer line; the stream has failed
    End,   // nothing read: the stream had ended or failed; the line is empty
  };

  // Reads the next line: without its line break or a carriage return before it, cut at a NUL byte.
  Status Next();
  // The line last read (empty after End), as 8-bit text or as a host string.
  const char* Text() const { return buffer_; }
  int32_t Length() const { return length_; }
  String Line() const { return String::FromBytes(buffer_, length_); }
  // Columns [column, column + width) of the line, 1-based, cut to what the line holds.
  String Cut(int32_t column, int32_t width) const;

 private:
  std::istream& in_;
  int32_t length_ = 0;
  char buffer_[kLineCount + 1];
};

}  // namespace vantor

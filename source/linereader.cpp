// Line reading shared by the file readers.
#include "linereader.h"

#include <algorithm>
#include <cstring>

namespace vantor {

LineReader::Status LineReader::Next() {
  buffer_[0] = '\0';
  length_ = 0;
  if (!in_.good()) return Status::End;
  in_.getline(buffer_, kLineCount);
  // gcount counts the line break too, so only an ended stream reads nothing at all
  if (in_.gcount() == 0) return Status::End;
  const Status status = in_.fail() ? Status::Cut : Status::Read;
  size_t length = std::strlen(buffer_);
  // Windows line ends: the carriage return never reaches a field
  if (length > 0 && buffer_[length - 1] == '\r') buffer_[--length] = '\0';
  length_ = static_cast<int32_t>(length);
  return status;
}

String LineReader::Cut(int32_t column, int32_t width) const {
  const int32_t start = std::min(std::max(column - 1, 0), length_);
  const int32_t count = std::min(std::max(width, 0), length_ - start);
  return String::FromBytes(buffer_ + start, count);
}

}  // namespace vantor

// Collections of molecules: the records of an SD file read one at a time, which of them a run
// takes, and the names of the files written for each.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace vthost {

// One record of an SD file: the text up to and including its $$$$ line (or the rest of the file,
// for a last record without one), numbered from 1.
struct Record {
  uint64_t number = 0;
  std::string text;
  std::string title;  // its first line, without the line end
};

// The records of a stream in order, holding one at a time.
class RecordReader {
 public:
  // The longest record read: the reading stops inside a longer one (TooLong), and the stream is
  // read no further (it may be endless).
  static constexpr size_t kMaxRecordBytes = size_t{256} << 20;

  // whole: the stream is one record, whatever it holds (a .mol file); only its title is read.
  RecordReader(std::istream& in, bool whole, size_t maxBytes = kMaxRecordBytes)
      : in_(in), whole_(whole), maxBytes_(maxBytes) {}
  // The next record; false at the end of the stream, or when it could not be read (Failed).
  // keepText: false when only the number and title are wanted (a record another worker converts).
  bool Next(Record* record, bool keepText = true);
  // The record last given was longer than the most: its text is empty, and it is the last.
  bool TooLong() const { return tooLong_; }
  // The number the next record would have.
  uint64_t NextNumber() const { return number_ + 1; }
  // Reading stopped on an error of the stream, not at its end.
  bool Failed() const { return in_.bad(); }

 private:
  std::istream& in_;
  bool whole_;
  size_t maxBytes_;
  bool ended_ = false;
  bool tooLong_ = false;
  uint64_t number_ = 0;
  std::string line_;
  // bytes taken from the stream's buffer and not yet looked at, from pendingAt_
  std::string pending_;
  size_t pendingAt_ = 0;

  // Some bytes in pending_; false at the end of the stream.
  bool Fill();
};

// The records a run takes of each input: 1-based, inclusive; `all` runs to the end.
struct RecordRange {
  static constexpr uint64_t kEnd = UINT64_MAX;
  uint64_t first = 1;
  uint64_t last = 1;

  // "all", "N" or "N-M" with 1 <= N <= M; false with the reason.
  static bool Parse(std::string_view text, RecordRange* range, std::string* error);
  bool Contains(uint64_t number) const { return number >= first && number <= last; }
  bool Several() const { return last > first; }
};

// The name of each output of a collection: a file name with the placeholders {stem} (the input's
// file name without its suffix, "stdin" for standard input), {record} (the record's number) and
// {title} (its title made safe for a file name).
class NameTemplate {
 public:
  enum Placeholder : unsigned { kStem = 1, kRecord = 2, kTitle = 4 };

  // false with the reason when text names a placeholder there is not ("{name}").
  static bool Parse(const std::string& text, NameTemplate* result, std::string* error);

  const std::string& Text() const { return text_; }
  bool Has(unsigned placeholders) const { return (placeholders_ & placeholders) != 0; }
  bool HasAny() const { return placeholders_ != 0; }
  // safeTitle: from SafeTitle.
  std::string Expand(std::string_view stem, uint64_t record, std::string_view safeTitle) const;
  // The folder every name lies in: the template's text up to the last separator before its first
  // placeholder ("." when there is none).
  std::string FixedFolder() const;
  // True when the record's number can be read back from every name, so that records of different
  // numbers never share one: {record} has only text on one side, and a character that is not a
  // digit (or the name's end) beside it on the other.
  bool KeepsRecordsApart() const;
  // True when every name lies in FixedFolder(): no separator after the first placeholder.
  bool FolderIsFixed() const;
  // True when no name of this template can be a name of other: one's text before its first
  // placeholder, or after its last, is neither the start (the end) of the other's. Letters of either
  // case are taken as one.
  bool Disjoint(const NameTemplate& other) const;

 private:
  // The literal text every name starts with (start) or ends with, in one case; all of it where
  // there is no placeholder.
  std::string LiteralEnd(bool start) const;

  struct Part {
    std::string text;  // literal text, or empty for a placeholder
    Placeholder placeholder = kStem;
  };
  std::string text_;
  std::vector<Part> parts_;
  unsigned placeholders_ = 0;
};

// A title as a part of a file name, by one rule on every system: characters that name folders,
// devices or nothing on some system become '_' (separators, : * ? " < > |, control characters,
// bytes that are not well-formed UTF-8: overlong forms, surrogates, past U+10FFFF), blanks and dots
// are taken off its ends, a name Windows keeps for a device (CON, CONIN$, COM1, LPT¹, also before
// blanks or a dot) gets a '_' after it, and it is cut to 100 bytes; "record-N" where nothing is left.
std::string SafeTitle(std::string_view title, uint64_t record);
// The input's file name without its suffix; "stdin" for "-".
std::string StemOf(const std::string& input);

}  // namespace vthost

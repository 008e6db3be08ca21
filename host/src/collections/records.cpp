// The records of an SD file, read a line at a time from a buffer of the stream: no line and no
// record is held longer than its limit, whatever the stream holds (a device of zeros, one endless line).
#include <algorithm>
#include <charconv>
#include <cstring>

#include "vthost/collection.h"

namespace vthost {
namespace {

// The most of a line kept to be looked at: the title, or whether it ends the record.
constexpr size_t kMaxTitleBytes = 4096;
// The most taken from the stream's buffer at once (a string's buffer holds all of it).
constexpr std::streamsize kChunkBytes = 64 << 10;

bool IsBlank(std::string_view line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

// "$$$$", perhaps with blanks or a carriage return after it.
bool EndsRecord(std::string_view line) { return line.substr(0, 4) == "$$$$" && IsBlank(line.substr(4)); }

bool Number(std::string_view text, uint64_t* value) {
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return !text.empty() && failure == std::errc() && end == text.data() + text.size() && *value >= 1;
}

}  // namespace

bool RecordReader::Fill() {
  if (pendingAt_ < pending_.size()) return true;
  pending_.clear();
  pendingAt_ = 0;
  std::streambuf* const buffer = in_.rdbuf();
  // only what the stream's buffer holds once it has a byte: no read waits where a byte at a time
  // would not have waited (standard input may stall between records)
  if (buffer->sgetc() == std::char_traits<char>::eof()) return false;
  const std::streamsize held = std::clamp<std::streamsize>(buffer->in_avail(), 1, kChunkBytes);
  pending_.resize(static_cast<size_t>(held));
  pending_.resize(static_cast<size_t>(buffer->sgetn(pending_.data(), held)));
  return !pending_.empty();
}

bool RecordReader::Next(Record* record, bool keepText) {
  record->text.clear();
  record->title.clear();
  if (ended_) return false;
  bool any = false, blank = true, first = true;
  size_t bytes = 0;
  // the record's text is taken from pending_ a run of lines at a time: before it is filled again,
  // and where the record ends
  size_t textFrom = pendingAt_;
  const auto keep = [&] {
    if (keepText) record->text.append(pending_, textFrom, pendingAt_ - textFrom);
    textFrom = pendingAt_;
  };
  const auto more = [&] {
    if (pendingAt_ < pending_.size()) return true;
    keep();
    const bool filled = Fill();
    textFrom = pendingAt_;
    return filled;
  };
  for (;;) {
    // what is kept of each line: where it lies whole in pending_, or gathered in line_ when it
    // spans two fills
    std::string_view line;
    bool newline = false, read = false, spans = false;
    line_.clear();
    while (!newline && more()) {
      read = true;
      const char* const start = pending_.data() + pendingAt_;
      const size_t held = pending_.size() - pendingAt_;
      const auto* const end = static_cast<const char*>(std::memchr(start, '\n', held));
      const size_t taken = end != nullptr ? static_cast<size_t>(end - start) + 1 : held;
      if (taken > maxBytes_ - bytes) {  // neither held nor read to its end: the stream may have none
        tooLong_ = ended_ = true;
        std::string().swap(record->text);
        record->number = ++number_;
        return true;
      }
      bytes += taken;
      newline = end != nullptr;
      if (newline && !spans) {
        line = std::string_view(start, std::min(taken, kMaxTitleBytes));
      } else {
        line_.append(start, std::min(taken, kMaxTitleBytes - line_.size()));
        spans = true;
      }
      pendingAt_ += taken;
    }
    if (!read) break;
    if (spans) line = line_;
    // the newline goes, or the last byte kept of a longer line
    if (newline) line.remove_suffix(1);
    if (first) {
      record->title = line;
      if (!record->title.empty() && record->title.back() == '\r') record->title.pop_back();
      first = false;
      if (whole_) break;  // the file itself is the record: nothing more is read
    }
    any = true;
    if (EndsRecord(line)) {
      keep();
      record->number = ++number_;
      return true;
    }
    blank = blank && IsBlank(line);
    if (!newline) break;
  }
  keep();
  ended_ = true;
  // an empty .mol file is a record too (the module says what it holds); after the last $$$$ of an
  // SD file, blank lines are none
  if (!whole_ && (!any || blank)) return false;
  record->number = ++number_;
  return true;
}

bool RecordRange::Parse(std::string_view text, RecordRange* range, std::string* error) {
  if (text == "all") {
    *range = {1, kEnd};
    return true;
  }
  const size_t dash = text.find('-');
  RecordRange parsed;
  const bool numbers = dash == std::string_view::npos
                           ? Number(text, &parsed.first) && (parsed.last = parsed.first, true)
                           : Number(text.substr(0, dash), &parsed.first) && Number(text.substr(dash + 1), &parsed.last);
  if (!numbers) {
    *error = "--records takes all, N or N-M (records are numbered from 1), not '" + std::string(text) + "'";
    return false;
  }
  if (parsed.last < parsed.first) {
    *error = "--records " + std::string(text) + " ends before it starts";
    return false;
  }
  *range = parsed;
  return true;
}

}  // namespace vthost

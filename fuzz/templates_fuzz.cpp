// What vantor-host makes of its options for collections: --records ranges, output name templates,
// the titles they put in names, and the records of an SD file. Each must hold what it promises:
// a range runs forward from 1, a safe title is a file name on every system, two templates taken as
// disjoint never give one name, and the records read are the stream, in order, to its blank end.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "vthost/collection.h"

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

std::string Folded(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool WellFormedUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

void CheckSafeTitle(std::string_view title, uint64_t record) {
  const std::string safe = vthost::SafeTitle(title, record);
  Check(!safe.empty() && safe.size() <= 101 && WellFormedUtf8(safe));
  for (const char c : safe) {
    Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F && std::string_view("/\\:*?\"<>|").find(c) == std::string_view::npos);
  }
  Check(safe.front() != ' ' && safe.front() != '.' && safe.back() != ' ' && safe.back() != '.');
}

void CheckRecords(const std::string& text, bool whole, size_t most) {
  std::istringstream in(text);
  vthost::RecordReader reader(in, whole, most);
  std::string read;
  vthost::Record record;
  uint64_t expected = 1;
  while (reader.Next(&record)) {
    Check(record.number == expected++);
    if (reader.TooLong()) return;
    read += record.text;
  }
  // after the last record of an SD file, blank lines are none
  if (!whole) {
    Check(text.compare(0, read.size(), read) == 0);
    Check(text.find_first_not_of(" \t\r\n\v\f", read.size()) == std::string::npos);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  vthost::RecordRange range;
  std::string error;
  if (vthost::RecordRange::Parse(data.ConsumeRandomLengthString(24), &range, &error)) {
    Check(range.first >= 1 && range.first <= range.last);
  }
  const std::string title = data.ConsumeRandomLengthString(160);
  const uint64_t record = data.ConsumeIntegral<uint64_t>();
  CheckSafeTitle(title, record);

  vthost::NameTemplate first, second;
  const bool parsed = vthost::NameTemplate::Parse(data.ConsumeRandomLengthString(40), &first, &error) &&
                      vthost::NameTemplate::Parse(data.ConsumeRandomLengthString(40), &second, &error);
  if (parsed) {
    const std::string stems[2] = {vthost::StemOf(data.ConsumeRandomLengthString(20)),
                                  vthost::StemOf(data.ConsumeRandomLengthString(20))};
    const std::string titles[2] = {vthost::SafeTitle(title, record), vthost::SafeTitle(data.ConsumeRandomLengthString(20), 2)};
    const uint64_t records[2] = {record, data.ConsumeIntegral<uint64_t>()};
    const std::string a = first.Expand(stems[0], records[0], titles[0]);
    const std::string b = second.Expand(stems[1], records[1], titles[1]);
    if (first.Disjoint(second)) Check(Folded(a) != Folded(b));
    if (!first.HasAny()) Check(a == first.Text());
    Check(a.rfind(first.FixedFolder() == "." ? "" : first.FixedFolder(), 0) == 0);
  }
  const bool whole = data.ConsumeBool();
  const size_t most = data.ConsumeIntegralInRange<size_t>(1, 4096);
  CheckRecords(data.ConsumeRemainingBytesAsString(), whole, most);
  return 0;
}

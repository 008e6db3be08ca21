// The element table file and its lookup.
#include "elementtable.h"

#include <fstream>

#include "fileopen.h"
#include "hostapi/hostfilename.h"
#include "linereader.h"

namespace vantor {
namespace {

constexpr int32_t kHeadingLines = 2;

// An empty colour column gives this grey; an empty radius column 1.0.
constexpr double kDefaultGrey = 0.2;
constexpr double kDefaultRadius = 1.0;

enum Column { kSymbol = 0, kColour = 1, kRadius1 = 2, kRadius2 = 3 };

void ParseColour(const String& text, double color[3]) {
  if (text.IsEmpty()) {
    color[0] = color[1] = color[2] = kDefaultGrey;
    return;
  }
  // written RRGGBB without a prefix; higher bits are ignored
  const auto value = static_cast<uint32_t>(String("0x").Appended(text).ToInt32());
  color[0] = ((value >> 16) & 255u) / 255.0;
  color[1] = ((value >> 8) & 255u) / 255.0;
  color[2] = (value & 255u) / 255.0;
}

double ParseRadius(const String& text) { return text.IsEmpty() ? kDefaultRadius : text.ToFloat(); }

void ParseInnerField(int column, const String& text, ElementRecord& working) {
  switch (column) {
    case kSymbol:
      working.symbol = text;
      working.trimmedSymbol = text.Trimmed();
      break;
    case kColour:
      ParseColour(text, working.color);
      break;
    case kRadius1:
      working.radius1 = ParseRadius(text);
      break;
    case kRadius2:
      working.radius2 = ParseRadius(text);
      break;
    default:
      break;  // columns between the fourth and the last are skipped
  }
}

}  // namespace

void ParseElementRow(const String& row, ElementRecord& working) {
  const std::string text = row.ToStdString();
  size_t start = 0;
  int column = 0;
  for (size_t comma = text.find(','); comma != std::string::npos; comma = text.find(',', start)) {
    ParseInnerField(column++, String::FromBytes(text.data() + start, static_cast<int32_t>(comma - start)), working);
    start = comma + 1;
  }
  // the text after the last comma (the whole row when there is none) is always the third radius
  if (start < text.size()) {
    working.radius3 = String::FromBytes(text.data() + start, static_cast<int32_t>(text.size() - start)).ToFloat();
  }
}

bool ElementTable::Load() {
  Clear();
  const Filename path = PluginResourceFolder() + String(kFileName);
  if (path.IsEmpty() || !FileExists(path)) return false;
  std::ifstream in;
  if (!OpenForReading(path, in)) return false;
  LoadFrom(in);
  return true;
}

void ElementTable::LoadFrom(std::istream& in) {
  Clear();
  LineReader lines(in);
  for (int32_t i = 0; i < kHeadingLines; ++i) lines.Next();
  ElementRecord working;
  while (lines.Next() == LineReader::Status::Read) {
    ParseElementRow(lines.Line(), working);
    records_.Append(working);  // a row that cannot be stored is skipped
  }
}

int32_t FindElementIndex(const String& symbol, const ElementTable& table) {
  const String wanted = symbol.Trimmed();
  for (int32_t i = 0; i < table.Count(); ++i) {
    if (table[i].trimmedSymbol == wanted) return i;
  }
  return -1;
}

}  // namespace vantor

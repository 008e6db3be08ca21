// The element table: symbol, display colour and three radii per element, read from res/ptable.csv.
// A record's position is its element index: 0 is hydrogen and index + 1 the atomic number.
#pragma once

#include <cstdint>
#include <istream>

#include "hostapi/hostarray.h"
#include "hostapi/hoststring.h"

namespace vantor {

// The element indices the module treats apart, as the shipped table lists them.
enum ElementIndex : int32_t { kHydrogen = 0, kCarbon = 5, kNitrogen = 6, kOxygen = 7 };

struct ElementRecord {
  String symbol;           // as written in the file, blanks and case kept
  double color[3] = {0.0, 0.0, 0.0};  // r, g, b in 0..1
  double radius1 = 1.0;
  double radius2 = 1.0;
  double radius3 = 1.0;
  String trimmedSymbol;    // symbol without surrounding blanks, kept so lookups need no allocation
};

// Overwrites the fields that row supplies and leaves the others as they were: a short row
// repeats the previous row's values. Fields are split at every comma, with no quoting.
void ParseElementRow(const String& row, ElementRecord& working);

class ElementTable {
 public:
  static constexpr const char* kFileName = "ptable.csv";

  // Empties the table, then reads ptable.csv from the plug-in's res folder. False when the file
  // is missing or cannot be opened (the table is then empty); true otherwise, rows or not.
  bool Load();
  // The rows of an already open file: two heading lines, then one record per line.
  void LoadFrom(std::istream& in);
  void Clear() { records_.Clear(); }
  // Record by record into this emptied table; false when it stayed short for lack of memory.
  bool CopyFrom(const ElementTable& source) { return records_.CopyFrom(source.records_); }

  int32_t Count() const { return records_.Count(); }
  bool Contains(int32_t index) const { return index >= 0 && index < records_.Count(); }
  const ElementRecord& operator[](int32_t index) const { return records_[index]; }

 private:
  HostArray<ElementRecord> records_;
};

// The index of the first record whose trimmed symbol equals the trimmed symbol given, letter case
// included; -1 when none does.
int32_t FindElementIndex(const String& symbol, const ElementTable& table);

}  // namespace vantor

// The V2000 connection-table reader: title, counts line, atom block and bond block of the first
// molecule; everything after the bond block is never looked at.
#include "mol2loader.h"

#include <fstream>

#include "fileopen.h"
#include "hostapi/hostui.h"
#include "linereader.h"

namespace vantor {
namespace {

// A fixed-width field, 1-based start column and width.
struct Field {
  int32_t column;
  int32_t width;
};

// Counts line: aaabbb...           atoms in 1-3, bonds in 4-6
constexpr Field kAtomCount{1, 3}, kBondCount{4, 3};
constexpr int32_t kShortestCountsLine = 6;
// Atom line: xxxxx.xxxxyyyyy.yyyyzzzzz.zzzz aaa...
constexpr Field kAtomX{1, 10}, kAtomY{11, 10}, kAtomZ{21, 10};
// the blank before the symbol and its first two letters: the lookup trims the blank, and a
// symbol written one column early still matches
constexpr Field kAtomSymbol{31, 3};
// Bond line: 111222ttt...
constexpr Field kBondFirst{1, 3}, kBondSecond{4, 3}, kBondType{7, 3};

// Lines 2 and 3 (program and comment) are skipped; line 4 is the counts line.
constexpr int32_t kLinesBeforeCounts = 2;

String Cut(const LineReader& line, Field field) { return line.Cut(field.column, field.width); }

void ReadAtom(const LineReader& line, int32_t number, const ElementTable& elementTable, HostArray<Atom>& atoms) {
  Atom atom;
  atom.number = number;
  atom.x = Cut(line, kAtomX).ToFloat();
  atom.y = Cut(line, kAtomY).ToFloat();
  atom.z = Cut(line, kAtomZ).ToFloat();
  atom.element = FindElementIndex(Cut(line, kAtomSymbol), elementTable);
  if (atom.element < 0) return;  // an element the table does not know: the atom is dropped
  atoms.Append(atom);
}

void ReadBond(const LineReader& line, HostArray<Bond>& bonds) {
  Bond bond;
  bond.atom1 = Cut(line, kBondFirst).ToInt32();
  bond.atom2 = Cut(line, kBondSecond).ToInt32();
  bond.type = Cut(line, kBondType).ToInt32();
  bonds.Append(bond);
}

}  // namespace

bool SdfLoader::Read(Node node, const Filename& fileName, const ElementTable& elementTable, HostArray<Atom>& atoms,
                     HostArray<Bond>& bonds) {
  atoms.Clear();
  bonds.Clear();
  if (!FileExists(fileName)) {
    ShowMessage("The .sdf file specified does not exist.");
    return false;
  }
  std::ifstream in;
  if (!OpenForReading(fileName, in) || in.bad()) {
    ShowMessage("Failed to open the .sdf file.");
    return false;
  }
  ReadFrom(in, node, elementTable, atoms, bonds);
  return true;
}

void SdfLoader::ReadFrom(std::istream& in, Node node, const ElementTable& elementTable, HostArray<Atom>& atoms,
                         HostArray<Bond>& bonds) {
  // Once the stream has ended or failed every further line reads as empty.
  LineReader lines(in);
  lines.Next();
  const String title = lines.Line();
  if (!title.IsEmpty()) node.SetName(title, /*markChanged=*/true);
  for (int32_t i = 0; i < kLinesBeforeCounts; ++i) lines.Next();
  lines.Next();
  if (lines.Length() < kShortestCountsLine) return;

  // both counts come from the counts line; each is at most three digits, so at most 999 lines
  const int32_t atomCount = Cut(lines, kAtomCount).ToInt32();
  const int32_t bondCount = Cut(lines, kBondCount).ToInt32();
  for (int32_t i = 0; i < atomCount; ++i) {
    lines.Next();
    ReadAtom(lines, i + 1, elementTable, atoms);
  }
  for (int32_t i = 0; i < bondCount; ++i) {
    lines.Next();
    ReadBond(lines, bonds);
  }
}

}  // namespace vantor

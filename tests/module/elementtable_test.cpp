// The element table: row parsing with its working record, the file, the lookup, copying. The shipped
// table is read where its elements are used: the model's radii, colours and preset slots.
#include <algorithm>
#include <sstream>

#include "boundmodule.h"
#include "elementtable.h"

namespace vantor {
namespace {

struct RowCase {
  const char* name;
  const char* row;
  const char* symbol;
  double r, g, b, radius1, radius2, radius3;
};

void PrintTo(const RowCase& c, std::ostream* out) { *out << c.name << ": \"" << c.row << '"'; }

// Every case starts from this previous row: P,102030,7,8,9
const RowCase kRows[] = {
    {"FullRow", "C,80FF00,0.77,1.7,0.91", "C", 128 / 255.0, 1.0, 0.0, 0.77, 1.7, 0.91},
    {"ExtraColumnsSkipped", "X,FF0000,1,2,9,3", "X", 1.0, 0.0, 0.0, 1.0, 2.0, 3.0},
    {"EmptyColumnsTakeDefaults", "Y,,,,", "Y", 0.2, 0.2, 0.2, 1.0, 1.0, 9.0},
    {"EmptyRowRepeatsPrevious", "", "P", 0x10 / 255.0, 0x20 / 255.0, 0x30 / 255.0, 7.0, 8.0, 9.0},
    {"NoCommaIsTheLastColumn", "42", "P", 0x10 / 255.0, 0x20 / 255.0, 0x30 / 255.0, 7.0, 8.0, 42.0},
    {"FourColumnsEndInRadius3", "H,FFFFFF,32,120", "H", 1.0, 1.0, 1.0, 32.0, 8.0, 120.0},
    {"HigherColourBitsIgnored", "Q,1FF0000,1,2,3", "Q", 1.0, 0.0, 0.0, 1.0, 2.0, 3.0},
    {"ColourNotHexIsBlack", "W,zz,1,2,3", "W", 0.0, 0.0, 0.0, 1.0, 2.0, 3.0},
    {"BlanksKeptInSymbol", " Fe ,E06633,124,194,156", " Fe ", 0xE0 / 255.0, 0x66 / 255.0, 0x33 / 255.0, 124, 194, 156},
    {"RadiusNotANumberIsZero", "Z,000000,a,b,c", "Z", 0.0, 0.0, 0.0, 0.0, 0.0, 0.0},
};

class ElementRow : public BoundModule, public testing::WithParamInterface<RowCase> {};

TEST_P(ElementRow, OverwritesOnlyWhatTheRowSupplies) {
  ElementRecord working;
  ParseElementRow("P,102030,7,8,9", working);
  ParseElementRow(GetParam().row, working);
  EXPECT_EQ(working.symbol.ToStdString(), GetParam().symbol);
  EXPECT_DOUBLE_EQ(working.color[0], GetParam().r);
  EXPECT_DOUBLE_EQ(working.color[1], GetParam().g);
  EXPECT_DOUBLE_EQ(working.color[2], GetParam().b);
  EXPECT_DOUBLE_EQ(working.radius1, GetParam().radius1);
  EXPECT_DOUBLE_EQ(working.radius2, GetParam().radius2);
  EXPECT_DOUBLE_EQ(working.radius3, GetParam().radius3);
}

INSTANTIATE_TEST_SUITE_P(Rows, ElementRow, testing::ValuesIn(kRows), CaseName);

using ElementFile = BoundModule;

std::vector<std::string> Symbols(const ElementTable& table) {
  std::vector<std::string> symbols;
  for (int32_t i = 0; i < table.Count(); ++i) symbols.push_back(table[i].symbol.ToStdString());
  return symbols;
}

ElementTable TableFrom(const std::string& text) {
  std::istringstream in(text);
  ElementTable table;
  table.LoadFrom(in);
  return table;
}

TEST_F(ElementFile, HeadingsAreNeverRead) {
  EXPECT_EQ(Symbols(TableFrom("A,FFFFFF,1,2,3\nB,FFFFFF,1,2,3\nH,FFFFFF,32,120,79\n")), std::vector<std::string>{"H"});
  EXPECT_EQ(TableFrom("title\ncolumns\n").Count(), 0);
  EXPECT_EQ(TableFrom("").Count(), 0);
}

TEST_F(ElementFile, BlankLineRepeatsThePreviousRowAndShiftsIndices) {
  const ElementTable table = TableFrom("t\nc\nH,FFFFFF,32,120,79\n\nHe,D9FFFF,93,140,49");
  EXPECT_EQ(Symbols(table), (std::vector<std::string>{"H", "H", "He"}));
  EXPECT_DOUBLE_EQ(table[1].radius3, 79.0);
  EXPECT_EQ(FindElementIndex("He", table), 2);  // the last line, without a line break, is read too
  EXPECT_EQ(FindElementIndex("H", table), 0);   // the first of two equal symbols wins
}

TEST_F(ElementFile, WindowsLineEndsReadTheSame) {
  const ElementTable table = TableFrom("t\r\nc\r\nH,FFFFFF,32,120,79\r\nC,8F8F8F,77,170,91\r\n");
  EXPECT_EQ(Symbols(table), (std::vector<std::string>{"H", "C"}));
  EXPECT_DOUBLE_EQ(table[1].radius3, 91.0);
}

TEST_F(ElementFile, LineOverTheLimitEndsTheTable) {
  const std::string longRow = "X,FFFFFF,1,2," + std::string(9990, '5');  // 10,003 characters
  const ElementTable table = TableFrom("t\nc\nH,FFFFFF,32,120,79\n" + longRow + "\nC,8F8F8F,77,170,91\n");
  EXPECT_EQ(Symbols(table), std::vector<std::string>{"H"});
  const std::string fits = "Y,FFFFFF,1,2," + std::string(9984, '0') + "7";  // 9,998 characters
  EXPECT_EQ(Symbols(TableFrom("t\nc\n" + fits + "\nC,8F8F8F,77,170,91\n")), (std::vector<std::string>{"Y", "C"}));
}

TEST_F(ElementFile, MissingFileEmptiesTheTable) {
  ElementTable table;
  ASSERT_TRUE(table.Load());
  host_.Types().SetModuleFolder(TempFolder());  // a plug-in folder without res/
  EXPECT_FALSE(table.Load());
  EXPECT_EQ(table.Count(), 0);
  std::filesystem::create_directories(TempFolder() / "res" / "ptable.csv");  // a folder, not a file
  host_.Types().SetModuleFolder(TempFolder());
  EXPECT_FALSE(table.Load());
}

TEST_F(ElementFile, PathTooLongForTheBufferIsNotOpened) {
  const std::filesystem::path top = TempFolder();
  std::filesystem::path folder = top;
  while (folder.u8string().size() < 1000) folder /= std::string(200, 'd');
  const auto file = WriteFile(folder / "res" / "ptable.csv", "t\nc\nH,FFFFFF,32,120,79\n");
  host_.Types().SetModuleFolder(folder);
  ElementTable table;
  EXPECT_FALSE(table.Load());
  EXPECT_EQ(table.Count(), 0);
  RemoveUpward(file, top);
}

// A table without a blank symbol, and one whose second and third rows have none.
const char* const kLetters = "t\nc\nH,FFFFFF,1,1,1\n C ,8F8F8F,1,1,1\nCl,1FF01F,1,1,1\nCo,F090A0,1,1,1\n";
const char* const kBlanks = "t\nc\nH,FFFFFF,1,1,1\n,8F8F8F,1,1,1\n  ,1FF01F,1,1,1\n";

struct LookupCase {
  const char* name;
  const char* table;
  const char* symbol;
  int32_t index;
};

void PrintTo(const LookupCase& lookup, std::ostream* out) {
  *out << lookup.name << ": '" << lookup.symbol << "' -> " << lookup.index;
}

class ElementLookup : public BoundModule, public testing::WithParamInterface<LookupCase> {};

TEST_P(ElementLookup, TrimsBothSidesAndKeepsLetterCase) {
  EXPECT_EQ(FindElementIndex(GetParam().symbol, TableFrom(GetParam().table)), GetParam().index);
}

const LookupCase kLookups[] = {
    {"BlanksAround", kLetters, " C ", 1}, {"Plain", kLetters, "C", 1}, {"LowerCase", kLetters, "c", -1},
    {"TwoLetters", kLetters, "Cl", 2}, {"TwoCapitals", kLetters, "CL", -1}, {"Cobalt", kLetters, "Co", 3},
    {"CapitalO", kLetters, "CO", -1}, {"BlankBefore", kLetters, " Cl", 2}, {"EmptyWithoutBlankRow", kLetters, "", -1},
    {"BlankWithoutBlankRow", kLetters, "   ", -1}, {"TabAfter", kLetters, "H\t", 0},
    // a row whose symbol is empty or blank is matched by an empty or blank symbol
    {"EmptyMatchesEmptyRow", kBlanks, "", 1}, {"BlankMatchesTheFirstBlankRow", kBlanks, "   ", 1},
    {"LettersStillMatch", kBlanks, "H", 0},
};

INSTANTIATE_TEST_SUITE_P(Symbols, ElementLookup, testing::ValuesIn(kLookups), CaseName);

TEST_F(ElementFile, CopyTakesEveryRecordIntoAnEmptiedTable) {
  const ElementTable source = TableFrom("t\nc\nH,FFFFFF,32,120,79\nC,8F8F8F,77,170,91\n");
  ElementTable target = TableFrom("t\nc\nXx,000000,1,1,1\n");
  ASSERT_TRUE(target.CopyFrom(source));
  EXPECT_EQ(Symbols(target), (std::vector<std::string>{"H", "C"}));
  EXPECT_EQ(FindElementIndex("C", target), 1);
  target.Clear();
  EXPECT_EQ(target.Count(), 0);
  EXPECT_EQ(source.Count(), 2);
}

// Each growth of the table's storage refused in turn, wherever it falls: that row alone is left out.
TEST_F(ElementFile, RowThatCannotBeStoredIsSkipped) {
  std::string text = "t\nc\n";
  std::vector<std::string> all;
  for (int row = 1; row <= 12; ++row) text += all.emplace_back("E" + std::to_string(row)) + ",FFFFFF,1,2,3\n";
  uint64_t growth = 1;
  for (;; ++growth) {
    const uint64_t failures = host_.Faults().Failures();
    host_.Faults().FailNth(growth, vthost::AllocKind::Memory);
    std::vector<std::string> symbols = Symbols(TableFrom(text));
    host_.Faults().Clear();
    if (host_.Faults().Failures() == failures) break;  // no growth left to refuse
    ASSERT_EQ(symbols.size() + 1, all.size()) << "growth " << growth;
    const auto refused = std::mismatch(symbols.begin(), symbols.end(), all.begin()).first;
    symbols.insert(refused, all[static_cast<size_t>(refused - symbols.begin())]);
    EXPECT_EQ(symbols, all) << "growth " << growth;  // the rows before and after it, in order
  }
  EXPECT_GT(growth, 2u);  // the first row's growth and at least one later row's were refused
}

}  // namespace
}  // namespace vantor

// The molecule object's description: the static part plus the material rows. The defaults a row
// writes are checked where they act, in the texture of a fresh row (materialrows_test.cpp).
#include "rowids.h"
#include "startedmodule.h"
#include "vthost/description.h"

namespace vantor {
namespace {

using vthost::Value;

class MoleculeDescription : public StartedModule {
 protected:
  void SetUp() override {
    StartedModule::SetUp();
    node_ = NewMolecule();
    ASSERT_NE(node_, nullptr);
  }
  // Sets the row count the way a stored document would, without the buttons' description builds.
  void SetRows(int32_t rows) { node_->parameters.values[MOLOBJ_ROW_COUNT] = rows; }
  std::vector<int32_t> RowIds(const vthost::Description& description) const {
    std::vector<int32_t> ids;
    for (const auto& entry : description.entries) {
      if (entry.id > MOLOBJ_MATERIALS_GROUP && entry.id < MOLOBJ_FILE) ids.push_back(entry.id);
    }
    return ids;
  }
  VtNode* node_ = nullptr;
};

// A row's entries in the order the editor shows them.
constexpr RowParameter kShownOrder[] = {MOLOBJ_ROW_GROUP,      MOLOBJ_ROW_INITIALISED, MOLOBJ_ROW_MATERIAL,
                                        MOLOBJ_ROW_PROJECTION, MOLOBJ_ROW_SYMBOL,      MOLOBJ_ROW_USE_MATERIAL,
                                        MOLOBJ_ROW_OFFSET_U,   MOLOBJ_ROW_OFFSET_V,    MOLOBJ_ROW_TILES_U,
                                        MOLOBJ_ROW_TILES_V};

struct RowsCase {
  const char* name;
  int32_t stored, shown;  // the stored row count, the rows described
};

void PrintTo(const RowsCase& c, std::ostream* out) { *out << c.name << ": " << c.stored << " -> " << c.shown; }

class DescribedRows : public MoleculeDescription, public testing::WithParamInterface<RowsCase> {};

// After the static part, each row in its own block of ids: its group under the materials group, its
// entries under its group.
TEST_P(DescribedRows, FollowTheStoredCountWithinTheLimit) {
  SetRows(GetParam().stored);
  const vthost::Description description = vthost::Describe(host_, node_);
  EXPECT_FALSE(description.answer);  // the base operation's answer
  EXPECT_TRUE(description.complete);
  EXPECT_NE(description.Find(MOLOBJ_MATERIALS_GROUP), nullptr);
  EXPECT_NE(description.Find(MOLOBJ_FILE), nullptr);
  std::vector<int32_t> expected;
  for (int32_t row = 0; row < GetParam().shown; ++row) {
    const int32_t group = *RowParameterId(row, MOLOBJ_ROW_GROUP);
    for (const RowParameter parameter : kShownOrder) {
      const int32_t id = *RowParameterId(row, parameter);
      expected.push_back(id);
      const vthost::ShownEntry* entry = description.Find(id);
      ASSERT_NE(entry, nullptr) << id;
      EXPECT_EQ(entry->parent, id == group ? int32_t{MOLOBJ_MATERIALS_GROUP} : group) << id;
    }
  }
  EXPECT_EQ(RowIds(description), expected);
}

INSTANTIATE_TEST_SUITE_P(Counts, DescribedRows,
                         testing::Values(RowsCase{"NoRows", 0, 0}, RowsCase{"NegativeCount", -4, 0},
                                         RowsCase{"OneRow", 1, 1}, RowsCase{"ThreeRows", 3, 3},
                                         RowsCase{"CountPastTheLimit", 2147483647, kMaxRows}), CaseName);

TEST_F(MoleculeDescription, UserValuesSurviveLaterDescriptions) {
  SetRows(1);
  const vthost::Description description = vthost::Describe(host_, node_);
  EXPECT_EQ(description.Find(RowId(0, Row::Projection))->label, "Projection");
  EXPECT_TRUE(*vthost::Lookup(description.Find(RowId(0, Row::Initialised))->attributes.get(), VT_ATTRIBUTE_HIDDEN) ==
              Value(true));
  EXPECT_TRUE(*vthost::Lookup(description.Find(RowId(0, Row::TilesU))->attributes.get(), VT_ATTRIBUTE_MINIMUM) ==
              Value(0.01));
  // a value for every entry but the material and the symbol, which have none until the user gives one
  for (const RowParameter parameter : kShownOrder) {
    const bool none =
        parameter == MOLOBJ_ROW_GROUP || parameter == MOLOBJ_ROW_MATERIAL || parameter == MOLOBJ_ROW_SYMBOL;
    EXPECT_EQ(Get(node_, *RowParameterId(0, parameter)) == nullptr, none) << parameter;
  }
  host_.SetParameter(node_, RowId(0, Row::TilesU), Value(2.5));
  vthost::Describe(host_, node_);
  EXPECT_EQ(GetAs<double>(node_, RowId(0, Row::TilesU)), 2.5);
}

TEST_F(MoleculeDescription, SingleRequestedIdAddsOnlyThatEntry) {
  SetRows(1);
  const int32_t requested = RowId(0, Row::OffsetU);
  const vthost::Description description = vthost::Describe(host_, node_, &requested);
  EXPECT_EQ(RowIds(description), std::vector<int32_t>{RowId(0, Row::OffsetU)});
  EXPECT_EQ(GetAs<bool>(node_, RowId(0, Row::Initialised)), true);
  EXPECT_EQ(GetAs<double>(node_, RowId(0, Row::OffsetU)), 0.0);
  EXPECT_EQ(Get(node_, RowId(0, Row::TilesU)), nullptr);  // not added, so not defaulted
}

TEST_F(MoleculeDescription, FailedAdditionStopsTheBuild) {
  SetRows(2);
  host_.Faults().FailNth(3, vthost::AllocKind::Description);
  const vthost::Description description = vthost::Describe(host_, node_);
  host_.Faults().Clear();
  EXPECT_TRUE(description.answer);
  EXPECT_FALSE(description.complete);  // the host falls back to the static part
  EXPECT_TRUE(RowIds(description).empty());
}

}  // namespace
}  // namespace vantor

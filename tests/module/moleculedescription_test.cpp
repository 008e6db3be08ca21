// The molecule object's description: the static part plus the material rows.
#include "startedmodule.h"

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

TEST_F(MoleculeDescription, NewObjectShowsTheStaticPartOnly) {
  const vthost::Description description = host_.Describe(node_);
  EXPECT_FALSE(description.answer);  // the base operation's answer
  EXPECT_TRUE(description.complete);
  EXPECT_TRUE(RowIds(description).empty());
  EXPECT_NE(description.Find(MOLOBJ_MATERIALS_GROUP), nullptr);
  EXPECT_NE(description.Find(MOLOBJ_FILE), nullptr);
}

TEST_F(MoleculeDescription, OneRowInDisplayOrderWithItsDefaults) {
  SetRows(1);
  const vthost::Description description = host_.Describe(node_);
  EXPECT_EQ(RowIds(description), (std::vector<int32_t>{15021, 15023, 15024, 15031, 15025, 15030, 15026, 15027, 15028, 15029}));
  EXPECT_EQ(description.Find(15021)->parent, MOLOBJ_MATERIALS_GROUP);
  EXPECT_EQ(description.Find(15021)->dataType, VT_DATATYPE_GROUP);
  EXPECT_EQ(description.Find(15031)->parent, 15021);
  EXPECT_EQ(description.Find(15031)->label, "Projection");
  EXPECT_EQ(description.Find(15025)->label, "Atomic Symbol");
  EXPECT_EQ(description.Find(15023)->dataType, VT_DATATYPE_BOOL);
  EXPECT_TRUE(*vthost::Lookup(description.Find(15023)->attributes.get(), 15) == Value(true));  // hidden
  EXPECT_TRUE(*vthost::Lookup(description.Find(15028)->attributes.get(), 5) == Value(0.01));   // tiles minimum

  EXPECT_EQ(GetAs<bool>(node_, 15023), true);
  EXPECT_EQ(Get(node_, 15024), nullptr);
  EXPECT_EQ(Get(node_, 15025), nullptr);
  EXPECT_EQ(GetAs<double>(node_, 15026), 0.0);
  EXPECT_EQ(GetAs<double>(node_, 15027), 0.0);
  EXPECT_EQ(GetAs<double>(node_, 15028), 1.0);
  EXPECT_EQ(GetAs<double>(node_, 15029), 1.0);
  EXPECT_EQ(GetAs<bool>(node_, 15030), true);
  EXPECT_EQ(vthost::Int32Of(&node_->parameters, 15031, -1), 6);  // stored as 6.0, read as 6
}

TEST_F(MoleculeDescription, ThirdRowUsesItsOwnBlockOfIds) {
  SetRows(3);
  const vthost::Description description = host_.Describe(node_);
  EXPECT_EQ(RowIds(description).size(), 30u);
  EXPECT_NE(description.Find(15061), nullptr);
  EXPECT_NE(description.Find(15071), nullptr);
  EXPECT_EQ(description.Find(15071)->parent, 15061);
  EXPECT_EQ(description.Find(15072), nullptr);
}

TEST_F(MoleculeDescription, UserValuesSurviveLaterDescriptions) {
  SetRows(1);
  host_.Describe(node_);
  host_.SetParameter(node_, 15028, Value(2.5));
  host_.Describe(node_);
  EXPECT_EQ(GetAs<double>(node_, 15028), 2.5);
}

TEST_F(MoleculeDescription, SingleRequestedIdAddsOnlyThatEntry) {
  SetRows(1);
  const int32_t requested = 15026;
  const vthost::Description description = host_.Describe(node_, &requested);
  EXPECT_EQ(RowIds(description), std::vector<int32_t>{15026});
  EXPECT_EQ(GetAs<bool>(node_, 15023), true);
  EXPECT_EQ(GetAs<double>(node_, 15026), 0.0);
  EXPECT_EQ(Get(node_, 15028), nullptr);  // not added, so not defaulted
}

TEST_F(MoleculeDescription, RowCountOutOfRangeIsBounded) {
  SetRows(-4);
  EXPECT_TRUE(RowIds(host_.Describe(node_)).empty());
  SetRows(2147483647);
  const vthost::Description description = host_.Describe(node_);
  EXPECT_TRUE(description.complete);
  EXPECT_EQ(RowIds(description).size(), static_cast<size_t>(kMaxRows) * 10);
  EXPECT_NE(description.Find(15023 + 20 * 248 + 8), nullptr);  // the last row's projection: 19991
}

// Row 249 would own ids from 20001: removing it would overwrite the object's own parameters.
TEST_F(MoleculeDescription, RowsStopBeforeTheirIdsReachTheParameters) {
  SetRows(300);  // as a damaged or hostile document may bring
  int32_t opened = VT_DOCUMENT_OPENED;
  host_.SendMessage(node_, VT_MSG_DOCUMENT_LOADED, &opened);
  EXPECT_EQ(Object(node_).RowCount(), 249);  // taken in within the limit
  host_.Press(node_, MOLOBJ_ADD_ROW);
  EXPECT_EQ(Object(node_).RowCount(), 249);  // no row past the last possible one
  host_.Press(node_, MOLOBJ_REMOVE_ROW);
  EXPECT_EQ(Object(node_).RowCount(), 248);
  EXPECT_EQ(GetAs<double>(node_, MOLOBJ_ATOM_RADIUS), 25.0);  // untouched by the removal
  EXPECT_EQ(GetAs<bool>(node_, MOLOBJ_XRAY), false);
  EXPECT_EQ(GetAs<double>(node_, MOLOBJ_RADIUS_SCALE), 1.0);
}

TEST_F(MoleculeDescription, FailedAdditionStopsTheBuild) {
  SetRows(2);
  host_.Faults().FailNth(3, vthost::AllocKind::Description);
  const vthost::Description description = host_.Describe(node_);
  host_.Faults().Clear();
  EXPECT_TRUE(description.answer);
  EXPECT_FALSE(description.complete);  // the host falls back to the static part
  EXPECT_TRUE(RowIds(description).empty());
}

}  // namespace
}  // namespace vantor

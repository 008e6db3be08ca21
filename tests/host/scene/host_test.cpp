// The host's own state: what a module left loose, the spare strings and the sphere meshes belong to
// one Host, stay within its budget, and go with it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cases.h"
#include "scene/model.h"
#include "vthost/host.h"
#include "vthost/module.h"
#include "vthost/record.h"

namespace vthost {
namespace {

const VtHostInterface kRecord = InterfaceRecord(kCurrentInterfaceVersion);

VtString* MakeString(const char* text) { return kRecord.St->FromBytes(text, -1, VT_ENCODING_UTF8); }

VtNode* MakeSphere(double radius) {
  VtContainer parameters;
  parameters.values[VT_SPHERE_RADIUS] = radius;
  return kRecord.Pr->Generate(VT_PRIMITIVE_SPHERE, &parameters, nullptr, 1.0, 0, nullptr);
}

// Something a module leaves in the host that made it, and how much of it a host holds.
struct LeftCase {
  const char* name;
  std::function<void()> leave;
  std::function<size_t(Host&)> held;
};

const LeftCase kLeft[] = {
    {"SpareString", [] { kRecord.St->Release(MakeString("C")); }, [](Host& host) { return host.Spares().Count(); }},
    {"LooseNode", [] { kRecord.Ob->Alloc(VT_OBJECT_NULL); }, [](Host& host) { return host.Loose().Count(); }},
    {"LooseTag", [] { kRecord.Tg->Alloc(VT_TAG_PHONG); }, [](Host& host) { return host.Loose().Count(); }},
    {"LooseSphere", [] { MakeSphere(25.0); }, [](Host& host) { return host.Spheres().Shapes(); }},
    {"FreedSphere", [] { kRecord.Ob->Free(MakeSphere(25.0)); }, [](Host& host) { return host.Spheres().Shapes(); }},
};

class HostState : public testing::TestWithParam<LeftCase> {};

TEST_P(HostState, GoesWithItsHostAndIsNotSharedWithTheNext) {
  {
    Host first;
    GetParam().leave();
    EXPECT_EQ(GetParam().held(first), 1u);
  }
  Host second;
  EXPECT_EQ(GetParam().held(second), 0u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, HostState, testing::ValuesIn(kLeft), CaseName);

struct SpareCase {
  const char* name;
  std::optional<size_t> budget;  // the host's default when none
  size_t freed;
  size_t kept;
};

const SpareCase kSpares[] = {
    {"NoneKeptWithNoBudget", 0, 3, 0},
    {"FewerThanTheBudget", 4, 3, 3},
    {"AsManyAsTheBudget", 2, 5, 2},
    {"TheDefaultBudget", std::nullopt, 300, 256},
};

class SpareStringBudget : public testing::TestWithParam<SpareCase> {};

TEST_P(SpareStringBudget, KeepsNoMoreThanItAllows) {
  HostOptions options;
  if (GetParam().budget) options.keep.spareStrings = *GetParam().budget;
  Host host(options);
  std::vector<VtString*> strings;
  for (size_t i = 0; i < GetParam().freed; ++i) strings.push_back(MakeString("a line of a molecule file"));
  for (VtString* text : strings) kRecord.St->Release(text);
  EXPECT_EQ(host.Spares().Count(), GetParam().kept);
  // the next string made takes a spare, with the new text
  VtString* next = MakeString("O");
  EXPECT_EQ(host.Spares().Count(), GetParam().kept == 0 ? 0 : GetParam().kept - 1);
  EXPECT_EQ(TextOf(next), "O");
  kRecord.St->Release(next);
}

INSTANTIATE_TEST_SUITE_P(Budgets, SpareStringBudget, testing::ValuesIn(kSpares), CaseName);

// The module holds strings of its own, and may free one after the host that made it has gone.
TEST(Spares, AStringThatOutlivesItsHostIsKeptOnlyByALiveOne) {
  VtString* freedWithNoHost = nullptr;
  VtString* freedInTheNext = nullptr;
  {
    Host first;
    freedWithNoHost = MakeString("N");
    freedInTheNext = MakeString("O");
  }
  kRecord.St->Release(freedWithNoHost);  // given back at once (a leak or a double free shows)
  Host second;
  kRecord.St->Release(freedInTheNext);
  EXPECT_EQ(second.Spares().Count(), 1u);  // and freed with it
}

TEST(Spheres, ObjectsOfOneShapeShareItsMesh) {
  Host host;
  VtNode* first = MakeSphere(40.0);
  VtNode* second = MakeSphere(40.0);
  VtNode* other = MakeSphere(41.0);
  ASSERT_TRUE(first && second && other);
  EXPECT_EQ(first->mesh, second->mesh);
  EXPECT_NE(first->mesh, other->mesh);
  EXPECT_EQ(host.Spheres().Shapes(), 2u);
  for (VtNode* node : {first, second, other}) kRecord.Ob->Free(node);
}

TEST(Spheres, ShapesNoObjectHoldsAreForgottenWithinTheBudget) {
  HostOptions options;
  options.keep.forgottenSphereShapes = 4;
  Host host(options);
  VtNode* kept = MakeSphere(1.0);
  for (int i = 2; i < 100; ++i) {
    kRecord.Ob->Free(MakeSphere(i));
    // twice the shapes held at a sweep (the kept one and the one being made), and the budget
    ASSERT_LE(host.Spheres().Shapes(), 2 * 2 + 4u) << "after sphere " << i;
  }
  host.Evaluate(host.NewDocument());
  EXPECT_EQ(host.Spheres().Shapes(), 1u);
  kRecord.Ob->Free(kept);
  host.Spheres().Sweep();
  EXPECT_EQ(host.Spheres().Shapes(), 0u);
}

// Loose objects taken out in another order than they were made: each swap keeps the others findable.
TEST(LooseObjects, TakenOutOfTheMiddleLeaveTheRestLoose) {
  Host host;
  std::vector<VtNode*> nodes;
  for (int i = 0; i < 5; ++i) nodes.push_back(kRecord.Ob->Alloc(VT_OBJECT_NULL));
  VtNode* parent = nodes[4];
  ASSERT_TRUE(kRecord.Ob->Insert(nodes[1], parent, 0));
  ASSERT_TRUE(kRecord.Ob->Insert(nodes[0], parent, 0));
  EXPECT_EQ(host.Loose().Count(), 3u);
  EXPECT_FALSE(host.Loose().Take(nodes[1])) << "an inserted node is not loose";
  EXPECT_FALSE(host.Loose().Take(static_cast<VtNode*>(nullptr)));
  kRecord.Ob->Free(nodes[2]);
  EXPECT_EQ(host.Loose().Count(), 2u);
  ASSERT_TRUE(kRecord.Ob->Insert(nodes[3], parent, 0));
  EXPECT_EQ(host.Loose().Count(), 1u);
  kRecord.Ob->Free(parent);  // with its children
  EXPECT_EQ(host.Loose().Count(), 0u);
}

// More nodes than a block of their pool holds, freed and made again: every node has room of its
// own, and the freed ones are used again before the system is asked for more.
TEST(BlockPools, ReuseFreedNodesBeforeTakingMore) {
  if (FreeAtExit()) GTEST_SKIP() << "each node is an allocation of its own where leaks are checked";
  constexpr size_t kMade = 1000;  // some eight blocks' worth
  std::vector<NodePtr> nodes;
  for (size_t i = 0; i < kMade; ++i) {
    nodes.push_back(OwnNode(new VtNode()));
    nodes.back()->serial = i;
  }
  for (size_t i = 0; i < kMade; ++i) ASSERT_EQ(nodes[i]->serial, i) << "a node overlaps another";
  const size_t blocks = PoolBlocks(sizeof(VtNode));
  EXPECT_GT(blocks, 1u);
  nodes.clear();
  for (size_t i = 0; i < kMade; ++i) nodes.push_back(OwnNode(new VtNode()));
  EXPECT_EQ(PoolBlocks(sizeof(VtNode)), blocks);
  for (const NodePtr& node : nodes) EXPECT_EQ(node->serial, 0u) << "a node made again starts new";
}

// Parameter values, tags and nodes share no room: a container filled while nodes and tags are made
// and freed around it keeps what it was given.
TEST(BlockPools, KeepSizesApart) {
  ValueMap values;
  std::vector<std::unique_ptr<VtTag>> tags;
  for (int32_t id = 0; id < 500; ++id) {
    values[id] = id * 2;
    tags.push_back(std::make_unique<VtTag>());
    tags.back()->type = id;
    if (id % 3 == 0) tags.erase(tags.begin());
  }
  for (int32_t id = 0; id < 500; ++id) {
    const auto found = values.find(id);
    ASSERT_NE(found, values.end()) << id;
    ASSERT_EQ(std::get<int32_t>(found->second), id * 2);
  }
  for (const auto& tag : tags) EXPECT_GE(tag->type, 0);
}


// A number or a flag stored where another value is, or where there is none, takes its place
// whole: the container holds the one value of the type last stored, and the others around it.
struct ScalarStoreCase {
  const char* name;
  std::function<void(VtContainer*)> before;
  std::function<VtBool(VtContainer*)> store;
  int32_t type;
  double read;
};

const ScalarStoreCase kScalarStores[] = {
    {"IntOverText",
     [](VtContainer* c) {
       VtString* text = MakeString("a long text past a short buffer");
       kRecord.Bc->SetString(c, 2, text);
       kRecord.St->Release(text);
     },
     [](VtContainer* c) { return kRecord.Bc->SetInt32(c, 2, -7); }, VT_VALUE_INT32, -7.0},
    {"FloatOverInt", [](VtContainer* c) { kRecord.Bc->SetInt32(c, 2, 9); },
     [](VtContainer* c) { return kRecord.Bc->SetFloat(c, 2, 2.5); }, VT_VALUE_FLOAT, 2.5},
    {"FlagOverVector", [](VtContainer* c) { const VtVector v{1, 2, 3}; kRecord.Bc->SetVector(c, 2, &v); },
     [](VtContainer* c) { return kRecord.Bc->SetBool(c, 2, 1); }, VT_VALUE_BOOL, 1.0},
    {"IntBetweenOthers", [](VtContainer*) {}, [](VtContainer* c) { return kRecord.Bc->SetInt32(c, 2, 4); },
     VT_VALUE_INT32, 4.0},
};

class ScalarStore : public testing::TestWithParam<ScalarStoreCase> {};

TEST_P(ScalarStore, TakesThePlaceOfWhatWasThere) {
  Host host;
  VtContainer* container = kRecord.Bc->New();
  kRecord.Bc->SetInt32(container, 1, 11);
  kRecord.Bc->SetInt32(container, 3, 33);
  GetParam().before(container);
  ASSERT_EQ(GetParam().store(container), 1);
  EXPECT_EQ(kRecord.Bc->Type(container, 2), GetParam().type);
  const bool flag = GetParam().type == VT_VALUE_BOOL;
  EXPECT_EQ(flag ? kRecord.Bc->GetBool(container, 2, 0) : kRecord.Bc->GetFloat(container, 2, -1.0), GetParam().read);
  EXPECT_EQ(kRecord.Bc->GetInt32(container, 1, 0), 11);
  EXPECT_EQ(kRecord.Bc->GetInt32(container, 3, 0), 33);
  kRecord.Bc->Free(container);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ScalarStore, testing::ValuesIn(kScalarStores), CaseName);

}  // namespace
}  // namespace vthost

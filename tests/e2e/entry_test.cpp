// The built modules driven through their one entry, as the host application drives them.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <random>
#include <filesystem>
#include <string>

#include "scene/model.h"
#include "vthost/host.h"
#include "vthost/molecule.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kLoadResources = 1;
const char* const kLoadedLine = "Quennet Software : Vantor successfully loaded.";
const char* const kFailedLine = "Quennet Software: Failed to load Vantor";
const char* const kResourceLine = "Vantor: failed to load resource file.";

fs::path BuiltModule(const std::string& flavour) { return fs::path(VANTOR_PLUGIN_DIR) / (flavour + VANTOR_MODULE_SUFFIX); }

// A flavour as a test's name holds it: vantorR2025 -> VantorR2025.
std::string FlavourName(std::string flavour) {
  flavour[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(flavour[0])));
  return flavour;
}

// A plug-in folder of its own in a fresh temporary folder: the module, and res/ unless left out.
struct PluginCopy {
  enum class Res { Full, WithoutIcon, None };
  explicit PluginCopy(Res res, const std::string& flavour = "vantor") {
    static std::atomic<int> counter{0};
    const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
    folder = fs::temp_directory_path() /
             ("vantor-" + test + "-" + std::to_string(std::random_device()()) + "-" + std::to_string(counter++));
    fs::remove_all(folder);
    fs::create_directories(folder);
    module = folder / (flavour + VANTOR_MODULE_SUFFIX);
    fs::copy_file(BuiltModule(flavour), module);
    if (res != Res::None) fs::copy(fs::path(VANTOR_PLUGIN_DIR) / "res", folder / "res", fs::copy_options::recursive);
    if (res == Res::WithoutIcon) fs::remove(folder / "res" / "icons8-test-tube.tif");
  }
  ~PluginCopy() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    // Windows removes no loaded module: the fixture unloads it after the test, then removes the rest
    if (fs::exists(folder, ignored)) Leftovers().push_back(folder);
  }
  static std::vector<fs::path>& Leftovers() {
    static std::vector<fs::path> folders;
    return folders;
  }
  fs::path folder, module;
};

class Entry : public testing::Test {
 protected:
  void Load(const fs::path& file) {
    std::string error;
    module_ = vthost::Module::Load(host_, file, &error);
    ASSERT_TRUE(module_) << error;
  }
  void LoadBuilt(const std::string& flavour = "vantor") { Load(BuiltModule(flavour)); }
  // Every init is matched by an end so the next test finds the module as new.
  int32_t Init() {
    ++inits_;
    return module_->Init();
  }
  int32_t Init(const VtHostInterface* record, const fs::path* location) {
    ++inits_;
    return module_->Init(record, location);
  }
  bool StartUp() {
    ++inits_;
    return module_->StartUp();
  }
  int32_t End() {
    --inits_;
    return module_->End();
  }
  void TearDown() override {
    while (module_ && inits_ > 0) End();
    module_.reset();
    std::error_code ignored;
    for (const fs::path& folder : PluginCopy::Leftovers()) fs::remove_all(folder, ignored);
    PluginCopy::Leftovers().clear();
  }
  std::vector<std::string> Console() const { return host_.Texts(vthost::Event::Kind::Console); }

  vthost::Host host_;
  std::unique_ptr<vthost::Module> module_;
  int inits_ = 0;
};

TEST_F(Entry, QueryAnswersFiveWhateverTheArguments) {
  LoadBuilt();
  int marker = 0;
  EXPECT_EQ(module_->Call(VT_ACTION_QUERY), 5);
  EXPECT_EQ(module_->Call(VT_ACTION_QUERY, &marker, &marker, &marker), 5);
  ASSERT_EQ(Init(), 1);
  EXPECT_EQ(module_->Call(VT_ACTION_QUERY, reinterpret_cast<void*>(intptr_t{-1})), 5);
}

TEST_F(Entry, UnknownActionsAndMessagesAnswerMinusOne) {
  LoadBuilt();
  ASSERT_EQ(Init(), 1);
  for (const int32_t action : {0, 5, 7, -1, 1000}) EXPECT_EQ(module_->Call(action), -1) << "action " << action;
  EXPECT_EQ(module_->Message(0), 1);
  for (const int32_t message : {2, 3, -1, 1001078}) EXPECT_EQ(module_->Message(message), -1) << "message " << message;
  EXPECT_TRUE(host_.Events().empty());
}

struct VersionCase {
  const char* flavour;
  int32_t version;
  int32_t expected;
};

void PrintTo(const VersionCase& c, std::ostream* out) {
  *out << c.flavour << " under host interface " << c.version << " -> " << c.expected;
}

class EntryVersion : public Entry, public testing::WithParamInterface<VersionCase> {};

TEST_P(EntryVersion, RefusesHostsOlderThanTheFlavourAccepts) {
  VtHostInterface record = *host_.Interface();
  record.version = GetParam().version;
  LoadBuilt(GetParam().flavour);
  const fs::path location = module_->Folder();
  EXPECT_EQ(Init(&record, &location), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Flavours, EntryVersion,
                         testing::Values(VersionCase{"vantor", 2024899, -3}, VersionCase{"vantor", 2024900, 1},
                                         VersionCase{"vantor", 2025200, 1}, VersionCase{"vantorR2025", 2025199, -3},
                                         VersionCase{"vantorR2025", 2025200, 1}, VersionCase{"vantorR2025", 0, -3}),
                         [](const testing::TestParamInfo<VersionCase>& info) {
                           return FlavourName(info.param.flavour) + "_" + std::to_string(info.param.version);
                         });

// A record with one table taken away: every table the module uses is needed, and a refused start
// says which one on the console when the console and strings are there to say it.
struct TableCase {
  const char* name;
  void (*remove)(VtHostInterface& record);
  int32_t expected;
  const char* line;  // null: nothing on the console
};

void PrintTo(const TableCase& table, std::ostream* out) { *out << table.name << " -> " << table.expected; }

class EntryTables : public Entry, public testing::WithParamInterface<TableCase> {};

TEST_P(EntryTables, MissingTableRefusesTheStartAndSaysWhich) {
  VtHostInterface record = *host_.Interface();
  GetParam().remove(record);
  LoadBuilt();
  const fs::path location = module_->Folder();
  EXPECT_EQ(Init(&record, &location), GetParam().expected);
  std::vector<std::string> expected;
  if (GetParam().line) expected.push_back(GetParam().line);
  EXPECT_EQ(Console(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, EntryTables,
    testing::Values(
        TableCase{"Ob", [](VtHostInterface& r) { r.Ob = nullptr; }, -3, "Vantor: the host interface lacks the table Ob."},
        TableCase{"Tx", [](VtHostInterface& r) { r.Tx = nullptr; }, -3, "Vantor: the host interface lacks the table Tx."},
        TableCase{"Ca", [](VtHostInterface& r) { r.Ca = nullptr; }, -3, "Vantor: the host interface lacks the table Ca."},
        TableCase{"FL", [](VtHostInterface& r) { r.FL = nullptr; }, -3, "Vantor: the host interface lacks the table FL."},
        TableCase{"Mm", [](VtHostInterface& r) { r.Mm = nullptr; }, -3, "Vantor: the host interface lacks the table Mm."},
        TableCase{"GeSilent", [](VtHostInterface& r) { r.Ge = nullptr; }, -3, nullptr},
        TableCase{"StSilent", [](VtHostInterface& r) { r.St = nullptr; }, -3, nullptr},
        TableCase{"DcAndDiNotNeeded", [](VtHostInterface& r) { r.Dc = nullptr, r.Di = nullptr; }, 1, nullptr}),
    [](const testing::TestParamInfo<TableCase>& info) { return std::string(info.param.name); });

class EntryFlavour : public Entry, public testing::WithParamInterface<const char*> {};

TEST_P(EntryFlavour, StartUpRegistersTheMoleculeObject) {
  LoadBuilt(GetParam());
  ASSERT_EQ(Init(), 1);
  ASSERT_EQ(module_->Message(kLoadResources), 1);
  ASSERT_EQ(module_->Start(), 1);
  EXPECT_EQ(Console(), std::vector<std::string>{kLoadedLine});
  const vthost::ObjectType* type = host_.FindObjectType(vthost::molecule::kType);
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->name, "Molecule");
  EXPECT_EQ(type->info, 33796);
  EXPECT_EQ(type->description, "oxvantor");
  EXPECT_TRUE(type->hasIcon);
  EXPECT_EQ(type->iconWidth, 64);
  EXPECT_EQ(type->iconHeight, 64);
  EXPECT_EQ(host_.Descriptions().count(vthost::molecule::kType), 1u);
  // the registered class makes objects that initialise: defaults in place
  VtDocument* document = host_.NewDocument();
  VtNode* node = host_.CreateObject(document, vthost::molecule::kType, "m");
  ASSERT_NE(node, nullptr);
  EXPECT_NE(vthost::Lookup(vthost::Host::NodeParameters(node), 20032), nullptr);
  host_.CloseDocument(document);
}

INSTANTIATE_TEST_SUITE_P(Flavours, EntryFlavour, testing::Values("vantor", "vantorR2025"),
                         [](const testing::TestParamInfo<const char*>& info) { return FlavourName(info.param); });

TEST_F(Entry, RefusedRegistrationWritesTheFailureLine) {
  host_.Options().refuseRegistration = true;
  LoadBuilt();
  ASSERT_EQ(Init(), 1);
  ASSERT_EQ(module_->Message(kLoadResources), 1);
  EXPECT_EQ(module_->Start(), 0);
  EXPECT_EQ(Console(), std::vector<std::string>{kFailedLine});
  EXPECT_TRUE(host_.ObjectTypes().empty());
}

TEST_F(Entry, StartWithoutResourcesFailsToRegister) {
  LoadBuilt();
  ASSERT_EQ(Init(), 1);
  EXPECT_EQ(module_->Start(), 0);
  EXPECT_EQ(Console(), std::vector<std::string>{kFailedLine});
}

TEST_F(Entry, MissingIconStillRegisters) {
  PluginCopy plugin(PluginCopy::Res::WithoutIcon);
  Load(plugin.module);
  EXPECT_TRUE(StartUp());
  const vthost::ObjectType* type = host_.FindObjectType(vthost::molecule::kType);
  ASSERT_NE(type, nullptr);
  EXPECT_FALSE(type->hasIcon);
  EXPECT_EQ(Console(), std::vector<std::string>{kLoadedLine});
}

TEST_F(Entry, MissingResFolderFailsOnceAndIsNotRetried) {
  PluginCopy plugin(PluginCopy::Res::None);
  Load(plugin.module);
  ASSERT_EQ(Init(), 1);
  EXPECT_EQ(module_->Message(kLoadResources), -1);
  EXPECT_EQ(Console(), std::vector<std::string>{kResourceLine});
  // the folder appearing later changes nothing: the first outcome stands
  fs::copy(fs::path(VANTOR_PLUGIN_DIR) / "res", plugin.folder / "res", fs::copy_options::recursive);
  EXPECT_EQ(module_->Message(kLoadResources), -1);
  EXPECT_EQ(Console(), std::vector<std::string>{kResourceLine});
}

TEST_F(Entry, ResourcesLoadOnceAndLaterMessagesAnswerTheFirstOutcome) {
  LoadBuilt();
  ASSERT_EQ(Init(), 1);
  ASSERT_EQ(module_->Message(kLoadResources), 1);
  host_.Faults().FailAll(vthost::AllocKind::Resource);  // a second attempt would fail
  EXPECT_EQ(module_->Message(kLoadResources), 1);
  EXPECT_TRUE(Console().empty());
}

TEST_F(Entry, SecondInitBindsNothingAgain) {
  LoadBuilt();
  ASSERT_EQ(Init(), 1);
  // a second init with an unusable record and a wrong location is only counted
  VtHostInterface broken{};
  const fs::path nowhere = module_->Folder() / "no-such-folder";
  EXPECT_EQ(Init(&broken, &nowhere), 1);
  EXPECT_EQ(Init(nullptr, nullptr), 1);
  EXPECT_EQ(module_->Message(kLoadResources), 1);
  EXPECT_EQ(module_->Start(), 1);
  EXPECT_EQ(Console(), std::vector<std::string>{kLoadedLine});
}

TEST_F(Entry, OnlyTheLastEndTearsDown) {
  LoadBuilt();
  ASSERT_EQ(Init(), 1);
  ASSERT_EQ(Init(), 1);
  ASSERT_EQ(module_->Message(kLoadResources), 1);
  EXPECT_EQ(End(), 1);
  // still initialised: the resource stays loaded and is not fetched again
  host_.Faults().FailAll(vthost::AllocKind::Resource);
  EXPECT_EQ(module_->Message(kLoadResources), 1);
  EXPECT_EQ(End(), 1);
  // torn down: a new init starts from nothing and tries the resource again
  ASSERT_EQ(Init(), 1);
  EXPECT_EQ(module_->Message(kLoadResources), -1);
  EXPECT_EQ(Console(), std::vector<std::string>{kResourceLine});
}

TEST_F(Entry, StrayEndBeforeInitDoesNotBlockTheNextInit) {
  LoadBuilt();
  EXPECT_EQ(module_->End(), 1);
  ASSERT_EQ(Init(), 1);
  EXPECT_EQ(module_->Message(kLoadResources), 1);
}

// The last end unbinds the host's tables; a call after it dereferenced a null table.
TEST_F(Entry, CallsAfterTheLastEndFailSafely) {
  LoadBuilt();
  ASSERT_TRUE(StartUp());
  VtDocument* document = host_.NewDocument();
  VtNode* node = host_.CreateObject(document, vthost::molecule::kType, "m");
  ASSERT_NE(node, nullptr);
  const VtObjectClass& cls = *host_.FindObjectType(vthost::molecule::kType)->operations;
  void* data = node->data;
  ASSERT_EQ(End(), 1);
  host_.ClearEvents();

  EXPECT_EQ(module_->Start(), 0);
  EXPECT_EQ(module_->Message(kLoadResources), -1);
  EXPECT_EQ(module_->End(), 1);  // an end past the last is ignored
  EXPECT_EQ(cls.Allocate(), nullptr);
  EXPECT_EQ(cls.Initialise(data, node), 0);
  cls.Free(data, node);
  EXPECT_EQ(cls.Read(data, node, nullptr, 0), 0);
  EXPECT_EQ(cls.Write(data, node, nullptr), 0);
  EXPECT_EQ(cls.Copy(data, data, node, node), 0);
  VtDescriptionId load{20001, VT_DATATYPE_BUTTON, 0};
  EXPECT_EQ(cls.Message(data, node, VT_MSG_COMMAND, &load), 0);
  int32_t flags = 0;
  EXPECT_EQ(cls.Describe(data, node, nullptr, &flags), 0);
  EXPECT_EQ(flags, 0);
  EXPECT_EQ(cls.IsEnabled(data, node, 20034), 1);  // the base answer
  EXPECT_EQ(cls.AddToExecution(data, node, nullptr), 0);
  EXPECT_EQ(cls.Execute(data, node, document), 2);
  EXPECT_EQ(cls.BuildHierarchy(data, node, nullptr), nullptr);
  cls.Destroy(data);  // does nothing: the object stays for the host to free once the module is back
  EXPECT_TRUE(host_.Events().empty());
  EXPECT_TRUE(vthost::Host::NodeEvents(node).empty());

  // bound again, the module frees the object as usual
  ASSERT_EQ(Init(), 1);
  host_.CloseDocument(document);
  EXPECT_EQ(host_.LiveBlocks(), 0);
}

// A host that carries on after a refused init must never make the module use what it lacks.
TEST_F(Entry, HostCarryingOnAfterRefusedInitFailsCleanly) {
  LoadBuilt();
  EXPECT_EQ(Init(host_.Interface(), nullptr), -3);
  EXPECT_EQ(module_->Message(kLoadResources), -1);
  EXPECT_EQ(module_->Start(), 0);
  EXPECT_EQ(Console(), (std::vector<std::string>{kResourceLine, kFailedLine}));
  EXPECT_EQ(Init(), 1);  // counted, not checked again
}

TEST_F(Entry, HostCarryingOnAfterTooOldVersionFailsCleanly) {
  VtHostInterface old = *host_.Interface();
  old.version = 2024000;
  LoadBuilt();
  const fs::path location = module_->Folder();
  EXPECT_EQ(Init(&old, &location), -3);
  EXPECT_EQ(module_->Message(kLoadResources), -1);
  EXPECT_EQ(Console(), std::vector<std::string>{kResourceLine});
}

TEST_F(Entry, InitWithoutARecordIsRefusedAndNothingElseRuns) {
  LoadBuilt();
  const fs::path location = module_->Folder();
  EXPECT_EQ(Init(nullptr, &location), -3);
  EXPECT_EQ(module_->Message(kLoadResources), -1);
  EXPECT_EQ(module_->Start(), 0);
  EXPECT_TRUE(host_.Events().empty());
}

}  // namespace

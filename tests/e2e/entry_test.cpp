// The built modules driven through their one entry, as the host application drives them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "builtmodule.h"
#include "scene/model.h"
#include "vthost/host.h"
#include "vthost/module.h"
#include "vthost/molecule.h"
#include "vthost/record.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kLoadResources = 1;
const char* const kLoadedLine = "Quennet Software : Vantor successfully loaded.";
const char* const kFailedLine = "Quennet Software: Failed to load Vantor";
const char* const kResourceLine = "Vantor: failed to load resource file.";

// A plug-in folder of its own in a fresh temporary folder: the module, and res/ unless left out.
struct PluginCopy {
  enum class Res { Full, WithoutIcon, None };
  explicit PluginCopy(Res res, const std::string& flavour = "vantor") {
    folder = FreshTempFolder("vantor-entry-");
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
  void LoadBuilt() { Load(BuiltModule()); }
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
    std::string error;
    return module_->StartUp(&error);
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
  std::vector<std::string> Console() const { return host_.Events().Texts(vthost::Event::Kind::Console); }

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
  EXPECT_TRUE(host_.Events().All().empty());
}

// One change to what the host application offers at start-up: the record, the location, the
// plug-in folder, the host's answers.
struct StartSetup {
  VtHostInterface record;
  bool noRecord = false, noLocation = false, sendResources = true;
  PluginCopy::Res res = PluginCopy::Res::Full;
  vthost::HostOptions& options;
};

struct StartCase {
  const char* name;
  const char* flavour;
  void (*change)(StartSetup&);
  int32_t init, resources, start;  // what each step answers; resources 0: the message is not sent
  std::vector<std::string> console;
};

void PrintTo(const StartCase& c, std::ostream* out) {
  *out << c.name << ": " << c.flavour << " answers " << c.init << ", " << c.resources << ", " << c.start;
}

class EntryStart : public Entry, public testing::WithParamInterface<StartCase> {};

// Init, the resources message and start, as the host application sends them whatever the answers:
// every step answers as far as the module got, says why on the console when it can, and registers
// the molecule object only when all went well. The resources are tried once: asked again when the
// outcome would now differ, the first answer stands.
TEST_P(EntryStart, AnswersEveryStepAndRegistersOnlyWhenAllWentWell) {
  const StartCase& c = GetParam();
  StartSetup setup{vthost::InterfaceRecord(host_.Options().interfaceVersion), false, false, true, PluginCopy::Res::Full, host_.Options()};
  if (c.change) c.change(setup);
  PluginCopy plugin(setup.res, c.flavour);
  Load(plugin.module);
  const fs::path location = module_->Folder();
  EXPECT_EQ(Init(setup.noRecord ? nullptr : &setup.record, setup.noLocation ? nullptr : &location), c.init);
  if (setup.sendResources) {
    EXPECT_EQ(module_->Message(kLoadResources), c.resources);
    if (c.resources == 1) host_.Faults().FailAll(vthost::AllocKind::Resource);
    if (setup.res == PluginCopy::Res::None) {
      fs::copy(fs::path(VANTOR_PLUGIN_DIR) / "res", plugin.folder / "res", fs::copy_options::recursive);
    }
    EXPECT_EQ(module_->Message(kLoadResources), c.resources);
    host_.Faults().Clear();
  }
  EXPECT_EQ(module_->Start(), c.start);
  EXPECT_EQ(Console(), c.console);
  EXPECT_EQ(host_.Events().All().size(), c.console.size());  // and no dialog
  EXPECT_EQ(Init(), 1);  // a later init is only counted
  const vthost::ObjectType* type = host_.Types().Find(vthost::molecule::kType);
  ASSERT_EQ(type != nullptr, c.start == 1);
  EXPECT_EQ(host_.Types().All().size(), c.start == 1 ? 1u : 0u);
  if (type == nullptr) return;
  EXPECT_EQ(type->name, "Molecule");
  EXPECT_EQ(type->info, 33796);
  EXPECT_EQ(type->description, "oxvantor");
  EXPECT_EQ(type->hasIcon, setup.res != PluginCopy::Res::WithoutIcon);  // a missing icon is no reason to refuse
  if (type->hasIcon) { EXPECT_EQ(std::make_pair(type->iconWidth, type->iconHeight), std::make_pair(64, 64)); }
  EXPECT_NE(host_.Types().Description(vthost::molecule::kType), nullptr);
  // the registered class makes objects that initialise: defaults in place
  VtDocument* document = host_.NewDocument();
  VtNode* node = host_.CreateObject(document, vthost::molecule::kType, "m");
  ASSERT_NE(node, nullptr);
  EXPECT_NE(vthost::Lookup(vthost::NodeParameters(node), vthost::molecule::kRowCount), nullptr);
  host_.CloseDocument(document);
}

const std::vector<std::string> kLoaded{kLoadedLine}, kNotLocated{kResourceLine, kFailedLine};
std::string Lacks(const std::string& table) { return "Vantor: the host interface lacks the table " + table + "."; }

const StartCase kStarts[] = {
    {"NothingMissing", "vantor", nullptr, 1, 1, 1, kLoaded},
    {"NothingMissingR2025", "vantorR2025", nullptr, 1, 1, 1, kLoaded},
    {"OldestHost", "vantor", [](StartSetup& s) { s.record.version = 2024900; }, 1, 1, 1, kLoaded},
    {"HostTooOld", "vantor", [](StartSetup& s) { s.record.version = 2024899; }, -3, -1, 0, kNotLocated},
    {"OldestHostR2025", "vantorR2025", [](StartSetup& s) { s.record.version = 2025200; }, 1, 1, 1, kLoaded},
    {"HostTooOldR2025", "vantorR2025", [](StartSetup& s) { s.record.version = 2025199; }, -3, -1, 0, kNotLocated},
    {"NoVersionR2025", "vantorR2025", [](StartSetup& s) { s.record.version = 0; }, -3, -1, 0, kNotLocated},
    {"NoRecord", "vantor", [](StartSetup& s) { s.noRecord = true; }, -3, -1, 0, {}},
    {"NoLocation", "vantor", [](StartSetup& s) { s.noLocation = true; }, -3, -1, 0, kNotLocated},
    {"NoResFolder", "vantor", [](StartSetup& s) { s.res = PluginCopy::Res::None; }, 1, -1, 0, kNotLocated},
    {"NoIcon", "vantor", [](StartSetup& s) { s.res = PluginCopy::Res::WithoutIcon; }, 1, 1, 1, kLoaded},
    {"NoResourcesMessage", "vantor", [](StartSetup& s) { s.sendResources = false; }, 1, 0, 0, {kFailedLine}},
    {"RegistrationRefused", "vantor", [](StartSetup& s) { s.options.refuseRegistration = true; }, 1, 1, 0,
     {kFailedLine}},
    // every table the module uses is needed; the console says which one when it can
    {"NoOb", "vantor", [](StartSetup& s) { s.record.Ob = nullptr; }, -3, -1, 0, {Lacks("Ob")}},
    {"NoTx", "vantor", [](StartSetup& s) { s.record.Tx = nullptr; }, -3, -1, 0, {Lacks("Tx")}},
    {"NoCa", "vantor", [](StartSetup& s) { s.record.Ca = nullptr; }, -3, -1, 0, {Lacks("Ca")}},
    {"NoFL", "vantor", [](StartSetup& s) { s.record.FL = nullptr; }, -3, -1, 0, {Lacks("FL")}},
    {"NoMm", "vantor", [](StartSetup& s) { s.record.Mm = nullptr; }, -3, -1, 0, {Lacks("Mm")}},
    {"NoGeSilent", "vantor", [](StartSetup& s) { s.record.Ge = nullptr; }, -3, -1, 0, {}},
    {"NoStSilent", "vantor", [](StartSetup& s) { s.record.St = nullptr; }, -3, -1, 0, {}},
    {"DcAndDiNotNeeded", "vantor", [](StartSetup& s) { s.record.Dc = nullptr, s.record.Di = nullptr; }, 1, 1, 1,
     kLoaded},
};

INSTANTIATE_TEST_SUITE_P(Changes, EntryStart, testing::ValuesIn(kStarts), CaseName);

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
  const VtObjectClass& cls = *host_.Types().Find(vthost::molecule::kType)->operations;
  void* data = node->module.data;
  ASSERT_EQ(End(), 1);
  host_.Events().Clear();

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
  EXPECT_TRUE(host_.Events().All().empty());
  EXPECT_TRUE(vthost::NodeEvents(node).empty());

  // bound again, the module frees the object as usual
  ASSERT_EQ(Init(), 1);
  host_.CloseDocument(document);
  EXPECT_EQ(host_.LiveBlocks(), 0);
}

}  // namespace

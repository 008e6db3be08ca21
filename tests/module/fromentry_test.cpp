// The module started from its entry function rather than a file, as the studio's WebAssembly
// build starts the module linked into it: the same start-up, registration and conversion.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "cases.h"
#include "tempfolder.h"
#include "vthost/convert.h"
#include "vthost/host.h"
#include "vthost/module.h"
#include "vthost/molecule.h"

extern "C" int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3);

namespace fs = std::filesystem;

namespace {

struct FromEntryCase {
  const char* name;
  bool withRes;       // the module's folder holds res/
  bool started;       // StartUp answers true
  const char* error;  // what StartUp says when it does not
};

const FromEntryCase kFromEntry[] = {
    {"WithRes", true, true, ""},
    {"WithoutRes", false, false, "the module could not load its resources (action 6): is res/ beside it?"},
};

class ModuleFromEntry : public testing::TestWithParam<FromEntryCase> {
 protected:
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  fs::path folder_ = FreshTempFolder("vantor-entry-");
};

TEST_P(ModuleFromEntry, StartsRegistersAndConvertsAsFromAFile) {
  const FromEntryCase& c = GetParam();
  if (c.withRes) fs::copy(fs::u8path(VANTOR_SOURCE_DIR) / "res", folder_ / "res", fs::copy_options::recursive);
  vthost::Host host;
  std::unique_ptr<vthost::Module> module = vthost::Module::FromEntry(host, c4d_main, folder_);
  std::string error;
  EXPECT_EQ(module->StartUp(&error), c.started);
  EXPECT_EQ(error, c.error);
  EXPECT_EQ(module->Folder(), fs::absolute(folder_));
  EXPECT_EQ(host.Types().Find(vthost::molecule::kType) != nullptr, c.started);
  if (c.started) {
    const fs::path molecule = folder_ / "caffeine.mol";
    fs::copy_file(fs::u8path(VANTOR_SOURCE_DIR) / "examples" / "caffeine.mol", molecule);
    vthost::ConversionEngine engine(host);
    const vthost::Conversion converted = engine.Convert({}, molecule);
    EXPECT_EQ(converted.status, vthost::ConversionStatus::Converted) << converted.message;
    EXPECT_EQ(converted.atoms, 24);
    EXPECT_EQ(converted.bonds, 25);
  }
  module->End();
}

INSTANTIATE_TEST_SUITE_P(Folders, ModuleFromEntry, testing::ValuesIn(kFromEntry), CaseName);

}  // namespace

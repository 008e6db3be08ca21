// A stand-in host with the module's own code bound to it in-process, as the entry binds it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cases.h"
#include "files.h"
#include "printers.h"
#include "tempfolder.h"
#include "vthost/host.h"
#include "vthost/module.h"
#include "vthost/record.h"

extern "C" int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3);

class BoundModule : public testing::Test {
 protected:
  void SetUp() override {
    const VtHostInterface& record = record_;
    VtString* path = record.St->FromBytes(PluginFolder().u8string().c_str(), -1, VT_ENCODING_UTF8);
    VtFilename* location = record.Fn->FromString(path);
    host_.Types().SetModuleFolder(PluginFolder());
    ASSERT_EQ(c4d_main(VT_ACTION_INIT, const_cast<VtHostInterface*>(&record), nullptr, location), 1);
    record.Fn->Release(location);
    record.St->Release(path);
  }
  void TearDown() override {
    c4d_main(VT_ACTION_END, nullptr, nullptr, nullptr);
    std::error_code ignored;
    if (!temp_.empty()) std::filesystem::remove_all(temp_, ignored);
  }

  static std::filesystem::path SourceDir() { return std::filesystem::u8path(VANTOR_SOURCE_DIR); }
  // The folder whose res/ the module uses: the repository's own unless a test says otherwise.
  virtual std::filesystem::path PluginFolder() const { return SourceDir(); }
  // A fresh folder of the test's own, made on first use and removed after the test.
  std::filesystem::path TempFolder() {
    if (temp_.empty()) temp_ = FreshTempFolder("vantor-");
    return temp_;
  }
  // Removes `file`, then each folder above it up to and including `top`, one at a time: on
  // Windows a folder whose path passes 260 characters cannot be listed, so remove_all cannot
  // clear a tree that deep.
  static void RemoveUpward(const std::filesystem::path& file, const std::filesystem::path& top) {
    std::error_code ignored;
    for (std::filesystem::path p = file; p != top && p.has_relative_path(); p = p.parent_path()) {
      std::filesystem::remove(p, ignored);
    }
    std::filesystem::remove(top, ignored);
  }
  std::vector<std::string> Messages() const { return host_.Events().Texts(vthost::Event::Kind::Message); }

  vthost::Host host_;
  const VtHostInterface record_ = vthost::InterfaceRecord(vthost::kCurrentInterfaceVersion);
  std::filesystem::path temp_;
};

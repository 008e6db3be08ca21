// A stand-in host with the module's own code bound to it in-process, as the entry binds it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "vthost/host.h"

extern "C" int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3);

class BoundModule : public testing::Test {
 protected:
  void SetUp() override {
    const VtHostInterface& record = *host_.Interface();
    VtString* path = record.St->FromBytes(SourceDir().u8string().c_str(), -1, 0);
    VtFilename* location = record.Fn->FromString(path);
    host_.SetModuleFolder(SourceDir());  // its res folder is the repository's res/
    ASSERT_EQ(c4d_main(VT_ACTION_INIT, const_cast<VtHostInterface*>(&record), nullptr, location), 1);
    record.Fn->Release(location);
    record.St->Release(path);
  }
  void TearDown() override { c4d_main(VT_ACTION_END, nullptr, nullptr, nullptr); }

  static std::filesystem::path SourceDir() { return std::filesystem::u8path(VANTOR_SOURCE_DIR); }
  std::filesystem::path TempFolder() {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("vantor-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
  }

  static std::filesystem::path WriteFile(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
    return file;
  }
  std::vector<std::string> Messages() const { return host_.Texts(vthost::Event::Kind::Message); }

  vthost::Host host_;
};

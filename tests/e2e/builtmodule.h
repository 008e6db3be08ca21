// The modules as the build made them, and a script session on one with a folder of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "cases.h"
#include "files.h"
#include "tempfolder.h"
#include "vthost/script.h"

// vantor or vantorR2025, in the plug-in folder the build made.
inline std::filesystem::path BuiltModule(const std::string& flavour = "vantor") {
  return std::filesystem::path(VANTOR_PLUGIN_DIR) / (flavour + VANTOR_MODULE_SUFFIX);
}

class ScriptSession : public testing::Test {
 protected:
  void SetUp() override { folder_ = FreshTempFolder("vantor-script-"); }
  void TearDown() override {
    runner_.reset();
    std::filesystem::remove_all(folder_);
  }
  // What the script prints from here on replaces what it printed before.
  bool Run(const std::string& script) {
    out_.str("");
    std::istringstream in(script);
    return runner_->Run(in);
  }
  std::string Path(const std::string& name) const { return (folder_ / name).u8string(); }
  // The file of that name in the folder, holding text.
  std::string Write(const std::string& name, const std::string& text) const {
    return WriteFile(folder_ / name, text).u8string();
  }
  // The lines that make the molecule object m and load the file into it.
  static std::string LoadInto(const std::string& file) {
    return "load\nnew m\nset m MOLOBJ_FILE " + file + "\npress m MOLOBJ_LOAD\n";
  }

  vthost::Host host_;
  std::ostringstream out_, err_;
  std::unique_ptr<vthost::ScriptRunner> runner_ =
      std::make_unique<vthost::ScriptRunner>(host_, out_, err_, BuiltModule());
  std::filesystem::path folder_;
};

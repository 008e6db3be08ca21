// A fresh temporary folder named after the running test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

// Emptied and made again. Named after the build tree and the test, since tests run side by side
// (and the test programs of several builds too); parameterised tests' names hold a '/', which would
// nest the folder.
inline std::filesystem::path FreshTempFolder(const std::string& prefix) {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "-" + test->name();
  std::replace(name.begin(), name.end(), '/', '_');
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / (prefix + VANTOR_TEST_TAG "-" + name);
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

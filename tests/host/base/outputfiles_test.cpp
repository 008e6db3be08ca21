// Outputs written in groups and a piece at a time: whole or not at all, never over an input, and
// nothing left beside them.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "files.h"
#include "tempfolder.h"
#include "vthost/files.h"

namespace {

namespace fs = std::filesystem;

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().u8string());
  return names;
}

class OutputFiles : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = FreshTempFolder("vantor-outputs-");
    input_ = WriteFile(folder_ / "input.sdf", "the molecule");
    files_.AddInput(input_, "a molecule file this run reads");
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path folder_, input_;
  vthost::RunFiles files_;
};

TEST_F(OutputFiles, AGroupIsPutInPlaceWhenCommittedAndFailsFileByFile) {
  WriteFile(folder_ / "old.glb", "earlier");
  fs::create_directory(folder_ / "taken");
  std::vector<std::string> failures;
  {
    vthost::OutputGroup group(files_);
    std::string error;
    ASSERT_TRUE(group.Stage(folder_ / "new.glb", "new", &error)) << error;
    ASSERT_TRUE(group.Stage(folder_ / "old.glb", "replaced", &error)) << error;
    ASSERT_TRUE(group.Stage(folder_ / "late.glb", "late", &error)) << error;
    ASSERT_TRUE(group.Stage(folder_ / "came.glb", "ours", &error)) << error;
    EXPECT_FALSE(group.Stage(folder_ / "taken", "x", &error));
    EXPECT_NE(error.find("a folder"), std::string::npos) << error;
    EXPECT_FALSE(group.Stage(folder_ / "." / "input.sdf", "x", &error));
    EXPECT_NE(error.find("is a molecule file this run reads: not written"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(folder_ / "old.glb"), "earlier") << "in place before the group is committed";
    EXPECT_FALSE(fs::exists(folder_ / "new.glb"));
    EXPECT_EQ(group.Size(), 4u);
    WriteFile(folder_ / "late.glb" / "a folder made meanwhile", "");  // cannot be replaced by a file
    WriteFile(folder_ / "came.glb", "a file made meanwhile");         // replaced, as it would have been
    failures = group.Commit();
    EXPECT_EQ(group.Size(), 0u);
  }
  ASSERT_EQ(failures.size(), 4u);
  EXPECT_EQ(failures[0], "");
  EXPECT_EQ(failures[1], "");
  EXPECT_NE(failures[2].find("cannot write " + (folder_ / "late.glb").u8string()), std::string::npos) << failures[2];
  EXPECT_EQ(failures[3], "");
  EXPECT_EQ(ReadFile(folder_ / "new.glb"), "new");
  EXPECT_EQ(ReadFile(folder_ / "old.glb"), "replaced");
  EXPECT_EQ(ReadFile(folder_ / "came.glb"), "ours");
  EXPECT_EQ(ReadFile(input_), "the molecule");
  EXPECT_EQ(Names(folder_), (std::set<std::string>{"came.glb", "input.sdf", "late.glb", "new.glb", "old.glb", "taken"}));
}

TEST_F(OutputFiles, ManyPiecesAreWrittenInTheirOrder) {
  // more pieces than one call to the system takes, empty ones among them, and one of megabytes
  std::vector<std::string> texts;
  for (int i = 0; i < 300; ++i) texts.push_back(i % 7 == 3 ? "" : std::string(static_cast<size_t>(i % 13 + 1), char('a' + i % 26)));
  texts[150] = std::string(size_t{3} << 20, 'z');
  vthost::Pieces pieces(texts.begin(), texts.end());
  std::string whole;
  for (const std::string& text : texts) whole += text;
  std::string error;
  ASSERT_TRUE(files_.WriteOutput(folder_ / "pieces.glb", pieces, &error)) << error;
  EXPECT_TRUE(ReadFile(folder_ / "pieces.glb") == whole);
}

TEST_F(OutputFiles, AGroupNotCommittedLeavesNothing) {
  WriteFile(folder_ / "old.glb", "earlier");
  {
    vthost::OutputGroup group(files_);
    std::string error;
    ASSERT_TRUE(group.Stage(folder_ / "old.glb", "replaced", &error)) << error;
    ASSERT_TRUE(group.Stage(folder_ / "new.glb", "new", &error)) << error;
#if defined(__linux__)
    // no name until they are in place: nothing is left of them whatever ends the run
    EXPECT_EQ(Names(folder_).size(), 2u) << "the staged files have no names";
#else
    EXPECT_EQ(Names(folder_).size(), 4u) << "the staged files lie beside their targets";
#endif
  }
  EXPECT_EQ(ReadFile(folder_ / "old.glb"), "earlier");
  EXPECT_EQ(Names(folder_), (std::set<std::string>{"input.sdf", "old.glb"}));
}

TEST_F(OutputFiles, AGrowingOutputIsWholeWhenFinishedOrNotThere) {
  WriteFile(folder_ / "manifest.jsonl", "earlier\n");
  std::string error;
  {
    vthost::GrowingOutput unfinished;
    ASSERT_TRUE(unfinished.Open(files_, folder_ / "manifest.jsonl", &error)) << error;
    EXPECT_TRUE(unfinished.Append("half\n"));
  }
  EXPECT_EQ(ReadFile(folder_ / "manifest.jsonl"), "earlier\n");
  EXPECT_EQ(Names(folder_), (std::set<std::string>{"input.sdf", "manifest.jsonl"}));

  vthost::GrowingOutput manifest;
  ASSERT_TRUE(manifest.Open(files_, folder_ / "manifest.jsonl", &error)) << error;
  EXPECT_TRUE(manifest.Append("one\n") && manifest.Append("two\n"));
  EXPECT_EQ(ReadFile(folder_ / "manifest.jsonl"), "earlier\n");
  ASSERT_TRUE(manifest.Finish(&error)) << error;
  EXPECT_EQ(ReadFile(folder_ / "manifest.jsonl"), "one\ntwo\n");

  vthost::GrowingOutput overInput;
  EXPECT_FALSE(overInput.Open(files_, input_, &error));
  EXPECT_FALSE(overInput.Append("x"));
  EXPECT_EQ(ReadFile(input_), "the molecule");
}

TEST_F(OutputFiles, AnInputIsKnownByAnyOfItsNames) {
  std::error_code failure;
  fs::create_hard_link(input_, folder_ / "hard.sdf", failure);
  std::string error;
  const std::vector<fs::path> names = {folder_ / "x" / ".." / "input.sdf", folder_ / "hard.sdf"};
  for (const fs::path& name : names) {
    if (!fs::exists(name)) continue;  // no hard links on this file system
    EXPECT_FALSE(files_.MayWrite(name, &error)) << name;
  }
  EXPECT_TRUE(files_.MayWrite(folder_ / "other.sdf", &error)) << error;
}

TEST_F(OutputFiles, AFolderLinkChangedIsFollowedAgain) {
  fs::create_directory(folder_ / "a");
  fs::create_directory(folder_ / "b");
  std::error_code failure;
  fs::create_directory_symlink("a", folder_ / "link", failure);
  if (failure) GTEST_SKIP() << "no links here";
  // names of no file, so that they are compared as resolved names
  EXPECT_TRUE(vthost::SameFile(folder_ / "link" / "x.glb", folder_ / "a" / "x.glb"));
  fs::remove(folder_ / "link");
  fs::create_directory_symlink("b", folder_ / "link");
  EXPECT_TRUE(vthost::SameFile(folder_ / "link" / "x.glb", folder_ / "b" / "x.glb"));
  EXPECT_FALSE(vthost::SameFile(folder_ / "link" / "x.glb", folder_ / "a" / "x.glb"));
}

// A name whose folder is known, whose last part is a link: the link is followed each time, as it is
// when it changes.
TEST_F(OutputFiles, AFileLinkInAKnownFolderIsFollowedEachTime) {
  fs::create_directory(folder_ / "a");
  std::error_code failure;
  fs::create_symlink("a/x.glb", folder_ / "l.glb", failure);
  if (failure) GTEST_SKIP() << "no links here";
  for (int look = 0; look < 2; ++look) EXPECT_TRUE(vthost::SameFile(folder_ / "l.glb", folder_ / "a" / "x.glb")) << look;
  fs::remove(folder_ / "l.glb");
  fs::create_symlink("a/y.glb", folder_ / "l.glb");
  EXPECT_TRUE(vthost::SameFile(folder_ / "l.glb", folder_ / "a" / "y.glb"));
  EXPECT_FALSE(vthost::SameFile(folder_ / "l.glb", folder_ / "a" / "x.glb"));
}

#if !defined(_WIN32)
struct DescriptorCase {
  const char* name;
  int descriptor;  // -1: none
};

class DescriptorNames : public testing::TestWithParam<DescriptorCase> {};

// The process's own descriptors by their names, however the name is written; the first look
// resolves the folder, the second finds it known.
TEST_P(DescriptorNames, AreKnownByTheirLastPart) {
  for (int look = 0; look < 2; ++look) EXPECT_EQ(vthost::DescriptorOf(GetParam().name), GetParam().descriptor) << look;
}

const DescriptorCase kDescriptorNames[] = {
    {"/dev/stdout", 1}, {"/dev/./stderr", 2}, {"/tmp/../dev/stdin", 0}, {"/dev/fd/5", 5},
    {"/dev/stdout/.", -1}, {"/dev/fd/5x", -1}, {"/dev/fd/", -1}, {"/tmp/stdout.json", -1},
};

INSTANTIATE_TEST_SUITE_P(Names, DescriptorNames, testing::ValuesIn(kDescriptorNames));
#endif

}  // namespace

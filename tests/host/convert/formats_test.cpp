// The table of output formats: the form a file's name asks for, and the one rule of what an output
// may replace.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cases.h"
#include "files.h"
#include "tempfolder.h"
#include "vthost/formats.h"

namespace {

struct SuffixCase {
  const char* name;
  const char* option;  // the format's option; empty for the script's export
  const char* file;
  const char* form;
};

void PrintTo(const SuffixCase& c, std::ostream* out) { *out << c.name; }

const SuffixCase kSuffixes[] = {
    {"Package", "--usd", "m.usdz", "usdz"},
    {"PackageInCapitals", "--usd", "M.USDZ", "usdz"},
    {"DotFileNamedAsAPackage", "--usd", ".usdz", "usdz"},
    {"Text", "--usd", "m.usda", "usda"},
    {"ShortSuffixIsText", "--usd", "m.usd", "usda"},
    {"NoSuffixIsText", "--usd", "model", "usda"},
    {"UsdToStandardOutputIsText", "--usd", "-", "usda"},
    {"GltfOfAnySuffix", "--gltf", "m.usdz", "glb"},
    {"Report", "--json", "r.txt", "json"},
    {"ExportOfAPackage", "", "m.usdz", "usdz"},
    {"ExportOfADotFile", "", ".usda", "usda"},
    {"ExportOfAReportNameIsGltf", "", "notes.json", "glb"},
    {"ExportToStandardOutputIsGltf", "", "-", "glb"},
};

class FormsBySuffix : public testing::TestWithParam<SuffixCase> {};

TEST_P(FormsBySuffix, AreTheFormatsOwn) {
  const SuffixCase& c = GetParam();
  const vthost::FormatForm* form = &vthost::ModelFormOfFile(c.file);
  for (const vthost::OutputFormat& format : vthost::kOutputFormats) {
    if (format.option == c.option) form = &vthost::FormOfFile(format, c.file);
  }
  EXPECT_EQ(form->name, c.form);
  EXPECT_EQ(vthost::FormNamed(c.form), form);
}

INSTANTIATE_TEST_SUITE_P(Names, FormsBySuffix, testing::ValuesIn(kSuffixes), CaseName);

struct ReplaceCase {
  const char* name;
  const char* held;  // what the file holds before; null for no file, "/" for a folder
  const char* form;
  const char* refusal;  // a part of the reason; empty when it may be replaced
};

void PrintTo(const ReplaceCase& c, std::ostream* out) { *out << c.name; }

const ReplaceCase kReplacements[] = {
    {"NothingThere", nullptr, "glb", ""},
    {"EmptyFile", "", "usdz", ""},
    {"OwnFormat", "glTF\x02", "glb", ""},
    {"OwnReport", "{\"atoms\":3}", "json", ""},
    {"Notes", "my notes", "glb", "is there and is not a glTF file: not replaced"},
    {"TextForAPackage", "#usda 1.0", "usdz", "is there and is not a USDZ package: not replaced"},
    {"Folder", "/", "json", ": a folder"},
};

class Replacing : public testing::TestWithParam<ReplaceCase> {};

TEST_P(Replacing, TakesOnlyWhatItWrote) {
  const ReplaceCase& c = GetParam();
  const std::filesystem::path folder = FreshTempFolder("vantor-formats-");
  const std::filesystem::path file = folder / "out";
  if (c.held != nullptr && std::string(c.held) == "/") std::filesystem::create_directory(file);
  if (c.held != nullptr && std::string(c.held) != "/") WriteFile(file, c.held);
  const vthost::FormatForm& form = *vthost::FormNamed(c.form);
  std::string error;
  EXPECT_EQ(vthost::MayReplaceWith(file, form.magic, form.kind, &error), std::string(c.refusal).empty());
  EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
  std::filesystem::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Files, Replacing, testing::ValuesIn(kReplacements), CaseName);

}  // namespace

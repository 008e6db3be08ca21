// The run's pre-flight checks: its outputs' names and templates against its inputs and each other.
#include "preflight.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <system_error>
#include <utility>
#include <vector>

#include "vthost/collection.h"
#include "vthost/files.h"

namespace vantorcli {
namespace {

namespace fs = std::filesystem;
using vthost::kOutputFormats;

// An output of the run: the option that names it, and the name.
struct NamedOutput {
  std::string option;
  const std::string* name;
};

// Every output the run names, the formats' first, then the manifest.
std::vector<NamedOutput> OutputsOf(const RunRequest& request) {
  std::vector<NamedOutput> outputs;
  for (size_t i = 0; i < kOutputFormats.size(); ++i) {
    outputs.push_back({std::string(kOutputFormats[i].option), &request.outputs[i]});
  }
  outputs.push_back({"--manifest", &request.manifest});
  return outputs;
}

// Whether an output is standard output: "-", or a name of its descriptor (/dev/stdout).
bool IsStandardOutput(const std::string& name) { return name == "-" || vthost::DescriptorOf(fs::u8path(name)) == 1; }

// Whether two outputs of one molecule end in one file: by two names, or as standard output and
// the file it was sent to (--json - --gltf f >f).
bool OneFile(const std::string& first, const std::string& second) {
  if (first != "-" && second != "-") return vthost::SameFile(fs::u8path(first), fs::u8path(second));
#if defined(_WIN32)
  return false;
#else
  std::error_code failure;
  return fs::is_regular_file("/dev/stdout", failure) &&
         vthost::SameFile("/dev/stdout", fs::u8path(first == "-" ? second : first));
#endif
}

// The templates of a run of several molecules: each names one file per molecule, in a folder that is there.
bool CheckTemplates(const RunRequest& request, std::string* error) {
  std::vector<std::pair<std::string, vthost::NameTemplate>> templates;
  for (size_t i = 0; i < kOutputFormats.size(); ++i) {
    const std::string option(kOutputFormats[i].option);
    const std::string& text = request.outputs[i];
    if (text.empty()) continue;
    if (text == "-") {
      *error = option + " - writes one molecule, and this run converts several: give a name template such as "
                        "{stem}-{record}" + std::string(kOutputFormats[i].suffix);
      return false;
    }
    vthost::NameTemplate parsed;
    if (!vthost::NameTemplate::Parse(text, &parsed, error)) {
      *error = option + " " + *error;
      return false;
    }
    if (!parsed.HasAny()) {
      *error = option + " " + text + " names one file for several molecules: add {stem}, {record} or {title}";
      return false;
    }
    templates.emplace_back(option, std::move(parsed));
  }
  const bool manyRecords = std::any_of(request.inputs.begin(), request.inputs.end(), [&](const std::string& input) {
    return !IsMolFile(input) && request.records.Several();
  });
  // the records a run takes, short of every one: other runs may take the rest
  const vthost::RecordRange& records = request.records;
  const bool sharded = records.Several() && !(records.first == 1 && records.last == vthost::RecordRange::kEnd);
  using T = vthost::NameTemplate;
  for (const auto& [option, t] : templates) {
    const std::string named = option + " " + t.Text();
    if (manyRecords && !t.Has(T::kRecord | T::kTitle)) {
      *error = named + " gives every record of an input one name: add {record} or {title}";
      return false;
    }
    if (request.inputs.size() > 1 && !t.Has(T::kStem | T::kTitle)) {
      *error = named + " gives the molecules of every input one name: add {stem} or {title}";
      return false;
    }
    if (request.inputs.size() > 1 && !t.Has(T::kTitle)) {
      std::map<std::string, std::string> stems;
      for (const std::string& input : request.inputs) {
        std::string stem = vthost::StemOf(input);
        for (char& c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const auto [earlier, added] = stems.emplace(stem, input);
        if (!added) {
          *error = named + " gives " + earlier->second + " and " + input + " one name, as {stem} is " +
                   vthost::StemOf(input) + " for both: add {title}, or give the files apart";
          return false;
        }
      }
    }
    if (sharded && !t.KeepsRecordsApart()) {
      *error = named + ": --records " + std::to_string(records.first) + "-" + std::to_string(records.last) +
               " is a shard of its inputs, and the names of records of other shards may be the same, which "
               "neither shard can tell: put {record} where a name tells it, as in {title}-{record}";
      return false;
    }
    const fs::path folder = fs::u8path(t.FixedFolder());
    std::error_code failure;
    if (!fs::is_directory(folder, failure)) {
      *error = named + ": the folder " + folder.u8string() + " is not there";
      return false;
    }
  }
  for (size_t a = 0; a < templates.size(); ++a) {
    for (size_t b = a + 1; b < templates.size(); ++b) {
      // by the files they resolve to, placeholders and all: c/{record}.x and ./c/{record}.x, or a
      // folder and a link to it, name the same files
      if (vthost::SameFile(fs::u8path(templates[a].second.Text()), fs::u8path(templates[b].second.Text()))) {
        *error = templates[a].first + " and " + templates[b].first + " name the same files, " +
                 templates[a].second.Text();
        return false;
      }
    }
  }
  return true;
}

// No output of a run of one molecule, and no manifest, over what the run reads.
bool CheckInputs(const RunRequest& request, const fs::path& module, bool several, std::string* error) {
  std::error_code ignored;
  vthost::RunFiles resources;  // by name and as files: a link in res/ to a file elsewhere, a hard link
  resources.AddInputFolder(fs::absolute(module, ignored).parent_path() / "res", "res");
  std::vector<std::pair<std::string, vthost::ResolvedName>> inputs{{"the module file", vthost::ResolvedName(module)}};
  for (const std::string& input : request.inputs) {
    if (input != "-") inputs.emplace_back("the molecule file", vthost::ResolvedName(fs::u8path(input)));
  }
  for (const NamedOutput& output : OutputsOf(request)) {
    const std::string& file = *output.name;
    if (file.empty() || file == "-" || (several && output.option != "--manifest")) continue;
    const vthost::ResolvedName resolved(fs::u8path(file));
    for (const auto& [what, input] : inputs) {
      if (resolved.SameFile(input)) {
        *error = output.option + " names " + what + " " + file + ", which it would overwrite";
        return false;
      }
    }
    std::string ignoredReason;
    if (!resources.MayWrite(fs::u8path(file), &ignoredReason)) {
      *error = output.option + " names " + file + ", in the module's res folder, which it reads";
      return false;
    }
  }
  return true;
}

// No two outputs into one: standard output twice, or (in a run of one molecule) one file by two
// names; the names of several molecules are told apart as they are made.
bool CheckApart(const RunRequest& request, bool several, std::string* error) {
  const std::vector<NamedOutput> outputs = OutputsOf(request);
  for (size_t a = 0; a < outputs.size(); ++a) {
    for (size_t b = a + 1; b < outputs.size(); ++b) {
      const std::string& first = *outputs[a].name;
      const std::string& second = *outputs[b].name;
      if (first.empty() || second.empty()) continue;
      const std::string both = outputs[a].option + " and " + outputs[b].option;
      if (IsStandardOutput(first) && IsStandardOutput(second)) {
        *error = both + " cannot both write to standard output";
        return false;
      }
      if (!several && OneFile(first, second)) {
        *error = both + " name the same file, " + (first == "-" ? second : first);
        return false;
      }
    }
  }
  return true;
}

// The manifest's folder is there: known before any molecule is converted, not after them all.
bool CheckManifest(const RunRequest& request, std::string* error) {
  if (request.manifest.empty() || request.manifest == "-") return true;
  const fs::path folder = fs::u8path(request.manifest).parent_path();
  std::error_code failure;
  if (folder.empty() || fs::is_directory(folder, failure)) return true;
  *error = "--manifest " + request.manifest + ": the folder " + folder.u8string() + " is not there";
  return false;
}

}  // namespace

bool CheckRun(const RunRequest& request, const fs::path& module, std::string* error) {
  const bool several = Several(request);
  return (!several || CheckTemplates(request, error)) && CheckInputs(request, module, several, error) &&
         CheckApart(request, several, error) && CheckManifest(request, error);
}

}  // namespace vantorcli

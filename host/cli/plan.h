// The plan of a run: its molecules in order, every chosen record of every input, each with the
// names of its outputs; a name that an earlier molecule's output has fails the later one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "request.h"
#include "vthost/collection.h"
#include "vthost/files.h"
#include "workers.h"

namespace vantorcli {

// One molecule of the run, as the inputs give it.
struct Molecule {
  uint64_t ordinal = 0;  // its place in the run, from 0
  std::string input;
  uint64_t record = 1;
  std::string title;
  bool fromInput = false;  // the input itself is loaded: it holds the record first
  std::string text;        // otherwise the record's text
  std::string failure;     // it cannot be converted: why
  int failureStatus = kDone;
  OutputNames outputs;  // the names of its outputs; empty for none
};

class Molecules {
 public:
  explicit Molecules(const RunRequest& request);

  // Called before standard input is waited for.
  void OnWait(std::function<void()> waiting) { standardInput_.waiting = std::move(waiting); }

  // The next molecule; false when there is none. mine: whether this process converts the one at
  // that place (otherwise its record's text is not kept).
  template <typename Mine>
  bool Next(Molecule* m, const Mine& mine) {
    for (;;) {
      if (!reader_ && !OpenNext()) return false;
      if (Take(m, mine(ordinal_))) return true;
    }
  }

 private:
  // Opens the next input; false when none is left.
  bool OpenNext();
  // The next molecule of the open input; false when it has no more. keep: whether its text is kept.
  bool Take(Molecule* m, bool keep);
  bool Failed(Molecule* m, uint64_t record, const std::string& why);
  // The names of its outputs; one that an earlier molecule's output has fails it.
  bool Named(Molecule* m);

  const RunRequest& request_;
  std::vector<vthost::NameTemplate> templates_;  // of kOutputFormats
  bool registry_;  // whether names are told apart as they are made: in a run of several molecules
  std::filesystem::path::string_type manifest_;  // the manifest's name, resolved
  // The molecule that has an output: its input (of request_.inputs) and its record.
  struct Holder {
    size_t input;
    uint64_t record;
  };
  // Output names by a hash of the file each resolves to, and the molecule that has each: some tens of
  // bytes a name, where the names themselves took hundreds (a run may have millions of records).
  // Two files whose hashes meet, one pair in some 10^19, would be taken as one.
  std::unordered_map<uint64_t, Holder> written_;
  std::string Label(const Holder& holder) const;
  // One input and one template of {record} without {title}, whose names lie in one folder: its names
  // differ as texts, so that only those that are links (which may reach another molecule's file) are
  // kept; the others leave a bit by their record's number, and a run of millions of records does not
  // grow with them.
  struct PlainNames {
    size_t output;            // of kOutputFormats
    std::string stem;         // of the one input
    std::vector<bool> named;  // by record: its name was no link
  };
  std::optional<PlainNames> plain_;
  // Whether the name is kept: false when it is a plain name, whose record is marked instead.
  bool Kept(const Molecule& m, size_t output, const std::string& name);
  // The record of an earlier plain name that resolves to key, or 0.
  uint64_t PlainRecordAt(const std::filesystem::path::string_type& key) const;
  size_t next_ = 0;
  std::string input_;
  std::ifstream stream_;
  StandardInputBuffer standardInput_;
  std::istream standardStream_{&standardInput_};
  std::unique_ptr<vthost::RecordReader> reader_;
  bool unreadable_ = false;
  std::string unreadableWhy_;
  uint64_t ordinal_ = 0;
};

}  // namespace vantorcli

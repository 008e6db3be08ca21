// Outputs put where the user named them: standard output, a file replaced whole at once (a run of
// one molecule), or files staged and put in place a group at a time (a run of several), each under
// the one rule of what may be replaced.
#pragma once

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "plan.h"
#include "status.h"
#include "vthost/convert.h"
#include "vthost/files.h"

namespace vantorcli {

class Landing {
 public:
  Landing(const vthost::RunFiles& files, bool several);

  // What the conversion made written or staged under the molecule's names, and told in *o.
  void Land(const Molecule& m, const vthost::Conversion& conversion, Outcome* o);

  // Hands on the outcome once its outputs are in place. A group is put in place (flushed to disk,
  // then moved) in the background while the next is converted.
  void Stage(Outcome o, std::vector<Outcome>* done);
  // Every output staged put in place, and every outcome handed on.
  void Commit(std::vector<Outcome>* done);

 private:
  using Clock = std::chrono::steady_clock;
  void Write(const std::string& name, const vthost::FormatForm& form, const vthost::Pieces& bytes, Outcome* o);
  // The group in the background, once in place.
  void LandFlight(std::vector<Outcome>* done);
  // The outputs of each outcome that were put in place, and a failure for each that was not.
  void Resolve(std::vector<Outcome>* outcomes, const std::vector<std::string>& failures, std::vector<Outcome>* done);

  const vthost::RunFiles& files_;
  bool several_;
  std::unique_ptr<vthost::OutputGroup> group_;
  std::vector<Outcome> pending_;  // their outputs staged in group_
  Clock::time_point groupStart_;
  struct {
    std::unique_ptr<vthost::OutputGroup> group;
    std::vector<Outcome> outcomes;
    std::future<std::vector<std::string>> commit;
  } flight_;
};

}  // namespace vantorcli

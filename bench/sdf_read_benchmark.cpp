// The SDF/MOL reader against a bare getline loop over the same file, with the ratio of the two.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include "elementtable.h"
#include "mol2loader.h"
#include "vthost/host.h"
#include "vthost/module.h"
#include "vthost/record.h"

extern "C" int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3);

namespace {

const std::string kFile = std::string(VANTOR_SOURCE_DIR) + "/bench/data/large.sdf";

void BareLineRead(benchmark::State& state) {
  char line[10000];
  for (auto _ : state) {
    std::ifstream in(kFile);
    int64_t lines = 0;
    while (in.getline(line, sizeof line)) ++lines;
    benchmark::DoNotOptimize(lines);
  }
}

void SdfLoaderRead(benchmark::State& state) {
  using namespace vantor;
  ElementTable elements;
  elements.Load();
  const Filename file{String(kFile.c_str())};
  Molecule molecule;
  for (auto _ : state) {
    SdfLoader loader;
    loader.Read(Node(nullptr), file, elements, molecule.atoms, molecule.bonds);
    benchmark::DoNotOptimize(molecule.atoms.Count());
  }
  state.counters["atoms"] = molecule.atoms.Count();
  state.counters["bonds"] = molecule.bonds.Count();
}

BENCHMARK(BareLineRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(SdfLoaderRead)->Unit(benchmark::kMicrosecond);

// Prints as usual and keeps each benchmark's time per iteration for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) times[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  vthost::Host host;
  host.Types().SetModuleFolder(VANTOR_SOURCE_DIR);
  const VtHostInterface record = vthost::InterfaceRecord(vthost::kCurrentInterfaceVersion);
  VtString* path = record.St->FromBytes(VANTOR_SOURCE_DIR, -1, 0);
  VtFilename* location = record.Fn->FromString(path);
  if (c4d_main(VT_ACTION_INIT, const_cast<VtHostInterface*>(&record), nullptr, location) != 1) return 1;

  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (reporter.times.count("BareLineRead") && reporter.times.count("SdfLoaderRead")) {
    std::cout << "SdfLoader::Read / bare getline = " << reporter.times["SdfLoaderRead"] / reporter.times["BareLineRead"]
              << " (goal: at most 5)\n";
  }
  c4d_main(VT_ACTION_END, nullptr, nullptr, nullptr);
  record.Fn->Release(location);
  record.St->Release(path);
  return 0;
}

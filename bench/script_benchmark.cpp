// Script sessions on an object with many material rows: one edit (a set, a press, a link) and a
// whole script of 10,000 edits, through the built module as vantor-host --script runs them.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "vthost/host.h"
#include "vthost/script.h"

namespace {

const std::filesystem::path kModule =
    std::filesystem::path(VANTOR_PLUGIN_DIR) / (std::string("vantor") + VANTOR_MODULE_SUFFIX);

// The module loaded, an object m with rows material rows and a material Red.
struct Session {
  explicit Session(int64_t rows) : runner(host, out, err, kModule) {
    std::string script = "load\nnew m\nmaterial Red 1 0 0\n";
    for (int64_t row = 0; row < rows; ++row) script += "press m MOLOBJ_ADD_ROW\n";
    std::istringstream in(script);
    ready = runner.Run(in);
  }
  vthost::Host host;
  std::ostringstream out, err;
  vthost::ScriptRunner runner;
  bool ready = false;
};

// The edit of each iteration; the edits alternate between two values so each one changes something.
const char* const kEdits[][2] = {
    {"set m MOLOBJ_BOND_RADIUS 4", "set m MOLOBJ_BOND_RADIUS 5"},
    {"press m MOLOBJ_RESTORE_PRESET", "press m MOLOBJ_RESTORE_PRESET"},
    {"link m MOLOBJ_ROW_MATERIAL[0] Red", "link m MOLOBJ_ROW_MATERIAL[0] none"},
    {"set m MOLOBJ_ROW_TILES_U[0] 2", "set m MOLOBJ_ROW_TILES_U[0] 3"},
};
const char* const kEditNames[] = {"set", "press", "link", "set_row"};

void OneEdit(benchmark::State& state) {
  Session session(state.range(1));
  if (!session.ready) return state.SkipWithError(session.err.str().c_str());
  const auto& edit = kEdits[state.range(0)];
  size_t i = 0;
  for (auto _ : state) {
    if (!session.runner.RunLine(edit[i++ % 2])) return state.SkipWithError(session.err.str().c_str());
  }
  state.SetLabel(std::string(kEditNames[state.range(0)]) + ", " + std::to_string(state.range(1)) + " rows");
}

// 10,000 edits in one script, sets and presses taking turns, on an object with 249 rows.
void TenThousandEdits(benchmark::State& state) {
  std::string script;
  for (int i = 0; i < 5000; ++i) {
    script += "set m MOLOBJ_BOND_RADIUS " + std::to_string(3 + i % 5) + "\npress m MOLOBJ_RESTORE_PRESET\n";
  }
  for (auto _ : state) {
    state.PauseTiming();
    auto session = std::make_unique<Session>(249);
    if (!session->ready) return state.SkipWithError(session->err.str().c_str());
    std::istringstream in(script);
    state.ResumeTiming();
    if (!session->runner.Run(in)) return state.SkipWithError(session->err.str().c_str());
    state.PauseTiming();
    session.reset();
    state.ResumeTiming();
  }
}

BENCHMARK(OneEdit)->ArgsProduct({{0, 1, 2, 3}, {0, 249}})->Unit(benchmark::kMicrosecond);
BENCHMARK(TenThousandEdits)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

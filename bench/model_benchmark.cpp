// A full rebuild of the ball-and-stick model (module work and the host's meshes) against an
// evaluation that the host's cache answers, and the model's two exports (the report and the
// glTF), at 100, 300 and 999 atoms, through the built module.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

#include "vthost/models.h"
#include "vthost/report.h"
#include "vthost/host.h"
#include "vthost/module.h"
#include "vthost/molecule.h"
#include "vthost/value.h"

namespace {

std::string MoleculeFile(int64_t atoms) {
  const std::string data = std::string(VANTOR_SOURCE_DIR) + "/bench/data/";
  return atoms == 999 ? data + "large.sdf" : data + "large" + std::to_string(atoms) + ".sdf";
}

// The module started and one molecule object with the file loaded.
struct Scene {
  explicit Scene(int64_t atoms) {
    std::string error;
    module = vthost::Module::Load(host, std::string(VANTOR_PLUGIN_DIR) + "/vantor" + VANTOR_MODULE_SUFFIX, &error);
    if (!module || !module->StartUp(&error)) return;
    document = host.NewDocument();
    object = host.CreateObject(document, vthost::molecule::kType);
    host.SetParameter(object, vthost::molecule::kFile, vthost::Value(std::filesystem::path(MoleculeFile(atoms))));
    host.Press(object, vthost::molecule::kLoad);
    host.Evaluate(document);
  }
  ~Scene() {
    host.CloseDocument(document);
    if (module) module->End();
  }
  vthost::Host host;
  std::unique_ptr<vthost::Module> module;
  VtDocument* document = nullptr;
  VtNode* object = nullptr;
};

void FullRebuild(benchmark::State& state) {
  Scene scene(state.range(0));
  if (scene.object == nullptr) return state.SkipWithError("the module did not start");
  int32_t segments = 24;
  for (auto _ : state) {
    // a parameter change makes the host ask for a new hierarchy
    segments = segments == 24 ? 25 : 24;
    scene.host.SetParameter(scene.object, vthost::molecule::kSegments, vthost::Value(segments));
    scene.host.Evaluate(scene.document);
  }
  state.counters["atoms"] = static_cast<double>(state.range(0));
}

void CachedEvaluation(benchmark::State& state) {
  Scene scene(state.range(0));
  if (scene.object == nullptr) return state.SkipWithError("the module did not start");
  for (auto _ : state) scene.host.Evaluate(scene.document);
  state.counters["atoms"] = static_cast<double>(state.range(0));
}

// Takes every byte and keeps none, so that an export is timed without a disk.
class Discard : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void Report(benchmark::State& state) {
  Scene scene(state.range(0));
  if (scene.object == nullptr) return state.SkipWithError("the module did not start");
  Discard discard;
  std::ostream out(&discard);
  std::string error;
  for (auto _ : state) vthost::WriteReport(scene.host, scene.object, out, nullptr, &error);
}

void Gltf(benchmark::State& state) {
  Scene scene(state.range(0));
  if (scene.object == nullptr) return state.SkipWithError("the module did not start");
  std::string bytes, error;
  for (auto _ : state) vthost::GltfBytes(scene.host, vthost::ModelOf(scene.object), &bytes, &error);
}

// The same model as USDA text (0) and as a .usdz package (1).
void Usd(benchmark::State& state) {
  Scene scene(state.range(0));
  if (scene.object == nullptr) return state.SkipWithError("the module did not start");
  std::string bytes, error;
  for (auto _ : state) vthost::UsdBytes(scene.host, vthost::ModelOf(scene.object), state.range(1) == 1, &bytes, &error);
}

BENCHMARK(FullRebuild)->Arg(100)->Arg(300)->Arg(999)->Unit(benchmark::kMillisecond);
BENCHMARK(CachedEvaluation)->Arg(100)->Arg(300)->Arg(999)->Unit(benchmark::kMicrosecond);
BENCHMARK(Report)->Arg(100)->Arg(300)->Arg(999)->Unit(benchmark::kMicrosecond);
BENCHMARK(Gltf)->Arg(100)->Arg(300)->Arg(999)->Unit(benchmark::kMicrosecond);
BENCHMARK(Usd)->Args({999, 0})->Args({999, 1})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

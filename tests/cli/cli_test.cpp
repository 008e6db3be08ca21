// vantor-host as a careless or hostile user runs it: odd arguments, folders, devices and FIFOs in
// place of files, endless input, extreme values, full or closed standard output. Each run must end
// with the right exit status and a clear message, and the user's files must stay as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <map>
#include <ostream>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#if defined(SIGKILL)
constexpr int kKill = SIGKILL;
#else
constexpr int kKill = 9;  // Windows' headers lack it; the cases that signal a run are POSIX only
#endif

#include "cases.h"
#include "files.h"
#include "molfiles.h"
#include "program.h"
#include "tempfolder.h"

namespace {

namespace fs = std::filesystem;

// Exit statuses of vantor-host.
constexpr int kDone = 0, kFailed = 1, kBadArguments = 2, kNotLoaded = 3;

// A run of vantor-host and what must come of it, fact by fact; a run not told otherwise ends with kDone.
struct CliCase {
  std::string name;
  // its arguments, where "{dir}" is the case's own folder, "{water}" a water molfile in it, "{script}" the
  // script; its standard output, file size limit and time limit (the test gives it its program and folder)
  Invocation run;
  std::string script;   // written to {script} when not empty
  int status = kDone;
  std::string message;  // a part of standard error
  std::vector<std::string> written;     // files in {dir} that must be there afterwards, the only new ones
  std::vector<std::string> notWritten;  // and files that must not
  std::string outputStarts;             // what standard output begins with
  bool posixOnly = false;  // FIFOs, devices, links, full or closed standard output, a file size limit
  bool windowsOnly = false;
  bool workers = false;  // it starts workers: the program again, which an emulator without binfmt cannot
  bool anyStatus = false;  // a run a signal may end before or after its work is done
  std::pair<std::string, std::string> kept;  // a file in {dir} made before the run, whose bytes it keeps
  std::string in;          // the folder in {dir} it runs in; {dir} itself when empty
  std::function<void(const fs::path& dir)> prepare;  // makes what else the run needs in {dir}

  CliCase& Run(std::vector<std::string> arguments) { run.arguments = std::move(arguments); return *this; }
  // vantor-host --script {script}, with {script} holding these lines
  CliCase& Script(std::string lines) { script = std::move(lines); return Run({"--script", "{script}"}); }
  CliCase& Ends(int withStatus, std::string saying) { status = withStatus; message = std::move(saying); return *this; }
  CliCase& Writes(std::vector<std::string> files) { written = std::move(files); return *this; }
  CliCase& NotWrites(std::vector<std::string> files) { notWritten = std::move(files); return *this; }
  CliCase& OutputStarts(std::string start) { outputStarts = std::move(start); return *this; }
  CliCase& Output(StandardOutput to) { run.output = to; return *this; }
  CliCase& Keeps(std::string file, std::string bytes) { kept = {std::move(file), std::move(bytes)}; return *this; }
  CliCase& FileSizeLimit(size_t bytes) { run.fileSizeLimit = bytes; return *this; }
  CliCase& WithinSeconds(int seconds) { run.seconds = seconds; return *this; }
  CliCase& PosixOnly() { posixOnly = true; return *this; }
  CliCase& StandardInput(std::string file) { run.input = std::move(file); return *this; }  // a file in {dir}
  CliCase& In(std::string folder) { in = std::move(folder); return *this; }
  CliCase& OutputBefore(std::string text) { run.outputBefore = std::move(text); return PosixOnly(); }
  CliCase& MemoryLimit(size_t bytes) { run.memoryLimit = bytes; return PosixOnly(); }
  CliCase& Signal(int signal, int milliseconds) {
    run.signal = signal, run.signalAfter = milliseconds, anyStatus = true;
    return PosixOnly();
  }
  // standard input from a pipe: text once, then held open (until Awaits' file is made), or text again and again
  CliCase& Feed(std::string text) { run.feed = std::move(text); return PosixOnly(); }
  CliCase& FeedWithoutEnd(std::string text) { run.endlessFeed = true; return Feed(std::move(text)); }
  // a file in {dir} the run must make while its input is held open, before any signal
  CliCase& Awaits(std::string file) { run.awaited = std::move(file); return *this; }
  CliCase& WindowsOnly() { windowsOnly = true; return *this; }
  CliCase& Workers() { workers = true; return *this; }
  CliCase& Prepare(std::function<void(const fs::path& dir)> make) { prepare = std::move(make); return *this; }
};

CliCase Case(std::string name) { CliCase c; c.name = std::move(name); return c; }

std::string WaterRecord() { return std::string(kWaterMolfile) + "$$$$\n"; }
std::string ManyRecords(size_t count);

void PrintTo(const CliCase& c, std::ostream* out) { *out << c.name; }

// A document header with nothing after it but zeros: 17 MiB.
constexpr size_t kOversizedDocument = size_t{17} << 20;
// A 16 MiB document claiming almost as many nodes as it has bytes, then zeros.
constexpr size_t kClaimingDocument = size_t{16} << 20;
constexpr uint32_t kClaimedNodes = 16777196;
// One node more than a document may hold: materials of no name, black.
constexpr uint32_t kTooManyNodes = 10001;

// Symbolic links in every case's folder (POSIX), which stay links whatever the run writes through them.
constexpr std::pair<const char*, const char*> kLinks[] = {
    {"zero.sdf", "/dev/zero"}, {"full.json", "/dev/full"}, {"null.json", "/dev/null"}, {"lnk.glb", "new.json"}};

#if defined(_WIN32) || defined(__APPLE__)
constexpr bool kCaseFolds = true;  // file names of either case are one file
#else
constexpr bool kCaseFolds = false;
#endif
#if defined(_WIN32)
constexpr const char* kNullDevice = "NUL";
#else
constexpr const char* kNullDevice = "/dev/null";
#endif

std::string Word(uint32_t value);

// A document of one molecule object: its values (ids from 1000000, each the bool true) and its
// track ids (from 100000).
std::string OneObjectDocument(uint32_t values, uint32_t tracks) {
  std::string document = "VANTORDC" + Word(1) + Word(1);
  document += '\x01' + Word(1060013) + Word(1) + Word(0) + Word(1) + "m" + Word(values);
  for (uint32_t i = 0; i < values; ++i) document += Word(1000000 + i) + "\x03\x01";
  document += Word(tracks);
  for (uint32_t i = 0; i < tracks; ++i) document += Word(100000 + i);
  return document + Word(0) + Word(0) + Word(0);
}

// A folder out and a link lnk to it.
void FolderAndLink(const fs::path& dir) {
  fs::create_directory(dir / "out");
  fs::create_directory_symlink("out", dir / "lnk");
}

std::string Replaced(std::string text, const std::string& from, const std::string& to);

// a.sdf of eleven records and a1.sdf of one: {stem}{record} is a11 for the last of one and the first of the other.
void ElevenAndOne(const fs::path& dir) {
  const std::string record = std::string(kWaterMolfile) + "$$$$\n";
  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += record;
  WriteFile(dir / "a.sdf", eleven);
  WriteFile(dir / "a1.sdf", record);
}

// prefix1 to prefixN, each with the suffix.
std::vector<std::string> Numbered(const std::string& prefix, int last, const std::string& suffix) {
  std::vector<std::string> names;
  for (int i = 1; i <= last; ++i) names.push_back(prefix + std::to_string(i) + suffix);
  return names;
}

std::vector<CliCase> Cases() {
  const std::string longName = "{dir}/" + std::string(5000, 'a') + ".sdf";
  const std::string longLine = "load\n" + std::string((size_t{1} << 20) + 1, 'x') + "\n";
  std::string tooManyMaterials = "load\n";
  for (uint32_t i = 0; i < kTooManyNodes; ++i) tooManyMaterials += "material m" + std::to_string(i) + " 1 0 0\n";
  const std::string module = std::string("{plugin}/vantor") + VANTOR_MODULE_SUFFIX;  // a copy of the built module
  return {
      // crashes and endless reads
      Case("OpenOfAFolder").Script("load\nopen {dir}\n").Ends(kFailed, "line 2: cannot open"),
      Case("OpenOfADocumentNamedFolder").Script("load\nopen {dir}/folder.sdf\n").Ends(kFailed, "a folder"),
      Case("OpenOfADevice").Script("load\nopen /dev/zero\n").Ends(kFailed, "not a regular file").PosixOnly(),
      Case("OpenOfAFifo").Script("load\nopen {dir}/fifo.sdf\n").Ends(kFailed, "not a regular file").PosixOnly(),
      Case("OpenOfAnOversizedDocument").Script("load\nopen {dir}/big.vdoc\n")
          .Ends(kFailed, "more than the 16 MiB a document may hold"),
      // took 6 s and 2.9 GB before its count was weighed against the bytes left
      Case("OpenOfADocumentClaimingMillionsOfNodes").Script("load\nopen {dir}/claims.vdoc\n")
          .Ends(kFailed, "line 2: cannot open {dir}/claims.vdoc: damaged document").WithinSeconds(3),
      Case("OpenOfADocumentPastTheNodeLimit").Script("load\nopen {dir}/many.vdoc\n")
          .Ends(kFailed, "holds 10001 objects and materials, more than the 10000 a document may hold"),
      Case("SaveOfADocumentPastTheNodeLimit").Script(tooManyMaterials + "save {dir}/more.vdoc\n")
          .Ends(kFailed, "more than the 10000 a document may hold: not saved").NotWrites({"more.vdoc"}),
      Case("ScriptFromADevice").Run({"--script", "/dev/zero"})
          .Ends(kFailed, "line 1: longer than 1048576 bytes").PosixOnly(),
      Case("ScriptLineTooLong").Script(longLine).Ends(kFailed, "line 2: longer than 1048576 bytes"),
      Case("ModuleThatIsAFifo").Run({"--module", "{dir}/fifo.sdf"}).Ends(kFailed, "not a regular file").PosixOnly(),
      // wrong parameters edited
      Case("SetOfRow249").Run({"{water}", "--set", "MOLOBJ_ROW_OFFSET_U[249]=2"})
          .Ends(kBadArguments, "an object has at most 249 material rows"),
      Case("SetOfTilesOfRow249").Run({"{water}", "--set", "MOLOBJ_ROW_TILES_U[249]=2"})
          .Ends(kBadArguments, "an object has at most 249 material rows"),
      Case("LinkIntoAnInteger").Script("load\nnew a\nmaterial R 1 0 0\nlink a MOLOBJ_SEGMENTS R\n")
          .Ends(kFailed, "line 4: 'MOLOBJ_SEGMENTS' is an int parameter, not a link"),
      // success that was not
      Case("MissingMolecule").Run({"{dir}/missing.sdf", "--json", "{dir}/report.json", "--gltf", "{dir}/model.glb"})
          .Ends(kNotLoaded, "could not be loaded").Writes({"report.json"}).NotWrites({"model.glb"}),
      Case("MoleculeThatIsAFolder").Run({"{dir}/folder.sdf", "--json", "{dir}/report.json"})
          .Ends(kNotLoaded, "folder.sdf: could not be loaded (it is a folder)").Writes({"report.json"}),
      Case("MoleculeThatIsAFifo").Run({"{dir}/fifo.sdf", "--json", "{dir}/report.json"})
          .Ends(kNotLoaded, "could not be loaded").Writes({"report.json"}).PosixOnly(),
      Case("MoleculeThatIsADevice").Run({"{dir}/zero.sdf"}).Ends(kNotLoaded, "could not be loaded").PosixOnly(),
      Case("MoleculePathTooLong").Run({longName}).Ends(kNotLoaded, "could not be loaded"),
      Case("MoleculeOfAnUnknownSuffix").Run({"{dir}/water.pdb"}).Ends(kNotLoaded, "Unrecognised file format"),
      Case("FailedLoadInAScriptGoesOn")
          .Script("load\nnew a\nset a MOLOBJ_FILE {dir}/missing.sdf\npress a MOLOBJ_LOAD\ndump a\n")
          .Ends(kDone, "[message] The .sdf file specified does not exist.").OutputStarts("{"),
      // finite in the report, beyond single precision in the glTF
      Case("HugePositionScale").Run({"{water}", "--set", "MOLOBJ_POSITION_SCALE=1e308", "--json", "{dir}/report.json",
                                     "--gltf", "{dir}/model.glb"})
          .Ends(kFailed, "lies beyond what glTF's 32-bit floats hold").Writes({"report.json"}).NotWrites({"model.glb"}),
      Case("HugePositionScaleOfAWideMolecule")
          .Run({"{dir}/wide.mol", "--set", "MOLOBJ_POSITION_SCALE=1e308", "--json", "-"})
          .Ends(kFailed, "the report holds a number that is not finite, in \"position\" of 'O'"),
      Case("HugePositionScaleReportToAFile")
          .Run({"{dir}/wide.mol", "--set", "MOLOBJ_POSITION_SCALE=1e308", "--json", "{dir}/report.json"})
          .Ends(kFailed, "the report holds a number that is not finite, in \"position\" of 'O' (is a parameter such as "
                         "MOLOBJ_POSITION_SCALE too large?): not written").NotWrites({"report.json"}),
      Case("HugePositionScaleReportToAFullFile")  // refused before a byte is written: the device is left as it is
          .Run({"{dir}/wide.mol", "--set", "MOLOBJ_POSITION_SCALE=1e308", "--json", "{dir}/full.json"})
          .Ends(kFailed, "not written").Writes({"full.json"}).PosixOnly(),
      Case("HugePositionScaleKeepsTheEarlierReport")
          .Run({"{dir}/wide.mol", "--set", "MOLOBJ_POSITION_SCALE=1e308", "--json", "{dir}/report.json"})
          .Ends(kFailed, "not written").Keeps("report.json", "{\"earlier\": true}\n"),
      Case("HugePositionScaleReportThroughALinkToADevice")
          .Run({"{dir}/wide.mol", "--set", "MOLOBJ_POSITION_SCALE=1e308", "--json", "{dir}/null.json"})
          .Ends(kFailed, "not written").Writes({"null.json"}).PosixOnly(),
      Case("HugeBondRadius").Run({"{water}", "--set", "MOLOBJ_BOND_RADIUS=1e100", "--gltf", "{dir}/model.glb"})
          .Ends(kFailed, "lies beyond what glTF's 32-bit floats hold").NotWrites({"model.glb"}),
      Case("JsonAndGltfToOneFile").Run({"{water}", "--json", "{dir}/out", "--gltf", "{dir}/./out"})
          .Ends(kBadArguments, "--json and --gltf name the same file").NotWrites({"out"}),
      Case("GltfOverTheMolecule").Run({"{water}", "--gltf", "{water}"})
          .Ends(kBadArguments, "--gltf names the molecule file"),
      Case("JsonOverTheMoleculeByAnotherPath").Run({"{water}", "--json", "{dir}/../{dirname}/water.mol"})
          .Ends(kBadArguments, "--json names the molecule file"),
      Case("SaveOverTheMolecule").Script("load\nnew a\nsave {water}\n")
          .Ends(kFailed, "is there and is not a Vantor document: not replaced"),
      // outputs over what the run reads, or over each other by another name
      Case("GltfOverTheModule").Run({"{water}", "--module", module, "--gltf", module})
          .Ends(kBadArguments, "--gltf names the module file " + module + ", which it would overwrite"),
      Case("JsonOverTheElementTable").Run({"{water}", "--module", module, "--json", "{plugin}/res/../res/ptable.csv"})
          .Ends(kBadArguments,
                "--json names {plugin}/res/../res/ptable.csv, in the module's res folder, which it reads"),
      Case("SaveOverAnEmptyMoleculeItRead")
          .Script("load\nnew a\nset a MOLOBJ_FILE {dir}/empty.sdf\npress a MOLOBJ_LOAD\nsave {dir}/empty.sdf\n")
          .Ends(kFailed, "line 5: {dir}/empty.sdf is a file the module read: not written").Keeps("empty.sdf", ""),
      Case("JsonAndGltfThroughADanglingLink").Run({"{water}", "--json", "{dir}/new.json", "--gltf", "{dir}/lnk.glb"})
          .Ends(kBadArguments, "--json and --gltf name the same file").NotWrites({"new.json"}).PosixOnly(),
      Case("JsonAndGltfOfNamesThatDifferInCase")
          .Run({"{water}", "--json", "{dir}/Out.json", "--gltf", "{dir}/out.JSON"})
          .Ends(kCaseFolds ? kBadArguments : kDone, kCaseFolds ? "--json and --gltf name the same file" : "")
          .Writes(kCaseFolds ? std::vector<std::string>{} : std::vector<std::string>{"Out.json", "out.JSON"}),
      // writes that fail half-way, or to a device: the old file stays, the device is written as it is
      Case("GltfFailingHalfWay").Run({"{water}", "--gltf", "{dir}/model.glb"}).FileSizeLimit(1000).PosixOnly()
          .Keeps("model.glb", "glTF of an earlier run").Ends(kFailed, "cannot write {dir}/model.glb: File too large"),
      Case("JsonFailingHalfWay").Run({"{water}", "--json", "{dir}/report.json"}).FileSizeLimit(1000).PosixOnly()
          .Keeps("report.json", "{\"earlier\": true}\n")
          .Ends(kFailed, "cannot write {dir}/report.json: File too large"),
      Case("SaveFailingHalfWay").FileSizeLimit(1000).PosixOnly().Keeps("doc.vdoc", "VANTORDC of an earlier save")
          .Script("load\nnew a\nset a MOLOBJ_FILE {water}\npress a MOLOBJ_LOAD\nsave {dir}/doc.vdoc\n")
          .Ends(kFailed, "line 5: cannot write {dir}/doc.vdoc: File too large"),
      Case("JsonToAFullDevice").Run({"{water}", "--json", "{dir}/full.json"})
          .Ends(kFailed, "cannot write {dir}/full.json: No space left on device").Writes({"full.json"}).PosixOnly(),
      Case("JsonToTheNullDevice").Run({"{water}", "--json", kNullDevice}),
      Case("GltfThroughADanglingLink").Run({"{water}", "--gltf", "{dir}/lnk.glb"}).Writes({"new.json"}).PosixOnly(),
      Case("GltfToStandardOutput").Run({"{water}", "--gltf", "-"}).NotWrites({"-"}).OutputStarts("glTF"),
      // USD beside glTF, under the same rules
      Case("UsdaToStandardOutput").Run({"{water}", "--usd", "-"}).NotWrites({"-"})
          .OutputStarts("#usda 1.0\n(\n    defaultPrim = \"water\"\n"),
      Case("UsdzAndGltf").Run({"{water}", "--usd", "{dir}/model.usdz", "--gltf", "{dir}/model.glb"})
          .Writes({"model.usdz", "model.glb"}),
      Case("UsdAndGltfToStandardOutput").Run({"{water}", "--usd", "-", "--gltf", "-"})
          .Ends(kBadArguments, "--gltf and --usd cannot both write to standard output"),
      Case("UsdOverTheMolecule").Run({"{water}", "--usd", "{water}"})
          .Ends(kBadArguments, "--usd names the molecule file"),
      Case("HugeBondRadiusInUsd").Run({"{water}", "--set", "MOLOBJ_BOND_RADIUS=1e100", "--usd", "{dir}/model.usdz"})
          .Ends(kFailed, "lies beyond what USD's 32-bit floats hold").NotWrites({"model.usdz"}),
      Case("UsdOfEveryRecord").Run({"{dir}/three.sdf", "--records", "all", "--usd", "{dir}/{stem}-{record}.usda"})
          .Ends(kDone, "3 molecules converted").Writes({"three-1.usda", "three-2.usda", "three-3.usda"}),
      Case("UsdOfSeveralToStandardOutput").Run({"{dir}/three.sdf", "--records", "all", "--usd", "-"})
          .Ends(kBadArguments, "give a name template such as {stem}-{record}.usdz"),
      Case("ScriptExportsUsd").Script("load\nnew m\nset m MOLOBJ_FILE {water}\npress m MOLOBJ_LOAD\neval\n"
                                      "export m {dir}/m.usdz\nexport m {dir}/m.usda\nexport m {dir}/m.glb\n")
          .Writes({"m.usdz", "m.usda", "m.glb"}),
      Case("GltfOverATextFile").Run({"{water}", "--gltf", "{dir}/notes.txt"}).Keeps("notes.txt", "my notes")
          .Ends(kFailed, "notes.txt is there and is not a glTF file: not replaced"),
      Case("ScriptExportToTheNullDevice").PosixOnly()
          .Script("load\nnew m\nset m MOLOBJ_FILE {water}\npress m MOLOBJ_LOAD\neval\nexport m /dev/null\n"),
      Case("ScriptExportOverWhatIsNotUsd").Script("load\nnew m\nset m MOLOBJ_FILE {water}\npress m MOLOBJ_LOAD\neval\n"
                                                  "export m {dir}/notes.usda\n")
          .Keeps("notes.usda", "my notes").Ends(kFailed, "notes.usda is there and is not a USDA file: not replaced"),
      // a triangle budget: the finest model within it, or a clear no
      Case("BudgetTooSmall").Run({"{water}", "--max-triangles", "10", "--gltf", "{dir}/model.glb"})
          .Ends(kFailed, "the model needs 34 triangles at the least (MOLOBJ_SEGMENTS=3 and MOLOBJ_BOND_SUBDIVISIONS=0), "
                         "more than --max-triangles 10")
          .NotWrites({"model.glb"}),
      // bonds of radius 0 draw nothing: only the atoms' triangles count
      Case("BudgetOfBondsOfNoSize")
          .Run({"{water}", "--set", "MOLOBJ_BOND_RADIUS=0", "--max-triangles", "20", "--gltf", "{dir}/model.glb"})
          .Ends(kDone, "18 triangles within --max-triangles 20, with MOLOBJ_SEGMENTS=3 and MOLOBJ_BOND_SUBDIVISIONS=100")
          .Writes({"model.glb"}),
      Case("BudgetOfNoTriangles").Run({"{water}", "--max-triangles", "0"})
          .Ends(kBadArguments, "--max-triangles needs a whole number of triangles from 1, not '0'"),

      Case("JsonAndGltfToStandardOutput").Run({"{water}", "--json", "-", "--gltf", "-"})
          .Ends(kBadArguments, "cannot both write to standard output"),
      Case("JsonNamedAfterAnOption").Run({"{water}", "--json", "--gltf", "{dir}/model.glb"})
          .Ends(kBadArguments, "--json needs a file name, not '--gltf'").NotWrites({"--gltf", "model.glb"}),
      Case("EmptyJsonName").Run({"{water}", "--json", ""}).Ends(kBadArguments, "--json needs a file name"),
      Case("EmptyScriptName").Run({"--script", ""}).Ends(kBadArguments, "--script needs a file name"),
      Case("JsonGivenTwice").Run({"{water}", "--json", "{dir}/a.json", "--json", "{dir}/b.json"})
          .Ends(kBadArguments, "--json is given twice").NotWrites({"a.json", "b.json"}),
      Case("ScriptThatIsAFolder").Run({"--script", "{dir}"}).Ends(kBadArguments, "a folder"),
      Case("WordsAfterEval").Script("load\neval now\n").Ends(kFailed, "line 2: usage: eval"),
      // names and paths with blanks, quoted or as the rest of the line
      Case("ExportOfAnOpenedObjectNamedWithBlanks")
          .Script("load\nnew m\nset m MOLOBJ_FILE {dir}/my molecule.mol\npress m MOLOBJ_LOAD\nsave {dir}/my doc.vdoc\n"
                  "open \"{dir}/my doc.vdoc\"\neval\nexport \"my molecule\" {dir}/my model.glb\n")
          .Writes({"my doc.vdoc", "my model.glb"}),
      Case("LoadOfAModuleInAFolderWithBlanks").Script("load {dir}/plug ins/vantor/{module}\nnew m\n"),
      Case("QuoteNotClosed").Script("load\nnew \"m \\\"x\\\"\n").Ends(kFailed, "line 2: a quote is not closed"),
      Case("ScriptStartingWithAByteOrderMark").Script("\xEF\xBB\xBFload\nnew m\n"),
      Case("MoleculeWithoutAtoms").Run({"{dir}/empty.mol", "--gltf", "{dir}/model.glb"})
          .Ends(kNotLoaded, "no atom could be read").NotWrites({"model.glb"}),
      // a model with no atom read fails and is not written; one the settings leave empty is the user's
      Case("MoleculeOfUnknownSymbols").Writes({"m.jsonl"})
          .Prepare([](const fs::path& dir) { WriteFile(dir / "q.mol", Replaced(Replaced(kWaterMolfile, " O ", " Qq"), " H ", " Qq")); })
          .Run({"{dir}/q.mol", "--gltf", "{dir}/m.glb", "--json", "{dir}/m.json", "--manifest", "{dir}/m.jsonl"})
          .Ends(kNotLoaded, "q.mol: no atom could be read").NotWrites({"m.glb", "m.json"}),
      Case("MoleculeOfHydrogensHidden").Writes({"m.glb"})
          .Prepare([](const fs::path& dir) { WriteFile(dir / "h.mol", Replaced(kWaterMolfile, " O ", " H ")); })
          .Run({"{dir}/h.mol", "--set", "MOLOBJ_SHOW_HYDROGENS=false", "--gltf", "{dir}/m.glb"})
          .Ends(kDone, "the model is empty: the parameters set draw none of its 3 atoms"),
      Case("ScriptExportOfAnEmptyModel")
          .Script("load\nnew m\nset m MOLOBJ_FILE {dir}/empty.mol\npress m MOLOBJ_LOAD\neval\nexport m {dir}/m.glb\n")
          .Ends(kFailed, "line 6: 'm' has an empty model, with no atoms and no bonds: nothing written")
          .NotWrites({"m.glb"}),
      Case("InterfaceVersionThatIsNoNumber").Run({"--interface-version", "abc"})
          .Ends(kBadArguments, "needs a whole number from -2147483648 to 2147483647, not 'abc'\nusage: vantor-host"),
      Case("InterfaceVersionPast32Bits").Run({"--interface-version", "99999999999"})
          .Ends(kBadArguments, "needs a whole number from -2147483648 to 2147483647"),
      Case("InterfaceVersionRefused").Run({"--interface-version", "1000"})
          .Ends(kFailed, "refused to start (action 1) with interface version 1000"),
      Case("ReportToAFullOutput").Run({"{water}", "--json", "-"}).Output(StandardOutput::Full).PosixOnly()
          .Ends(kFailed, "cannot write the report to standard output"),
      Case("ReportToAClosedOutput").Run({"{water}", "--json", "-"}).Output(StandardOutput::Closed).PosixOnly()
          .Ends(kFailed, "cannot write the report to standard output"),
      Case("GltfToAClosedPipe").Run({"{water}", "--gltf", "-"}).Output(StandardOutput::BrokenPipe).PosixOnly()
          .Ends(kFailed, "cannot write the glTF to standard output: Broken pipe"),
      Case("RegistrationsToAFullOutput").Output(StandardOutput::Full).PosixOnly()
          .Ends(kFailed, "cannot write the registrations to standard output"),
      Case("DumpToAFullOutput").Script("load\nnew a\ndump a\n").Output(StandardOutput::Full).PosixOnly()
          .Ends(kFailed, "line 3: cannot write what 'dump' prints: No space left on device"),
      // the module exactly as named, its resources as files
      Case("ModuleByABareName").In("plugin").Run({"{water}", "--module", "{module}"}),
      Case("ScriptLoadOfABareName").In("plugin").Script("load {module}\nnew m\n"),
      Case("JsonOverAResourceLinkedFromElsewhere").PosixOnly().Prepare([](const fs::path& dir) {
        fs::create_directory(dir / "shared");
        fs::rename(dir / "plugin" / "res" / "strings.json", dir / "shared" / "strings.json");
        fs::create_symlink(dir / "shared" / "strings.json", dir / "plugin" / "res" / "strings.json");
      }).Run({"{water}", "--module", module, "--json", "{dir}/shared/strings.json"})
          .Ends(kBadArguments, "--json names {dir}/shared/strings.json, in the module's res folder, which it reads"),
      // a module that cannot make its object: the run fails; a setting that cannot be tried is refused
      Case("NoElementTable").Prepare([](const fs::path& dir) { fs::remove(dir / "plugin" / "res" / "ptable.csv"); })
          .Run({"{water}", "--module", module, "--json", "{dir}/w.json"}).NotWrites({"w.json"})
          .Ends(kFailed, "{water}: the molecule object could not be made"),
      Case("NoElementTableForASetting").Prepare([](const fs::path& dir) { fs::remove(dir / "plugin" / "res" / "ptable.csv"); })
          .Run({"{water}", "--module", module, "--set", "MOLOBJ_SHOW_NUCLEUS=true", "--json", "{dir}/w.json"})
          .NotWrites({"w.json"}).Ends(kBadArguments, "the molecule object could not be made"),
      Case("JsonOverAHardLinkToTheElementTable").PosixOnly().Prepare([](const fs::path& dir) {
        fs::create_hard_link(dir / "plugin" / "res" / "ptable.csv", dir / "table.csv");
      }).Run({"{water}", "--module", module, "--json", "{dir}/table.csv"}).Writes({"table.csv"})
          .Ends(kBadArguments, "--json names {dir}/table.csv, in the module's res folder, which it reads"),
      // standard output by its names, and names of folders
      Case("JsonToStandardOutputByNameAppended").OutputBefore("earlier\n").Run({"{water}", "--json", "/dev/stdout"})
          .OutputStarts("earlier\n{\"atoms\":3"),
      Case("JsonToStandardOutputByTwoNames").PosixOnly().Run({"{water}", "--json", "-", "--gltf", "/dev/stdout"})
          .Ends(kBadArguments, "--json and --gltf cannot both write to standard output"),
      Case("JsonToStandardOutputAndGltfToItsFile").PosixOnly()
          .Run({"{water}", "--json", "-", "--gltf", "{dir}/stdout.txt"})
          .Ends(kBadArguments, "--json and --gltf name the same file, {dir}/stdout.txt"),
      Case("JsonIntoAFileAsIfAFolder").Run({"{water}", "--json", "{dir}/empty.sdf/"}).Keeps("empty.sdf", "")
          .Ends(kFailed, "cannot write {dir}/empty.sdf/: Not a directory"),
      Case("JsonIntoANewNameAsIfAFolder").Run({"{water}", "--json", "{dir}/new/"})
          .Ends(kFailed, "cannot write {dir}/new/: Not a directory").NotWrites({"new"}),
      Case("JsonIntoAFileAsIfItsOwnFolder").Run({"{water}", "--json", "{dir}/empty.sdf/."}).Keeps("empty.sdf", "")
          .Ends(kFailed, "cannot write {dir}/empty.sdf/.: Not a directory"),
      // an earlier report, which the run may replace but for the attribute
      Case("ReadOnlyFileKept").WindowsOnly().Prepare([](const fs::path& dir) {
        const fs::path file = WriteFile(dir / "ro.json", "{\"kept\": true}");
        fs::permissions(file, fs::perms::owner_write, fs::perm_options::remove);
      }).Run({"{water}", "--json", "{dir}/ro.json"}).Ends(kFailed, "cannot write {dir}/ro.json")
          .Keeps("ro.json", "{\"kept\": true}"),
      // ended by a signal in the middle of a write of 56 MB (as soon as a new file is seen beside it): nothing is left
      Case("TerminatedWhileWriting").Signal(SIGTERM, 3000).Keeps("model.glb", "")
          .Run({"{water}", "--set", "MOLOBJ_SEGMENTS=1000", "--gltf", "{dir}/model.glb"}),
      Case("InterruptedWhileWriting").Signal(SIGINT, 3000).Keeps("model.glb", "")
          .Run({"{water}", "--set", "MOLOBJ_SEGMENTS=1000", "--gltf", "{dir}/model.glb"}),
      Case("MemoryRunsOut").MemoryLimit(size_t{80} << 20).Keeps("report.json", "{\"earlier\": true}\n")
          .Run({"{water}", "--set", "MOLOBJ_SEGMENTS=1000", "--json", "{dir}/report.json", "--gltf", "{dir}/m.glb"})
          .Ends(kFailed, "memory ran out").NotWrites({"m.glb"}),
      // each record of a collection told once by its input and number, however its conversion failed
      Case("CollectionRunsOutOfMemory").MemoryLimit(size_t{80} << 20)
          .Run({"{dir}/three.sdf", "--records", "all", "--set", "MOLOBJ_SEGMENTS=1000", "--gltf", "{dir}/{record}.glb"})
          .Ends(kFailed, "vantor-host: {dir}/three.sdf record 2: memory ran out").NotWrites({"2.glb"}),
      Case("HelpToAClosedOutput").Run({"--help"}).Output(StandardOutput::Closed).PosixOnly()
          .Ends(kFailed, "cannot write the help to standard output"),
      Case("GltfThatDrawsNothing")
          .Run({"{water}", "--set", "MOLOBJ_ATOM_RADIUS=0", "--set", "MOLOBJ_BOND_RADIUS=0", "--gltf", "{dir}/m.glb"})
          .Ends(kDone, "m.glb draws nothing").Writes({"m.glb"}),
      Case("UsdThatDrawsNothing")
          .Run({"{water}", "--set", "MOLOBJ_ATOM_RADIUS=0", "--set", "MOLOBJ_BOND_RADIUS=0", "--usd", "{dir}/m.usdz"})
          .Ends(kDone, "m.usdz draws nothing").Writes({"m.usdz"}),
      // values set: only what the object shows, integers whole, a value outside its range told
      Case("SetOfAnIdNotShown").Run({"{water}", "--set", "99999=5"})
          .Ends(kBadArguments, "--set 99999=5: the object shows no parameter of the id 99999"),
      Case("SetBelowTheRange").Run({"{water}", "--set", "MOLOBJ_SEGMENTS=-5"})
          .Ends(kDone, "-5 is below the least MOLOBJ_SEGMENTS, 3, which the object takes"),
      Case("SetOfAFractionToAnInteger").Run({"{water}", "--set", "MOLOBJ_SEGMENTS=2.5"})
          .Ends(kBadArguments, "'2.5' is not an int value for MOLOBJ_SEGMENTS"),
      Case("ScriptSetOfAFractionToAnInteger").Script("load\nnew m\nset m MOLOBJ_SEGMENTS 2.5\n")
          .Ends(kFailed, "line 3: '2.5' is not an int value for MOLOBJ_SEGMENTS"),
      // the script's names of files
      Case("ScriptExportToStandardOutput")
          .Script("load\nnew m\nset m MOLOBJ_FILE {water}\npress m MOLOBJ_LOAD\neval\nexport m -\n")
          .OutputStarts("glTF").NotWrites({"-"}),
      Case("ScriptSaveOfANameWithANul").Script(std::string("load\nsave {dir}/doc.vdoc\0junk\n", 29))
          .Ends(kFailed, "line 2: the line holds a NUL byte").NotWrites({"doc.vdoc"}),
      Case("ScriptSaveOfAQuotedNameAndMore").Script("load\nsave \"{dir}/a b.vdoc\" more\n")
          .Ends(kFailed, "line 2: usage: save FILE").NotWrites({"a b.vdoc"}),
      Case("DocumentNamesItsMoleculeBesideIt").In("B")
          .Prepare([](const fs::path& dir) { fs::create_directory(dir / "A"); WriteFile(dir / "A" / "mol.mol", kWaterMolfile); })
          // opened, the object reads A/mol.mol and takes its title
          .Script("load\nnew m\nset m MOLOBJ_FILE mol.mol\nsave {dir}/A/doc.vdoc\nopen {dir}/A/doc.vdoc\ndump water\n"),
      // documents whose size is nothing to what they ask for
      Case("OpenOfADocumentOfManyTrackIds").Script("load\nopen {dir}/tracks.vdoc\ncopy m n\n").WithinSeconds(15)
          .Prepare([](const fs::path& dir) { WriteFile(dir / "tracks.vdoc", OneObjectDocument(0, 320000)); }),
      Case("OpenOfADocumentOfMillionsOfValues").Script("load\nopen {dir}/values.vdoc\n")
          .Prepare([](const fs::path& dir) { WriteFile(dir / "values.vdoc", OneObjectDocument(2790000, 0)); })
          .Ends(kFailed, "damaged document (its values would take more than 10 times its 16740054 bytes in memory)"),
      // collections: three.sdf holds water, other, water
      Case("EveryRecordByTemplate").Run({"{dir}/three.sdf", "--records", "all", "--gltf", "{dir}/{stem}-{record}.glb"})
          .Ends(kDone, "3 molecules converted, 0 failed in").Writes({"three-1.glb", "three-2.glb", "three-3.glb"}),
      Case("TitlesThatCollideFailTheLater").Run({"{dir}/three.sdf", "--records", "all", "--json", "{dir}/{title}.json"})
          .Ends(kFailed, "{dir}/three.sdf record 3: {dir}/water.json is written for {dir}/three.sdf record 1: not "
                         "written twice\n2 molecules converted, 1 failed").Writes({"water.json", "other.json"}),
      // names told apart by the files they resolve to, not by their text, in one process or in workers
      Case("TemplatesOfOneFolderSpeltTwoWays")
          .Run({"{dir}/three.sdf", "--records", "all", "--json", "{dir}/{record}.x", "--gltf", "{dir}/./{record}.x"})
          .Ends(kBadArguments, "--json and --gltf name the same files, {dir}/{record}.x").NotWrites({"1.x"}),
      Case("TemplatesOfAFolderAndALinkToIt").PosixOnly().Prepare(FolderAndLink)
          .Run({"{dir}/three.sdf", "--records", "all", "--json", "{dir}/out/{record}.x", "--gltf", "{dir}/lnk/{record}.x"})
          .Ends(kBadArguments, "--json and --gltf name the same files"),
      Case("StemAndRecordThatMeet").Prepare(ElevenAndOne).Writes(Numbered("a", 11, ".json"))
          .Run({"{dir}/a.sdf", "{dir}/a1.sdf", "--records", "all", "--json", "{dir}/{stem}{record}.json"})
          .Ends(kFailed, "{dir}/a1.sdf record 1: {dir}/a11.json is written for {dir}/a.sdf record 11: not written "
                         "twice\n11 molecules converted, 1 failed"),
      Case("StemAndRecordThatMeetInWorkers").Workers().Prepare(ElevenAndOne).Writes(Numbered("a", 11, ".json"))
          .Run({"{dir}/a.sdf", "{dir}/a1.sdf", "--records", "all", "--json", "{dir}/{stem}{record}.json", "--jobs", "2"})
          .Ends(kFailed, "{dir}/a1.sdf record 1: {dir}/a11.json is written for {dir}/a.sdf record 11: not written "
                         "twice\n11 molecules converted, 1 failed"),
      Case("OutputThatIsALinkToAnother").PosixOnly().Writes({"1.json", "3.json"})
          .Prepare([](const fs::path& dir) { fs::create_symlink("1.json", dir / "2.json"); })
          .Run({"{dir}/three.sdf", "--records", "all", "--json", "{dir}/{record}.json"})
          .Ends(kFailed, "record 2: {dir}/2.json is written for {dir}/three.sdf record 1: not written twice"),
      Case("OutputThatIsALinkToALaterOne").PosixOnly().Writes({"1.json", "2.json", "3.json"})
          .Prepare([](const fs::path& dir) { fs::create_symlink("3.json", dir / "1.json"); })
          .Run({"{dir}/three.sdf", "--records", "all", "--json", "{dir}/{record}.json"})
          .Ends(kFailed, "record 3: {dir}/3.json is written for {dir}/three.sdf record 1: not written twice"),
      Case("OutputThatIsALinkToAnotherInWorkers").PosixOnly().Workers().Writes({"1.json", "3.json"})
          .Prepare([](const fs::path& dir) { fs::create_symlink("1.json", dir / "2.json"); })
          .Run({"{dir}/three.sdf", "--records", "all", "--json", "{dir}/{record}.json", "--jobs", "2"})
          .Ends(kFailed, "record 2: {dir}/2.json is written for {dir}/three.sdf record 1: not written twice"),
      Case("ManifestThroughALinkedFolderNamedByATitle").PosixOnly().Prepare(FolderAndLink)
          .Run({"{dir}/three.sdf", "--records", "all", "--json", "{dir}/out/{title}.jsonl", "--manifest",
                "{dir}/lnk/water.jsonl"})
          .Ends(kFailed, "record 1: {dir}/out/water.jsonl is the manifest of this run: not written"),
      Case("ManifestThroughALinkedFolderNamedByATitleInWorkers").PosixOnly().Workers().Prepare(FolderAndLink)
          .Run({"{dir}/three.sdf", "--records", "all", "--json", "{dir}/out/{title}.jsonl", "--manifest",
                "{dir}/lnk/water.jsonl", "--jobs", "2"})
          .Ends(kFailed, "record 1: {dir}/out/water.jsonl is the manifest of this run: not written"),
      // shards cannot see each other's names
      Case("ShardOfTitles").Run({"{dir}/three.sdf", "--records", "2-3", "--json", "{dir}/{title}.json"})
          .Ends(kBadArguments, "--json {dir}/{title}.json: --records 2-3 is a shard of its inputs")
          .NotWrites({"water.json", "other.json"}),
      Case("ShardOfTitlesAndRecords").Run({"{dir}/three.sdf", "--records", "2-3", "--json", "{dir}/{title}-{record}.json"})
          .Writes({"other-2.json", "water-3.json"}),
      // names a file system keeps as they are written, and the manifest names them so
      Case("TitleNotUtf8").Writes({"w__.json", "m.jsonl"})
          .Prepare([](const fs::path& dir) { WriteFile(dir / "t.sdf", Replaced(kWaterMolfile, "water\n", "w\xC0\xAF\n")); })
          .Run({"{dir}/t.sdf", "--records", "all", "--json", "{dir}/{title}.json", "--manifest", "{dir}/m.jsonl"}),
      Case("TitleOfAWindowsDevice").Writes({"CONIN$_ .json"})
          .Prepare([](const fs::path& dir) { WriteFile(dir / "t.sdf", Replaced(kWaterMolfile, "water\n", "CONIN$ \n")); })
          .Run({"{dir}/t.sdf", "--records", "all", "--json", "{dir}/{title} .json"}),
      Case("TemplateOverAnInput").Run({"{water}", "{dir}/three.sdf", "--json", "{dir}/{title}.mol"})
          .Ends(kFailed, "water.mol is a molecule file this run reads: not written"),
      // the second worker names other.json for record 2 before it reads that input
      Case("TitleOverAnInputWithWorkers").Workers().Keeps("other.json", "my notes")
          .Run({"{dir}/three.sdf", "{dir}/other.json", "--records", "all", "--gltf", "{dir}/{title}.json", "--jobs", "2"})
          .Ends(kNotLoaded, "other.json is a molecule file this run reads: not written").Writes({"water.json"}),
      Case("WorkersOfAModuleThatCannotStart").Workers().Keeps("m.jsonl", "{\"earlier\": true}\n")
          .Run({"{dir}/three.sdf", "--records", "all", "--jobs", "2", "--module", "{dir}/empty.sdf", "--manifest",
                "{dir}/m.jsonl"})
          .Ends(kFailed, "empty.sdf"),
      Case("RecordsFromStandardInput").StandardInput("three.sdf")
          .Run({"-", "--records", "2-3", "--gltf", "{dir}/{stem}-{record}.glb", "--quiet"})
          .Ends(kDone, "2 molecules converted").Writes({"stdin-2.glb", "stdin-3.glb"}),
      Case("RecordsPastTheEnd").Run({"{dir}/three.sdf", "--records", "4-9", "--gltf", "{dir}/{record}.glb"})
          .Ends(kDone, "0 molecules converted, 0 failed"),
      Case("RecordThatIsNotThere").Run({"{dir}/three.sdf", "--records", "7", "--json", "{dir}/report.json"})
          .Ends(kNotLoaded, "{dir}/three.sdf: there is no record 7: the file holds 3").NotWrites({"report.json"}),
      Case("TemplateWithoutPlaceholder").Run({"{dir}/three.sdf", "--records", "all", "--gltf", "{dir}/m.glb"})
          .Ends(kBadArguments, "names one file for several molecules").NotWrites({"m.glb"}),
      Case("TemplateWithoutRecord").Run({"{dir}/three.sdf", "--records", "1-2", "--gltf", "{dir}/{stem}.glb"})
          .Ends(kBadArguments, "gives every record of an input one name: add {record} or {title}"),
      Case("TemplateOfTwoInputsOfOneStem")
          .Run({"{dir}/three.sdf", "{dir}/folder.sdf/../three.sdf", "--gltf", "{dir}/{stem}-{record}.glb"})
          .Ends(kBadArguments, "one name, as {stem} is three for both"),
      Case("TemplateIntoAMissingFolder").Run({"{dir}/three.sdf", "--records", "all", "--gltf", "{dir}/no/{record}.glb"})
          .Ends(kBadArguments, "the folder {dir}/no is not there"),
      Case("ManifestIntoAMissingFolder")
          .Run({"{dir}/three.sdf", "--records", "all", "--gltf", "{dir}/{record}.glb", "--manifest", "{dir}/no/m.jsonl"})
          .Ends(kBadArguments, "--manifest {dir}/no/m.jsonl: the folder {dir}/no is not there").NotWrites({"1.glb"}),
      Case("TemplateOfAnUnknownPlaceholder")
          .Run({"{dir}/three.sdf", "--records", "all", "--gltf", "{dir}/{name}.glb"})
          .Ends(kBadArguments, "names a placeholder there is not, {name}"),
      Case("StandardOutputForSeveral").Run({"{dir}/three.sdf", "--records", "all", "--json", "-"})
          .Ends(kBadArguments, "--json - writes one molecule, and this run converts several"),
      Case("ManifestOverTheMolecule").Run({"{water}", "--manifest", "{water}"})
          .Ends(kBadArguments, "--manifest names the molecule file"),
      Case("ManifestAndJsonToStandardOutput").Run({"{water}", "--manifest", "-", "--json", "-"})
          .Ends(kBadArguments, "cannot both write to standard output"),
      Case("JobsOutOfRange").Run({"{water}", "--jobs", "0"}).Ends(kBadArguments, "--jobs needs a whole number from 1"),
      Case("StandardInputTwice").Run({"-", "-"}).Ends(kBadArguments, "standard input is read once"),
      Case("RecordsOfNoNumber").Run({"{water}", "--records", "0"}).Ends(kBadArguments, "--records takes all, N or N-M"),
      Case("EveryRecordOfAMolFileIsOne").Run({"{water}", "--records", "all", "--gltf", "{dir}/m.glb"}).Writes({"m.glb"}),
      Case("TwoMolFilesToOneName").Run({"{water}", "{dir}/empty.mol", "--gltf", "{dir}/m.glb"})
          .Ends(kBadArguments, "names one file for several molecules").NotWrites({"m.glb"}),
      Case("ManifestOfOneMolecule").Run({"{water}", "--manifest", "{dir}/m.jsonl"}).Writes({"m.jsonl"}),
      Case("EmptySdFileIsNoModel").Run({"{dir}/empty.sdf", "--gltf", "{dir}/m.glb"})
          .Ends(kNotLoaded, "{dir}/empty.sdf: no atom could be read: the model would be empty, nothing written")
          .NotWrites({"m.glb"}),
      Case("SecondRecordOfAMissingFile").Run({"{dir}/missing.sdf", "--records", "2"})
          .Ends(kNotLoaded, "{dir}/missing.sdf: not there"),
      Case("SecondRecordOfAFolder").Run({"{dir}/folder.sdf", "--records", "2"})
          .Ends(kNotLoaded, "{dir}/folder.sdf: not a regular file"),
      // standard input that never ends or stalls, and runs ended from outside: nothing of them is
      // left, not a process, not a file in the folder for temporary files
      Case("EndlessStandardInputWithWorkers").Workers().FeedWithoutEnd(WaterRecord()).WithinSeconds(30)
          .Run({"-", "--records", "1-3", "--jobs", "2", "--gltf", "{dir}/{record}.glb"})
          .Ends(kDone, "3 molecules converted").Writes({"1.glb", "2.glb", "3.glb"}),
      Case("OutputOfAStalledProducer").Feed(WaterRecord()).Awaits("1.glb")
          .Run({"-", "--records", "all", "--gltf", "{dir}/{record}.glb"})
          .Ends(kDone, "1 molecules converted").Writes({"1.glb"}),
      Case("OutputOfAStalledProducerWithWorkers").Workers().Feed(WaterRecord()).Awaits("1.glb")
          .Run({"-", "--records", "all", "--jobs", "2", "--gltf", "{dir}/{record}.glb"})
          .Ends(kDone, "1 molecules converted").Writes({"1.glb"}),
      Case("InterruptedWhileStandardInputStalls").Feed(WaterRecord()).Awaits("1.glb").Signal(SIGINT, 0)
          .Run({"-", "--records", "all", "--gltf", "{dir}/{record}.glb"}).Writes({"1.glb"}),
      Case("TerminatedWhileStandardInputStallsWithWorkers").Workers().Feed(WaterRecord()).Awaits("1.glb")
          .Signal(SIGTERM, 0).Run({"-", "--records", "all", "--jobs", "2", "--gltf", "{dir}/{record}.glb"})
          .Writes({"1.glb"}),
      Case("TerminatedWithWorkers").Workers().Signal(SIGTERM, 1500)
          .Prepare([](const fs::path& dir) { WriteFile(dir / "many.sdf", ManyRecords(20000)); })
          .Run({"{dir}/many.sdf", "--records", "all", "--jobs", "2"}),
      Case("KilledWithWorkers").Workers().Signal(kKill, 1500)
          .Prepare([](const fs::path& dir) { WriteFile(dir / "many.sdf", ManyRecords(20000)); })
          .Run({"{dir}/many.sdf", "--records", "all", "--jobs", "2"}),
  };
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string ManyRecords(size_t count) {
  std::string records;
  for (size_t i = 0; i < count; ++i) records += WaterRecord();
  return records;
}

// A 32-bit number as a document holds it, little-endian.
std::string Word(uint32_t value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
          static_cast<char>((value >> 16) & 0xFF), static_cast<char>(value >> 24)};
}

// An SD file of three records: water, other, water.
std::string ThreeRecords() {
  const std::string water = std::string(kWaterMolfile) + "$$$$\n";
  return water + Replaced(water, "water\n", "other\n") + water;
}

class HostProgram : public testing::TestWithParam<CliCase> {
 protected:
  void SetUp() override {
#if defined(_WIN32)
    if (GetParam().posixOnly) GTEST_SKIP() << "needs FIFOs, devices or a full or closed standard output (POSIX only)";
#else
    if (GetParam().windowsOnly) GTEST_SKIP() << "a Windows file attribute";
#endif
#if defined(VANTOR_PROGRAM_EMULATOR)
    if (GetParam().workers) GTEST_SKIP() << "workers are the program started again, which the emulator cannot";
#endif
#if defined(VANTOR_PROGRAM_EMULATOR) || defined(__SANITIZE_ADDRESS__)
    if (GetParam().run.memoryLimit > 0) GTEST_SKIP() << "an emulator or a sanitizer takes address space of its own";
#endif
    folder_ = FreshTempFolder("vantor-cli-");
    WriteFile(folder_ / "water.mol", kWaterMolfile);
    WriteFile(folder_ / "water.pdb", kWaterMolfile);
    // nine angstroms wide: its positions overflow when scaled by 1e308
    WriteFile(folder_ / "wide.mol", Replaced(kWaterMolfile, "    0.0000    0.7572", "    9.0000    0.7572"));
    WriteFile(folder_ / "my molecule.mol", Replaced(kWaterMolfile, "water\n", "my molecule\n"));
    WriteFile(folder_ / "empty.mol", "");
    WriteFile(folder_ / "empty.sdf", "");
    WriteFile(folder_ / "three.sdf", ThreeRecords());
    fs::create_directory(folder_ / "folder.sdf");
    const std::string& script = GetParam().script;
    const std::string header = "VANTORDC" + Word(1);
    if (script.find("big.vdoc") != std::string::npos) {
      WriteFile(folder_ / "big.vdoc", header + std::string(kOversizedDocument, '\0'));
    }
    if (script.find("claims.vdoc") != std::string::npos) {
      WriteFile(folder_ / "claims.vdoc", header + Word(kClaimedNodes) + std::string(kClaimingDocument - 16, '\0'));
    }
    if (script.find("many.vdoc") != std::string::npos) {
      // kind 2 (material), type 5702, serial, no name, colour, no values, no tracks
      std::ofstream many(folder_ / "many.vdoc", std::ios::binary);
      many << "VANTORDC" << Word(1) << Word(kTooManyNodes);
      const std::string material = '\x02' + Word(5702) + std::string(8 + 4 + 24 + 4 + 4, '\0');
      for (uint32_t i = 0; i < kTooManyNodes; ++i) many << material;
    }
    if (script.find("plug ins") != std::string::npos) {
      fs::create_directories(folder_ / "plug ins");
      fs::copy(ProgramFolder() / ".." / "plugins" / "vantor", folder_ / "plug ins" / "vantor", fs::copy_options::recursive);
    }
    if (!GetParam().kept.first.empty()) WriteFile(folder_ / GetParam().kept.first, GetParam().kept.second);
    const std::vector<std::string>& arguments = GetParam().run.arguments;
    if (std::find(arguments.begin(), arguments.end(), "--module") != arguments.end() || GetParam().in == "plugin") {
      const fs::path built = ProgramFolder() / ".." / "plugins" / "vantor";
      fs::create_directory(folder_ / "plugin");
      fs::copy(built / (std::string("vantor") + VANTOR_MODULE_SUFFIX), folder_ / "plugin");
      fs::copy(built / "res", folder_ / "plugin" / "res", fs::copy_options::recursive);
    }
#if !defined(_WIN32)
    fs::create_directory(folder_ / "tmp");  // the run's TMPDIR
    ASSERT_EQ(mkfifo((folder_ / "fifo.sdf").c_str(), 0644), 0);
    for (const auto& [link, target] : kLinks) fs::create_symlink(target, folder_ / link);
#endif
    if (!GetParam().in.empty()) fs::create_directories(folder_ / GetParam().in);
    if (GetParam().prepare) GetParam().prepare(folder_);
  }
  void TearDown() override {
#if defined(_WIN32)
    std::error_code ignored;  // a read-only file is not removed
    for (const auto& entry : fs::recursive_directory_iterator(folder_, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
#endif
    if (!folder_.empty()) fs::remove_all(folder_);
  }
  std::string Expand(const std::string& text) const {
    std::string expanded = Replaced(text, "{water}", (folder_ / "water.mol").u8string());
    expanded = Replaced(expanded, "{plugin}", (folder_ / "plugin").u8string());
    expanded = Replaced(expanded, "{script}", (folder_ / "case.vscript").u8string());
    expanded = Replaced(expanded, "{dirname}", folder_.filename().u8string());
    expanded = Replaced(expanded, "{module}", std::string("vantor") + VANTOR_MODULE_SUFFIX);
    return Replaced(expanded, "{dir}", folder_.u8string());
  }

  fs::path folder_;
};

TEST_P(HostProgram, EndsWithTheRightStatusAndMessage) {
  const CliCase& c = GetParam();
  if (!c.script.empty()) WriteFile(folder_ / "case.vscript", Expand(c.script));
  std::set<std::string> before{"stdout.txt", "stderr.txt"};
  for (const auto& entry : fs::directory_iterator(folder_)) before.insert(entry.path().filename().u8string());
  Invocation invocation = c.run;
  invocation.program = ProgramFolder() / (std::string("vantor-host") + VANTOR_EXECUTABLE_SUFFIX);
  for (std::string& argument : invocation.arguments) argument = Expand(argument);
  invocation.folder = folder_ / c.in;
  if (!c.run.input.empty()) invocation.input = folder_ / c.run.input;
#if !defined(_WIN32)
  invocation.temporary = folder_ / "tmp";
#endif
  const Outcome outcome = RunProgram(invocation);
  EXPECT_TRUE(c.run.awaited.empty() || outcome.awaitedMade) << c.run.awaited << " was not made while the run waited";
#if !defined(_WIN32)
  // a worker ended by a signal its run passed on may take a moment
  const auto settled = [&] { return fs::is_empty(folder_ / "tmp") && !ProcessRunningWith(folder_.string()); };
  for (int wait = 0; wait < 100 && !settled(); ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(ProcessRunningWith(folder_.string())) << "a process of the run is left";
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder_ / "tmp")) {
    ADD_FAILURE() << entry.path() << " was left in the folder for temporary files";
  }
#endif

  std::string err = outcome.err;  // Windows writes standard error's line ends as \r\n
  err.erase(std::remove(err.begin(), err.end(), '\r'), err.end());
  if (!c.anyStatus) {
    EXPECT_EQ(outcome.status, c.status) << err;
  }
  EXPECT_NE(err.find(Expand(c.message)), std::string::npos) << err;
  EXPECT_EQ(outcome.out.substr(0, c.outputStarts.size()), c.outputStarts);
  for (const std::string& name : c.written) EXPECT_TRUE(fs::exists(folder_ / fs::u8path(name))) << name;
  for (const std::string& name : c.notWritten) EXPECT_FALSE(fs::exists(folder_ / fs::u8path(name))) << name;
  EXPECT_EQ(ReadFile(folder_ / "water.mol"), kWaterMolfile) << "the user's molecule file was changed";
  if (!c.kept.first.empty()) {
    const std::string now = ReadFile(folder_ / c.kept.first);
    // a signal may come after the file is in place: then it is whole (a glTF of the length it says)
    const bool whole = c.anyStatus && now.size() >= 12 && now.compare(0, 4, "glTF") == 0 &&
                       now.substr(8, 4) == Word(static_cast<uint32_t>(now.size()));
    EXPECT_TRUE(whole || now == c.kept.second) << "the user's file was changed";
  }
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder_)) {
    if (entry.path().filename().u8string().rfind(".vantor-", 0) == 0) ADD_FAILURE() << entry.path() << " was left behind";
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(folder_)) {
    const std::string name = entry.path().filename().u8string();
    const bool listed = std::count(c.written.begin(), c.written.end(), name) > 0;
    EXPECT_TRUE(before.count(name) || listed) << name << " was left behind";
  }
#if !defined(_WIN32)
  for (const auto& link : kLinks) EXPECT_TRUE(fs::is_symlink(folder_ / link.first)) << link.first << " is not a link";
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
#endif
}

INSTANTIATE_TEST_SUITE_P(Runs, HostProgram, testing::ValuesIn(Cases()), CaseName);

// Every file of a folder, by name.
std::map<std::string, std::string> Files(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) files[entry.path().filename().u8string()] = ReadFile(entry);
  files.erase("stdout.txt");  // the harness's
  files.erase("stderr.txt");
  return files;
}

// One run over every record writes what workers write, what shards write together, and what a run
// on standard input writes; a record whose model is refused fails alone; and each molecule's model
// is that of a run on a file of its record alone.
TEST(HostProgramCollections, WorkersAndShardsWriteWhatOneRunWrites) {
  const fs::path folder = FreshTempFolder("vantor-collection-");
  // a fourth record nine thousand angstroms out, beyond glTF's floats at this scale
  const std::string big = Replaced(Replaced(std::string(kWaterMolfile), "water\n", "big\n"),
                                   "    0.0000    0.0000    0.1173", " 9999.0000    0.0000    0.1173");
  const fs::path input = WriteFile(folder / "four.sdf", ThreeRecords() + big + "$$$$\n");
  WriteFile(folder / "second.sdf", ThreeRecords().substr(ThreeRecords().find("$$$$\n") + 5, std::string(kWaterMolfile).size() + 5));
  struct Run {
    std::string name;
    std::vector<std::vector<std::string>> shards;  // the arguments of each, after the input
    bool standardInput = false;
  };
  std::vector<Run> runs = {{"one", {{"--records", "all"}}}, {"shards", {{"--records", "1-2"}, {"--records", "3-8"}}}};
#if !defined(VANTOR_PROGRAM_EMULATOR)
  // workers are the program started again, which an emulator without the system's help (binfmt)
  // cannot follow
  runs.push_back({"jobs", {{"--records", "all", "--jobs", "3"}}});
  runs.push_back({"stdin", {{"--records", "all", "--jobs", "2"}}, true});
#endif
  std::map<std::string, std::map<std::string, std::string>> written;
  for (const Run& r : runs) {
    fs::create_directory(folder / r.name);
    std::string manifest;
    for (const std::vector<std::string>& shard : r.shards) {
      Invocation run;
      run.program = ProgramFolder() / (std::string("vantor-host") + VANTOR_EXECUTABLE_SUFFIX);
      run.folder = folder / r.name;
      if (r.standardInput) run.input = input;
      run.arguments = {r.standardInput ? "-" : input.u8string(), "--gltf", "{title}-{record}.glb", "--json",
                       "{record}.json", "--manifest", "part.jsonl", "--set", "MOLOBJ_POSITION_SCALE=1e37"};
      run.arguments.insert(run.arguments.end(), shard.begin(), shard.end());
      const Outcome outcome = RunProgram(run);
      const bool hasBig = shard.back() != "1-2";
      EXPECT_EQ(outcome.status, hasBig ? kFailed : kDone) << r.name << ": " << outcome.err;
      if (hasBig) {
        EXPECT_NE(outcome.err.find("record 4: big-4.glb: "), std::string::npos) << outcome.err;
      }
      manifest += ReadFile(folder / r.name / "part.jsonl");
      fs::remove(folder / r.name / "part.jsonl");
    }
    written[r.name] = Files(folder / r.name);
    written[r.name]["manifest"] = manifest;
  }
  std::vector<std::string> names;
  for (const auto& [name, ignored] : written["one"]) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"1.json", "2.json", "3.json", "4.json", "manifest", "other-2.glb",
                                             "water-1.glb", "water-3.glb"}));
  const std::string& manifest = written["one"]["manifest"];
  EXPECT_NE(manifest.find("\"record\":2,\"title\":\"other\",\"atoms\":3,\"bonds\":2,\"outputs\":[\"2.json\","
                          "\"other-2.glb\"],\"status\":\"converted\"}"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("\"record\":4,\"title\":\"big\",\"atoms\":3,\"bonds\":2,\"outputs\":[\"4.json\"],"
                          "\"status\":\"failed\",\"message\":\"big-4.glb: "), std::string::npos) << manifest;
  for (const Run& r : runs) {
    EXPECT_EQ(written[r.name].size(), written["one"].size()) << r.name;
    for (const auto& [name, bytes] : written["one"]) {
      if (r.standardInput && name == "manifest") continue;  // its input is "-"
      EXPECT_TRUE(written[r.name][name] == bytes) << r.name << ": " << name;
    }
  }

  Invocation alone;
  alone.program = ProgramFolder() / (std::string("vantor-host") + VANTOR_EXECUTABLE_SUFFIX);
  alone.folder = folder;
  alone.arguments = {"second.sdf", "--gltf", "second.glb", "--set", "MOLOBJ_POSITION_SCALE=1e37"};
  EXPECT_EQ(RunProgram(alone).status, kDone);
  EXPECT_EQ(ReadFile(folder / "second.glb"), written["one"]["other-2.glb"]);
  fs::remove_all(folder);
}

#if !defined(VANTOR_PROGRAM_EMULATOR)
// What workers tell the run of each molecule reaches the manifest and standard error as one run
// tells it, byte for byte: titles with a tab, a backslash, a quote or a byte that is no UTF-8, and a
// record that fails in the middle.
TEST(HostProgramCollections, WorkersTellWhatOneRunTells) {
  const fs::path folder = FreshTempFolder("vantor-worker-lines-");
  const std::string water = kWaterMolfile;
  const std::string records = Replaced(water, "water\n", "tab\there \\ \"q\"\n") + "$$$$\n" +
                              Replaced(water, "  3  2  0", "  0  0  0") + "$$$$\n" +
                              Replaced(water, "water\n", "caf\xe9 \\n\n") + "$$$$\n";
  WriteFile(folder / "odd.sdf", records);
  std::map<std::string, std::pair<std::string, std::string>> told;  // the manifest and standard error
  for (const std::string jobs : {"1", "2"}) {
    Invocation run;
    run.program = ProgramFolder() / (std::string("vantor-host") + VANTOR_EXECUTABLE_SUFFIX);
    run.folder = folder;
    run.arguments = {"odd.sdf", "--records", "all", "--json", "{record}.json", "--manifest", jobs + ".jsonl", "--jobs", jobs};
    const Outcome outcome = RunProgram(run);
    EXPECT_EQ(outcome.status, kNotLoaded) << outcome.err;
    told[jobs] = {ReadFile(folder / (jobs + ".jsonl")), std::regex_replace(outcome.err, std::regex(" in [0-9.]+ s"), "")};
  }
  EXPECT_NE(told["1"].first.find("\"title\":\"tab\\there \\\\ \\\"q\\\"\""), std::string::npos) << told["1"].first;
  EXPECT_NE(told["1"].second.find("odd.sdf record 2: "), std::string::npos) << told["1"].second;
  EXPECT_EQ(told["2"], told["1"]);
  fs::remove_all(folder);
}
#endif

// A collection and the options of its run: each record's outputs must be those of a run on a file
// of that record alone with the same options, whatever the records before it left in the object
// that loaded them.
struct RecordsCase {
  std::string name;
  std::vector<std::string> records;  // molfiles, each ended by $$$$ in the collection
  std::vector<std::string> options;
};

std::vector<RecordsCase> RecordsCases() {
  const std::string water = kWaterMolfile;
  const std::string untitled = Replaced(water, "water\n", "\n");
  const std::string other = Replaced(Replaced(water, "water\n", "other\n"), "    0.7572", "    1.7572");
  const std::string noAtom = Replaced(water, "  3  2  0", "  0  0  0");  // loads, and reads as nothing
  const std::string unknownAtoms = Replaced(Replaced(water, " O   0", " Xx  0"), " H   0", " Xx  0");
  const std::string loneOxygen = "oxygen\n  Vantor\n\n  1  0  0  0  0  0  0  0  0  0999 V2000\n"
                                 "    0.0000    0.0000    0.0000 O   0  0  0  0  0  0  0  0  0  0  0  0\nM  END\n";
  const std::vector<std::string> edits = {"--set", "MOLOBJ_COLOR_MODE=1", "--set", "MOLOBJ_PRESET=2",
                                          "--set", "MOLOBJ_PRESET_COLOR_O=0.1 0.2 0.3", "--set",
                                          "MOLOBJ_SHOW_NUCLEUS=true", "--set", "MOLOBJ_SEGMENTS=7"};
  return {
      {"UntitledAfterTitled", {water, untitled, other}, {}},
      {"FailedRecordInTheMiddle", {water, noAtom, other, unknownAtoms, untitled}, {}},
      {"SettingsEdits", {water, other, untitled}, edits},
      {"SettingsEditsAndAFailure", {other, noAtom, water}, edits},
      {"TriangleBudget", {water, loneOxygen, other}, {"--max-triangles", "900"}},
      {"TriangleBudgetWithEdits", {loneOxygen, water}, {"--max-triangles", "900", "--set", "MOLOBJ_SEGMENTS=9"}},
  };
}

void PrintTo(const RecordsCase& c, std::ostream* out) { *out << c.name; }

class CollectionRecords : public testing::TestWithParam<RecordsCase> {};

// The outputs of vantor-host run in folder on input with the options and these outputs.
Outcome RunOn(const fs::path& folder, const std::string& input, const std::vector<std::string>& options,
              std::vector<std::string> outputs) {
  Invocation run;
  run.program = ProgramFolder() / (std::string("vantor-host") + VANTOR_EXECUTABLE_SUFFIX);
  run.folder = folder;
  run.arguments = {input};
  run.arguments.insert(run.arguments.end(), outputs.begin(), outputs.end());
  run.arguments.insert(run.arguments.end(), options.begin(), options.end());
  return RunProgram(run);
}

TEST_P(CollectionRecords, EachRecordWritesWhatItWritesAlone) {
  const RecordsCase& c = GetParam();
  const fs::path folder = FreshTempFolder("vantor-records-");
  std::string collection;
  for (const std::string& record : c.records) collection += record + "$$$$\n";
  fs::create_directory(folder / "all");
  WriteFile(folder / "all" / "all.sdf", collection);
  RunOn(folder / "all", "all.sdf", c.options, {"--records", "all", "--gltf", "{record}.glb", "--json", "{record}.json"});
  for (size_t i = 0; i < c.records.size(); ++i) {
    const std::string number = std::to_string(i + 1);
    const fs::path alone = folder / ("alone" + number);
    fs::create_directory(alone);
    WriteFile(alone / "all.sdf", c.records[i]);  // the same name: the report names its input
    const Outcome outcome = RunOn(alone, "all.sdf", c.options, {"--gltf", "1.glb", "--json", "1.json"});
    for (const std::string suffix : {".glb", ".json"}) {
      const fs::path made = folder / "all" / (number + suffix);
      ASSERT_EQ(fs::exists(made), fs::exists(alone / ("1" + suffix))) << "record " << number << suffix << ": " << outcome.err;
      if (fs::exists(made)) {
        EXPECT_TRUE(ReadFile(made) == ReadFile(alone / ("1" + suffix))) << "record " << number << suffix;
      }
    }
  }
  fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Collections, CollectionRecords, testing::ValuesIn(RecordsCases()),
                         [](const testing::TestParamInfo<RecordsCase>& info) { return info.param.name; });

}  // namespace

// One molecule's conversion, the engine under every front end (vantor-host, the script's export,
// the studio): the life of a molecule object as a user would give it, and the bytes of each form
// asked for. It writes no file, prints nothing and names no input: it answers an outcome, which
// the front end tells and lands.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "vthost/description.h"
#include "vthost/budget.h"
#include "vthost/models.h"
#include "vthost/formats.h"
#include "vthost/host.h"

namespace vthost {

// Parameter edits by name and value as text, in order, as --set and the script's set give them.
using Settings = std::vector<std::pair<std::string, std::string>>;

struct ConversionRequest {
  Settings settings;         // made on the new object before its file is loaded
  int64_t maxTriangles = 0;  // the most triangles the model may have; 0 for no limit
  std::vector<const FormatForm*> forms;  // made in the order of kOutputFormats
};

enum class ConversionStatus { Converted, NotLoaded, Failed };

// What became of one form asked for.
struct MadeOutput {
  enum class State { Made, Refused, NoModel };
  const FormatForm* form = nullptr;
  State state = State::Made;
  ModelBytes bytes;     // Made; and a refused report's text, which standard output takes all the same
  std::string refusal;  // Refused: why
};

// A line the user is told: a failure, or a note (left out when they ask for quiet).
struct Told {
  bool failure = false;
  std::string text;
};

struct Conversion {
  ConversionStatus status = ConversionStatus::Converted;
  std::string message;      // the first failure
  std::vector<Told> told;   // in order, without the input's name
  int64_t atoms = 0, bonds = 0;
  std::optional<Detail> detail;     // what the triangle budget chose
  std::vector<MadeOutput> outputs;  // one per form asked for, in order; none when it failed before

  void Fail(ConversionStatus failed, const std::string& text);
  void Note(const std::string& text) { told.push_back({false, text}); }
};

// A loaded, evaluated object fitted to a triangle budget, as a conversion's budget fits it over
// the whole range the object shows: the finest detail set on it (evaluate it next) and told in
// *chosen. False with the reason, the object as it was, when not even the least detail keeps within
// `most`; or when the object has no model.
bool FitToBudget(Host& host, VtNode* object, int64_t most, Detail* chosen, std::string* error);

class ShapeCache;  // host/src/export/shapecache.h
struct ModelCounts;  // vthost/report.h

// Whether each conversion makes a new molecule object, or one object of the same settings loads
// file after file, as a user would (a new object reads its element table: a quarter of a small
// molecule's conversion). The outputs are the same either way; only a host that echoes nothing
// may reuse, since a record a reused object fails is converted again in a new object.
enum class ObjectReuse { NewEach, SameSettings };

// Conversions of one host, one after another; the shapes its models share are kept between them,
// within the cache's bounds.
class ConversionEngine {
 public:
  explicit ConversionEngine(Host& host, ObjectReuse reuse = ObjectReuse::NewEach);
  ~ConversionEngine();
  ConversionEngine(const ConversionEngine&) = delete;
  ConversionEngine& operator=(const ConversionEngine&) = delete;

  // A new molecule object in a document of its own, each setting applied as a user edit, file set
  // and loaded (message 18), fitted to the budget, evaluated, and each form made; what the module
  // showed meanwhile is forgotten once the report has told it, and the document is closed by the
  // next conversion or the engine's end. With ObjectReuse::SameSettings the last object, when it
  // converted and was made with the same settings, is given back its parameters as they were made
  // and its name, and loads the file instead; should it fail, a new object converts the file.
  Conversion Convert(const ConversionRequest& request, const std::filesystem::path& file);

  // Each form of the object as its last evaluation left it: a model form of an object without a
  // model is NoModel. detail: for the report. When memory runs out, nothing is made: an empty list
  // and *ranOut set.
  std::vector<MadeOutput> Make(const VtNode* object, const std::vector<const FormatForm*>& forms,
                               const Detail* detail, bool* ranOut);

  // The process ends after the last conversion: its document and the engine's shapes are left for
  // the system to take back with everything else, unless the run checks for leaks (FreeAtExit).
  void LeaveToExit();

 private:
  // loaded: false when the object did not take its file: then it has no model to make.
  std::vector<MadeOutput> MakeForms(const VtNode* object, const std::vector<const FormatForm*>& forms,
                                    const Detail* detail, bool loaded, bool* ranOut);
  VtNode* Made(VtDocument* document, const Settings& settings, Conversion* outcome, Description* shown = nullptr);
  // The kept object as a new one made with these settings would be before its file is set; null
  // when there is none to reuse.
  VtNode* Reused(const Settings& settings);
  // Keeps the object just made for the next conversions, or, when its parameters cannot be copied,
  // none.
  void Keep(VtNode* object, const Settings& settings, Description shown);
  bool FitBudget(const ConversionRequest& request, VtNode* object, const Description& shown,
                 const std::filesystem::path& file, Conversion* outcome);
  // Whether a model of no atoms and no bonds is made; false when the conversion has failed.
  bool KeepsEmptyModel(const std::filesystem::path& file, Conversion* outcome);
  // The atoms and bonds an object of the file built with every parameter as it comes: what the
  // module read, whatever the settings leave out.
  ModelCounts ReadCounts(const std::filesystem::path& file);
  // shown: what the object showed once made; events: how many the host held before the conversion.
  // False when memory ran short before the object was evaluated (it may hold less than a new object
  // loading the file would), or when the conversion failed before its forms were made.
  bool Life(const ConversionRequest& request, const std::filesystem::path& file, VtNode* object,
            const Description& shown, size_t events, Conversion* outcome);

  void CloseLast();

  Host& host_;
  std::unique_ptr<ShapeCache> shapes_;
  VtDocument* last_ = nullptr;  // the last conversion's document, open
  ObjectReuse reuse_;
  // The object kept for reuse (in last_), with the settings it was made with, its parameters and
  // what it showed then.
  VtNode* kept_ = nullptr;
  Settings keptSettings_;
  std::unique_ptr<VtContainer> keptParameters_;
  Description keptShown_;
};

}  // namespace vthost

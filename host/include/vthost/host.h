// The stand-in host's scene: documents of nodes, objects of the types a module registered, the
// user's edits, evaluation, what the module showed the user, and fault injection for tests.
//
// An operation that can fail answers false, or null when it makes something, with the reason in
// *error, which is never null.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "vantor_host.h"
#include "vthost/files.h"
#include "vthost/value.h"

namespace vthost {

// The interface version this host reports unless told otherwise.
constexpr int32_t kCurrentInterfaceVersion = 2025200;

// What a host keeps from one model to the next for reuse, and the whole of its bound: a page that
// converts molecules for hours holds no more after the thousandth than after the first. All else
// the host holds belongs to a document, a node or a loose object, and goes with it.
struct KeepBudget {
  // Strings freed and kept, text capacity included, for the next ones made (a reader makes one per
  // line and per field); one freed beyond these is given back.
  size_t spareStrings = 256;
  // The sphere meshes go with the last object that holds one, but the index that finds them may
  // name a shape no object holds: until the next evaluation or closed document, or until it names
  // this many more than twice the shapes held at its last sweep.
  size_t forgottenSphereShapes = 64;
};

struct HostOptions {
  int32_t interfaceVersion = kCurrentInterfaceVersion;
  KeepBudget keep;                  // taken when the host is made
  bool answerYes = false;           // how questions are answered, unless ask is set
  // Asks the user a question, true for yes (the studio's dialog); when unset, answerYes answers.
  std::function<bool(const std::string& question)> ask;
  bool refuseRegistration = false;  // RegisterObject answers false
  std::ostream* log = nullptr;      // where events are echoed as lines (taken when the host is made)
  // Called with the path after each existence test, for tests of files that change meanwhile.
  std::function<void(const std::string& path)> afterExistenceTest;
};

// What a module showed the user, in order.
struct Event {
  enum class Kind { Console, Message, Question };
  Kind kind = Kind::Console;
  std::string text;
  bool answer = false;  // questions: answered yes
};

class EventLog {
 public:
  explicit EventLog(std::ostream* echo) : echo_(echo) {}
  // Keeps the event, and writes it to the echo as a line ("[console] TEXT", line breaks as \n).
  void Record(Event event);
  const std::vector<Event>& All() const { return events_; }
  std::vector<std::string> Texts(Event::Kind kind) const;
  void Clear() { events_.clear(); }
  // Forgets every event after the first count (what one molecule of a collection showed).
  void Truncate(size_t count) { events_.resize(std::min(count, events_.size())); }
  // Where later events are echoed; null for nowhere.
  void SetEcho(std::ostream* echo) { echo_ = echo; }
  std::ostream* Echo() const { return echo_; }

 private:
  std::ostream* echo_;
  std::vector<Event> events_;
};

// What a module did to a node, in order: renames, dirty marks, messages.
struct NodeEvent {
  enum class Kind { Renamed, Dirty, Message };
  Kind kind = Kind::Message;
  int32_t value = 0;  // dirty flags, message type, or 1 when a rename marked the node changed
  std::string text;   // the new name
  bool operator==(const NodeEvent& other) const {
    return kind == other.kind && value == other.value && text == other.text;
  }
};

// What the host allocates on a module's behalf; each kind can be made to fail.
enum class AllocKind { Memory, String, Filename, Container, Resource, Bitmap, Description, Object, Tag, Any };

class FaultInjector {
 public:
  // The n-th allocation of that kind from now (1 = the next one) fails, once.
  void FailNth(uint64_t n, AllocKind kind = AllocKind::Any);
  // Every allocation of that kind fails until Clear.
  void FailAll(AllocKind kind = AllocKind::Any);
  void Clear();
  // Asked by the host before each allocation; counts it.
  bool Allow(AllocKind kind);
  uint64_t Allocations() const { return allocations_; }
  uint64_t Failures() const { return failures_; }

 private:
  bool armed_ = false;
  uint64_t remaining_ = 0;
  AllocKind nthKind_ = AllocKind::Any;
  bool failAll_ = false;
  AllocKind allKind_ = AllocKind::Any;
  uint64_t allocations_ = 0;
  uint64_t failures_ = 0;
};

// An object type a module registered.
struct ObjectType {
  int32_t id = 0;
  std::string name;
  int32_t info = 0;
  const VtObjectClass* operations = nullptr;
  std::string description;
  bool hasIcon = false;
  int32_t iconWidth = 0, iconHeight = 0;
  std::filesystem::path moduleFolder;  // of the module that registered it
};

struct StaticDescription;  // the parameters of a description resource (resources/resourceset.h)

// The object types and descriptions modules registered, and the module being called.
class TypeRegistry {
 public:
  const std::vector<ObjectType>& All() const { return types_; }
  const ObjectType* Find(int32_t id) const;
  void Add(ObjectType type) { types_.push_back(std::move(type)); }
  // The types a module registered, forgotten with their descriptions.
  void Forget(const std::filesystem::path& moduleFolder);

  // The static description registered for a type; null when none.
  const StaticDescription* Description(int32_t typeId) const;
  void AddDescription(int32_t typeId, std::shared_ptr<const StaticDescription> description);

  // The folder of the module being called; its res folder answers PluginResourceFolder.
  const std::filesystem::path& ModuleFolder() const { return moduleFolder_; }
  void SetModuleFolder(std::filesystem::path folder) { moduleFolder_ = std::move(folder); }

 private:
  std::vector<ObjectType> types_;
  std::map<int32_t, std::shared_ptr<const StaticDescription>> descriptions_;
  std::filesystem::path moduleFolder_;
};

// Strings the host freed, kept for the next it makes (scene/text.cpp); freed with the host.
class SpareStrings {
 public:
  explicit SpareStrings(size_t kept) : kept_(kept) {}
  ~SpareStrings();
  SpareStrings(const SpareStrings&) = delete;
  SpareStrings& operator=(const SpareStrings&) = delete;

  // A spare, or null when none is kept.
  VtString* Take();
  // Keeps a string no one holds for reuse, or frees it when the budget's count is kept already.
  void Give(VtString* text);
  size_t Count() const { return strings_.size(); }

 private:
  size_t kept_;
  std::vector<VtString*> strings_;
};

struct Mesh;  // a polygon mesh (scene/model.h)

// The meshes of the objects made from the sphere primitive (scene/meshes.cpp). A model asks for
// the same few spheres again and again: each is worked out once, and every object of that radius
// and segment count holds the same mesh for as long as any holds it, so a model's spheres take the
// memory of its distinct shapes (a sphere of 1000 segments is some 36 MB).
class SphereMeshes {
 public:
  explicit SphereMeshes(size_t forgottenKept) : forgottenKept_(forgottenKept) {}
  std::shared_ptr<const Mesh> Get(double radius, int32_t segments);
  // Forgets the shapes no object holds any more.
  void Sweep();
  // The shapes named, held or not.
  size_t Shapes() const { return shapes_.size(); }

 private:
  size_t forgottenKept_;
  size_t heldAtSweep_ = 0;
  std::map<std::pair<double, int32_t>, std::weak_ptr<const Mesh>> shapes_;
};

// Objects and tags a module made and has not yet inserted, returned or freed (scene/evaluation.cpp):
// the host's to free, at the latest with the host.
class LooseObjects {
 public:
  LooseObjects() = default;
  ~LooseObjects() { Release(); }
  LooseObjects(const LooseObjects&) = delete;
  LooseObjects& operator=(const LooseObjects&) = delete;

  void Add(VtNode* node);
  void Add(VtTag* tag);
  // Whether it was loose (false for null); it is no longer.
  bool Take(VtNode* node);
  bool Take(VtTag* tag);
  size_t Count() const { return nodes_.size() + tags_.size(); }
  // Frees them all.
  void Release();

 private:
  // Each object knows its place here (looseSlot), so that taking one out is a swap with the last.
  std::vector<VtNode*> nodes_;
  std::vector<VtTag*> tags_;
};

// The one live host of the process: the C tables behind the interface record reach it through a
// global, so only one exists at a time. All it keeps is its own and goes with it: a host made
// after it starts from nothing.
class Host {
 public:
  explicit Host(HostOptions options = {});
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  HostOptions& Options() { return options_; }
  FaultInjector& Faults() { return faults_; }
  EventLog& Events() { return events_; }
  const EventLog& Events() const { return events_; }
  TypeRegistry& Types() { return types_; }
  const TypeRegistry& Types() const { return types_; }
  // The files the run reads, which no output may replace, and the writing of every output.
  RunFiles& Files() { return files_; }
  const RunFiles& Files() const { return files_; }
  // What the host keeps between models, within the budget of its options.
  SpareStrings& Spares() { return spares_; }
  SphereMeshes& Spheres() { return spheres_; }
  // What modules made and left loose.
  LooseObjects& Loose() { return loose_; }
  const LooseObjects& Loose() const { return loose_; }

  // Bare nodes owned by the host, for modules to name, mark and message.
  VtNode* NewNode(const std::string& name = {});
  // Frees the node, and its object data when it has some.
  void DeleteNode(VtNode* node);
  VtNode* FindNode(uint64_t serial) const;
  // Frees every object of the types a module registered, and forgets the types: called before the
  // module is unloaded.
  void ForgetModule(const std::filesystem::path& moduleFolder);

  VtDocument* NewDocument();
  void CloseDocument(VtDocument* document);  // frees its nodes, and forgets their sphere shapes
  std::vector<VtNode*> Nodes(const VtDocument* document) const;
  VtNode* FindByName(const VtDocument* document, const std::string& name) const;
  // An object of a registered type: allocated and initialised; null (nothing left over) when the
  // type is unknown, the allocation is refused or initialisation fails.
  VtNode* CreateObject(VtDocument* document, int32_t typeId, const std::string& name = {});
  VtNode* CreateMaterial(VtDocument* document, const std::string& name, const VtVector& colour);
  // A new object of the same type, initialised, its parameters copied, then the object's copy.
  VtNode* Duplicate(VtNode* node, const std::string& name);

  // A user edit: the value is stored, then the object hears message 17.
  bool SetParameter(VtNode* node, int32_t id, const Value& value);
  // A button press: message 18.
  bool Press(VtNode* node, int32_t id);
  // The message is recorded on the node, then handed to its object; the object's answer.
  bool SendMessage(VtNode* node, int32_t type, void* data);
  // An animation track on a parameter; false when it has one.
  bool AddTrack(VtNode* node, int32_t id);
  // Adds every object to the execution list, executes the list by priority, then asks every
  // generator for its hierarchy and keeps what it returns as the object's cache; the sphere
  // shapes no object holds any more are forgotten then.
  void Evaluate(VtDocument* document);

  // Blocks handed out by the Mm table and not yet freed.
  int64_t LiveBlocks() const { return liveBlocks_; }
  void CountBlock(int64_t delta) { liveBlocks_ += delta; }

 private:
  HostOptions options_;
  FaultInjector faults_;
  EventLog events_;
  TypeRegistry types_;
  RunFiles files_;
  LooseObjects loose_;
  SphereMeshes spheres_;
  SpareStrings spares_;
  int64_t liveBlocks_ = 0;
  std::vector<std::unique_ptr<VtNode, void (*)(VtNode*)>> nodes_;
  std::vector<std::unique_ptr<VtDocument, void (*)(VtDocument*)>> documents_;
  uint64_t nextSerial_ = 1;
};

// What the host holds of a node; each answers the empty value for null.
std::string NodeName(const VtNode* node);
VtContainer* NodeParameters(VtNode* node);
std::vector<NodeEvent> NodeEvents(const VtNode* node);  // a copy
int32_t NodeType(const VtNode* node);
bool HasTrack(const VtNode* node, int32_t id);
// Whether the host lends the node's object a parameter container (tests take it away).
void SetHasParameters(VtNode* node, bool has);
// What the object's execute step answered at the last evaluation.
int32_t LastExecuteResult(const VtNode* node);
// The hierarchy the host keeps for a generator object (null when none), and how many times the
// object has been asked for one.
const VtNode* Hierarchy(const VtNode* object);
int32_t BuildCount(const VtNode* object);
// The object's parameters as they were when that hierarchy was built (null when none is kept).
const VtContainer* HierarchyParameters(const VtNode* object);

// Whether memory ran out since the last call (the flag is cleared): an allocation the host was asked
// for failed, or, once NoteFailedNews has installed its new handler, any of the process's own (a
// module that shares the C++ runtime too) threw std::bad_alloc.
bool TakeMemoryRanOut();
void NoteMemoryRanOut();
void NoteFailedNews();

// Whether a run frees what it made before the process ends. Only where leaks are checked: in the
// AddressSanitizer build, and where VANTOR_FREE_AT_EXIT is set to anything but 0 (valgrind's
// memcheck runs), since memory still held at the end would count as lost there. Elsewhere the
// system takes the whole process back at once, and freeing a large model block by block first
// costs a sixth of its conversion.
bool FreeAtExit();

}  // namespace vthost

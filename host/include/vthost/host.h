// The stand-in host: the tables behind the interface record, the record of what a module did
// through them, and fault injection for tests.
//
// An operation of the host that can fail answers false, or null when it makes something, with the
// reason in *error; those declared in vthost/ take a null error when the reason is not wanted.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vantor_host.h"
#include "vthost/files.h"
#include "vthost/value.h"

namespace vthost {

// The interface version this host reports unless told otherwise.
constexpr int32_t kCurrentInterfaceVersion = 2025200;

// What a module showed the user, in order.
struct Event {
  enum class Kind { Console, Message, Question };
  Kind kind = Kind::Console;
  std::string text;
  bool answer = false;  // questions: answered yes
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

struct StaticDescription;  // resources.h

// One entry of an object's description as the attribute editor would show it.
struct ShownEntry {
  int32_t id = 0;
  int32_t dataType = 0;
  int32_t parent = 0;
  std::string label;
  std::shared_ptr<VtContainer> attributes;  // the attribute container, by key
};

// An object's description as the host got it.
struct Description {
  bool answer = false;  // what the object's description operation answered
  int32_t flags = 0;
  bool complete = false;  // the object set VT_DESCRIPTION_LOADED; otherwise the host shows the static part
  std::vector<ShownEntry> entries;
  const ShownEntry* Find(int32_t id) const;
};

// A value an object wrote into its stored block.
using StoredValue = std::variant<int32_t, VtVector>;

struct HostOptions {
  int32_t interfaceVersion = kCurrentInterfaceVersion;
  bool answerYes = false;          // how questions are answered
  bool refuseRegistration = false;  // RegisterObject answers false
  std::ostream* log = nullptr;     // where events are echoed as lines; null: not echoed
  // Called with the path after each existence test, for tests of files that change meanwhile.
  std::function<void(const std::string& path)> afterExistenceTest;
};

// The one live host of the process: the C tables reach it through a global, so only one exists
// at a time.
class Host {
 public:
  explicit Host(HostOptions options = {});
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  static Host* Current();

  const VtHostInterface* Interface() const { return &record_; }
  HostOptions& Options() { return options_; }
  FaultInjector& Faults() { return faults_; }

  const std::vector<Event>& Events() const { return events_; }
  std::vector<std::string> Texts(Event::Kind kind) const;
  void ClearEvents() { events_.clear(); }
  void Record(Event event);

  const std::vector<ObjectType>& ObjectTypes() const { return objectTypes_; }
  const ObjectType* FindObjectType(int32_t id) const;
  void AddObjectType(ObjectType type) { objectTypes_.push_back(std::move(type)); }
  // Frees every object of the types a module registered, and forgets the types: called before
  // the module is unloaded.
  void ForgetModule(const std::filesystem::path& moduleFolder);
  // Descriptions registered by id.
  std::map<int32_t, std::shared_ptr<const StaticDescription>>& Descriptions() { return descriptions_; }
  const std::map<int32_t, std::shared_ptr<const StaticDescription>>& Descriptions() const { return descriptions_; }

  // The folder of the module being called; its res folder answers PluginResourceFolder.
  const std::filesystem::path& ModuleFolder() const { return moduleFolder_; }
  void SetModuleFolder(std::filesystem::path folder) { moduleFolder_ = std::move(folder); }

  // Bare nodes owned by the host, for modules to name, mark and message.
  VtNode* NewNode(const std::string& name = {});
  // Frees the node, and its object data when it has some.
  void DeleteNode(VtNode* node);
  VtNode* FindNode(uint64_t serial) const;
  static std::string NodeName(const VtNode* node);
  static VtContainer* NodeParameters(VtNode* node);
  static const std::vector<NodeEvent>& NodeEvents(const VtNode* node);
  static int32_t NodeType(const VtNode* node);
  // Whether the host lends the node's object a parameter container (tests take it away).
  static void SetHasParameters(VtNode* node, bool has);
  static int32_t LastExecuteResult(const VtNode* node);

  // Documents and what they hold (scene.cpp).
  VtDocument* NewDocument();
  void CloseDocument(VtDocument* document);  // frees its nodes
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
  bool SendMessage(VtNode* node, int32_t type, void* data);
  // Adds every object to the execution list, executes the list by priority, then asks every
  // generator for its hierarchy and keeps what it returns as the object's cache.
  void Evaluate(VtDocument* document);
  // The hierarchy the host keeps for a generator object (null when none), and how many times
  // the object has been asked for one.
  static const VtNode* Hierarchy(const VtNode* object);
  // The object's parameters as they were when that hierarchy was built (null when none is kept).
  static const VtContainer* HierarchyParameters(const VtNode* object);
  static int32_t BuildCount(const VtNode* object);
  // Objects and tags a module made and neither inserted, returned nor freed (generators.cpp).
  static size_t LooseObjects();
  // The object's description, as the attribute editor asks for it (description.cpp).
  Description Describe(VtNode* node, const int32_t* requestedId = nullptr);
  // The whole description as the attribute editor shows it: built as Describe builds it, but only
  // again when a value the last build read has changed since (or that build wrote defaults, was
  // refused memory or was incomplete), so a script's edits on an object with many rows do not each
  // rebuild thousands of entries. Valid until the next call for the node or the node's deletion.
  const Description& ShownDescription(VtNode* node);
  bool IsEnabled(VtNode* node, int32_t id);
  // Animation tracks on parameters.
  bool AddTrack(VtNode* node, int32_t id);
  static bool HasTrack(const VtNode* node, int32_t id);
  // Document files (documentfile.cpp).
  bool SaveDocument(const VtDocument* document, const std::filesystem::path& file, std::string* error);
  // The document, with message 1001078 (sub-type 1001) sent to every object; null with a reason.
  VtDocument* OpenDocument(const std::filesystem::path& file, std::string* error);
  // What the object writes into a stored document, value by value.
  std::vector<StoredValue> StoredBlock(VtNode* node);
  // Has the object read a stored block of these bytes (EncodeStoredBlock makes well-formed ones).
  bool ReadStoredBlock(VtNode* node, const std::vector<uint8_t>& block, int32_t level = 0);
  static std::vector<uint8_t> EncodeStoredBlock(const std::vector<StoredValue>& values);

  // The files the run reads, which no output may replace: the module file and its res folder,
  // every file the module looked up and found, and what the program adds (a script). what names
  // the input in the reason an output is refused.
  void AddInput(const std::filesystem::path& file, const std::string& what);
  void AddInputFolder(const std::filesystem::path& folder, const std::string& what);
  // Every output file is written here: bytes as the whole of file, replaced whole or not at all
  // (base/outputfiles.h); false with the reason when file names an input or cannot be written.
  bool WriteOutput(const std::filesystem::path& file, std::string_view bytes, std::string* error) const;

  // Blocks handed out by the Mm table and not yet freed.
  int64_t LiveBlocks() const { return liveBlocks_; }
  void CountBlock(int64_t delta) { liveBlocks_ += delta; }

 private:
  HostOptions options_;
  FaultInjector faults_;
  VtHostInterface record_{};
  std::vector<Event> events_;
  std::vector<ObjectType> objectTypes_;
  std::map<int32_t, std::shared_ptr<const StaticDescription>> descriptions_;
  std::filesystem::path moduleFolder_;
  int64_t liveBlocks_ = 0;
  struct Input {
    ResolvedName name;  // as it resolved when the run read it
    std::string what;
    bool folder = false;  // everything inside it is an input
  };
  std::vector<Input> inputs_;
  void RememberInput(const std::filesystem::path& file, const std::string& what, bool folder);
  std::vector<std::unique_ptr<VtNode, void (*)(VtNode*)>> nodes_;
  std::vector<std::unique_ptr<VtDocument, void (*)(VtDocument*)>> documents_;
  uint64_t nextSerial_ = 1;
};

// A module loaded from its file, called through its entry.
class Module {
 public:
  // Null with a reason in *error when the file is not a regular file, cannot be loaded or exports
  // no entry.
  static std::unique_ptr<Module> Load(Host& host, const std::filesystem::path& file, std::string* error);
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  int32_t Call(int32_t action, void* p1 = nullptr, void* p2 = nullptr, void* p3 = nullptr);
  // Action 1 with this host's record and the module's folder as its location.
  int32_t Init();
  // Action 1 with a chosen record and location (null allowed).
  int32_t Init(const VtHostInterface* record, const std::filesystem::path* location);
  int32_t Message(int32_t id, void* data = nullptr);
  int32_t Start();
  int32_t End();
  // The host application's order: 1, then 6 with message 1 and 2 unless 1 was refused. True when
  // each step answered success; otherwise false with the first step that did not in *error.
  bool StartUp(std::string* error = nullptr);

  const std::filesystem::path& File() const { return file_; }
  const std::filesystem::path& Folder() const { return folder_; }

 private:
  Module(Host& host, void* library, VtEntry entry, std::filesystem::path file);
  Host& host_;
  void* library_ = nullptr;
  VtEntry entry_ = nullptr;
  std::filesystem::path file_;
  std::filesystem::path folder_;
};

// The file name of the vantor module in a plug-in folder on this platform ("vantor.so", ...).
std::string ModuleFileName(const std::string& base);

}  // namespace vthost

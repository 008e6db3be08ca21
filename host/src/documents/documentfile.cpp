// Document files: saved, and opened only once the whole file has been read and checked.
//
// Layout, little-endian: "VANTORDC", u32 version, u32 node count, then per node
//   u8 kind (1 object, 2 material), i32 type, u64 serial, string name,
//   [material: 3 f64 colour], container, u32 track count + i32 parameter ids,
//   [object: i32 level, u64 block length, block]
// string: u32 length + bytes. container: u32 count, then per value i32 id, u8 value type, payload;
// a sub-container nests. An object's block holds tagged values ('I' + i32, 'V' + 3 f64) and is
// read through a stream that ends at the block's end, so an object that reads too little or too
// much cannot disturb the rest of the file.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <type_traits>
#include <utility>

#include "base/outputfiles.h"
#include "documents/storedblock.h"
#include "resources/resourceset.h"
#include "vthost/documents.h"

namespace vthost {
namespace {

constexpr char kMagic[8] = {'V', 'A', 'N', 'T', 'O', 'R', 'D', 'C'};
constexpr uint32_t kVersion = 1;
constexpr uint8_t kObjectNode = 1;
constexpr uint8_t kMaterialNode = 2;
constexpr int kMaxNesting = 8;
// The largest document saved or opened. Documents hold parameters and small blocks, far below
// this; a bound keeps a damaged or hostile file from taking the memory its counts claim.
constexpr uint64_t kMaxDocumentBytes = uint64_t{16} << 20;
constexpr const char* kMaxDocumentText = "16 MiB";
// The most nodes (objects and materials) a document may hold. Each molecule object opened keeps
// its own element table: opening costs about 25 KB and 0.2 ms per object, so 10,000 of them take
// some 250 MB and 2 s (bench/document.sh), where 16 MiB of small ones (450,000) would ask for 11 GB.
constexpr uint32_t kMaxDocumentNodes = 10000;
// What a value opened takes in memory, at the most: a node of its container's map, payload and all
// (a string's text aside, which is counted by its length).
constexpr uint64_t kValueMemory = 96;
// Opening takes at most this many times the document's bytes in values: a document of the
// smallest values (a bool is 6 bytes) past that is refused as damaged, as none is saved so.
constexpr uint64_t kMemoryPerByte = 10;
// the stored level an object's read is given
constexpr int32_t kStoredLevel = 0;

class Writer {
 public:
  explicit Writer(std::vector<uint8_t>& out) : out_(out) {}
  template <typename T>
  void Put(T value) {
    AppendBytes(&out_, &value, sizeof value);
  }
  void PutString(const std::string& text) {
    Put(static_cast<uint32_t>(text.size()));
    AppendBytes(&out_, text.data(), text.size());
  }
  void PutBytes(const std::vector<uint8_t>& bytes) { AppendBytes(&out_, bytes.data(), bytes.size()); }

 private:
  std::vector<uint8_t>& out_;
};

// Reads a document file as its counts ask, every read checked against what is left of the file;
// after one failure every read fails.
class Reader {
 public:
  Reader(std::istream& in, uint64_t size) : in_(in), left_(size), memoryLeft_(kMemoryPerByte * size) {}
  template <typename T>
  bool Get(T* value) {
    return Read(value, sizeof(T));
  }
  bool GetString(std::string* text) {
    uint32_t length = 0;
    if (!Get(&length) || left_ < length) return Fail();
    text->resize(length);
    return Read(text->data(), length);
  }
  bool GetBytes(uint64_t length, std::vector<uint8_t>* bytes) {
    if (!ok_ || left_ < length) return Fail();
    bytes->resize(static_cast<size_t>(length));
    return Read(bytes->data(), bytes->size());
  }
  uint64_t Left() const { return left_; }
  bool Fail() { return ok_ = false; }
  // A value of so many bytes of text taken into memory; false (and failed) past what opening may take.
  bool Hold(uint64_t textBytes) {
    const uint64_t memory = kValueMemory + textBytes;
    if (memory > memoryLeft_) return tooLarge_ = true, Fail();
    memoryLeft_ -= memory;
    return true;
  }
  bool TooLarge() const { return tooLarge_; }

 private:
  bool Read(void* bytes, size_t size) {
    if (!ok_ || left_ < size) return Fail();
    in_.read(static_cast<char*>(bytes), static_cast<std::streamsize>(size));
    if (static_cast<size_t>(in_.gcount()) != size) return Fail();
    left_ -= size;
    return true;
  }

  std::istream& in_;
  uint64_t left_;
  uint64_t memoryLeft_;
  bool ok_ = true;
  bool tooLarge_ = false;
};

void WriteContainer(Writer& writer, const VtContainer& container) {
  writer.Put(static_cast<uint32_t>(container.values.size()));
  for (const auto& [id, value] : container.values) {
    writer.Put(id);
    writer.Put(static_cast<uint8_t>(TypeCode(value)));
    std::visit(
        [&](const auto& held) {
          using T = std::decay_t<decltype(held)>;
          if constexpr (std::is_same_v<T, int32_t> || std::is_same_v<T, double>) {
            writer.Put(held);
          } else if constexpr (std::is_same_v<T, bool>) {
            writer.Put(static_cast<uint8_t>(held ? 1 : 0));
          } else if constexpr (std::is_same_v<T, VtVector>) {
            writer.Put(held.x), writer.Put(held.y), writer.Put(held.z);
          } else if constexpr (std::is_same_v<T, std::string>) {
            writer.PutString(held);
          } else if constexpr (std::is_same_v<T, std::filesystem::path>) {
            writer.PutString(held.u8string());
          } else if constexpr (std::is_same_v<T, LinkValue>) {
            writer.Put(held.node);
          } else if constexpr (std::is_same_v<T, ContainerPtr>) {
            WriteContainer(writer, held ? *held : VtContainer());
          }
        },
        value);
  }
}

// At least an id, a type and the shortest payload (a bool's byte) per value: a count beyond what
// is left is corrupt.
constexpr size_t kSmallestValue = sizeof(int32_t) + sizeof(uint8_t) + sizeof(uint8_t);

bool ReadContainer(Reader& reader, VtContainer* container, int depth) {
  uint32_t count = 0;
  if (depth > kMaxNesting || !reader.Get(&count) || count > reader.Left() / kSmallestValue) return reader.Fail();
  for (uint32_t i = 0; i < count; ++i) {
    int32_t id = 0;
    uint8_t type = 0;
    if (!reader.Get(&id) || !reader.Get(&type)) return false;
    Value value;
    switch (type) {
      case VT_VALUE_INT32: {
        int32_t number = 0;
        if (!reader.Get(&number)) return false;
        value = number;
        break;
      }
      case VT_VALUE_FLOAT: {
        double number = 0.0;
        if (!reader.Get(&number)) return false;
        value = number;
        break;
      }
      case VT_VALUE_BOOL: {
        uint8_t flag = 0;
        if (!reader.Get(&flag)) return false;
        value = flag != 0;
        break;
      }
      case VT_VALUE_VECTOR: {
        VtVector vector{};
        if (!reader.Get(&vector.x) || !reader.Get(&vector.y) || !reader.Get(&vector.z)) return false;
        value = vector;
        break;
      }
      case VT_VALUE_STRING:
      case VT_VALUE_FILENAME: {
        std::string text;
        if (!reader.GetString(&text)) return false;
        value = type == VT_VALUE_STRING ? Value(text) : Value(std::filesystem::u8path(text));
        break;
      }
      case VT_VALUE_LINK: {
        LinkValue link;
        if (!reader.Get(&link.node)) return false;
        value = link;
        break;
      }
      case VT_VALUE_CONTAINER: {
        auto sub = std::make_shared<VtContainer>();
        if (!ReadContainer(reader, sub.get(), depth + 1)) return false;
        value = ContainerPtr(sub);
        break;
      }
      default:
        return reader.Fail();
    }
    const std::string* text = std::get_if<std::string>(&value);
    if (!reader.Hold(text ? text->size() : 0)) return false;
    container->values[id] = std::move(value);
  }
  return true;
}

// Links name nodes by serial; opened nodes get new serials.
void RemapLinks(VtContainer& container, const std::map<uint64_t, uint64_t>& serials) {
  for (auto& [id, value] : container.values) {
    if (auto* link = std::get_if<LinkValue>(&value)) {
      const auto found = serials.find(link->node);
      link->node = found == serials.end() ? 0 : found->second;
    } else if (auto* sub = std::get_if<ContainerPtr>(&value); sub && *sub) {
      RemapLinks(**sub, serials);
    }
  }
}

// The id of the first parameter of container (its sub-containers too) that holds a number that is
// not finite; 0 for none.
int32_t NonFiniteParameter(const VtContainer& container) {
  for (const auto& [id, value] : container.values) {
    const double* number = std::get_if<double>(&value);
    const VtVector* vector = std::get_if<VtVector>(&value);
    const ContainerPtr* sub = std::get_if<ContainerPtr>(&value);
    if ((number && !std::isfinite(*number)) ||
        (vector && !(std::isfinite(vector->x) && std::isfinite(vector->y) && std::isfinite(vector->z))) ||
        (sub && *sub && NonFiniteParameter(**sub) != 0)) {
      return id;
    }
  }
  return 0;
}

// A file a parameter names by a relative path lies beside the document, wherever it is opened from.
void ResolveFiles(VtContainer& container, const std::filesystem::path& folder) {
  for (auto& [id, value] : container.values) {
    // relative as every system takes it: no drive and no root ("/a/b" on Windows is on the current drive)
    if (auto* file = std::get_if<std::filesystem::path>(&value); file && !file->empty() && file->root_path().empty()) {
      *file = folder / *file;
    } else if (auto* sub = std::get_if<ContainerPtr>(&value); sub && *sub) {
      ResolveFiles(**sub, folder);
    }
  }
}

// At least a kind, type, serial, name length, value count and track count per node, and an
// object's level and block length (a material's colour is longer): a count beyond what is left is
// corrupt.
constexpr size_t kSmallestNode = sizeof(uint8_t) + sizeof(int32_t) + sizeof(uint64_t) + 3 * sizeof(uint32_t) +
                                 sizeof(int32_t) + sizeof(uint64_t);

struct StoredNode {
  uint8_t kind = 0;
  int32_t type = 0;
  uint64_t serial = 0;
  std::string name;
  VtVector colour{};
  VtContainer parameters;
  std::vector<int32_t> tracks;
  int32_t level = 0;
  std::vector<uint8_t> block;
};

bool ReadNode(Reader& reader, StoredNode* node) {
  if (!reader.Get(&node->kind) || !reader.Get(&node->type) || !reader.Get(&node->serial) ||
      !reader.GetString(&node->name)) {
    return false;
  }
  if (node->kind != kObjectNode && node->kind != kMaterialNode) return reader.Fail();
  if (node->kind == kMaterialNode &&
      (!reader.Get(&node->colour.x) || !reader.Get(&node->colour.y) || !reader.Get(&node->colour.z))) {
    return false;
  }
  if (!ReadContainer(reader, &node->parameters, 0)) return false;
  uint32_t tracks = 0;
  if (!reader.Get(&tracks) || tracks > reader.Left() / sizeof(int32_t)) return reader.Fail();
  for (uint32_t i = 0; i < tracks; ++i) {
    int32_t id = 0;
    if (!reader.Get(&id)) return false;
    node->tracks.push_back(id);
  }
  if (node->kind == kObjectNode) {
    uint64_t length = 0;
    if (!reader.Get(&node->level) || !reader.Get(&length) || !reader.GetBytes(length, &node->block)) return false;
  }
  return true;
}

void WriteNode(Writer& writer, VtNode* node) {
  const bool material = node->type == VT_OBJECT_MATERIAL;
  writer.Put(material ? kMaterialNode : kObjectNode);
  writer.Put(node->type);
  writer.Put(node->serial);
  writer.PutString(node->name);
  if (material) writer.Put(node->colour.x), writer.Put(node->colour.y), writer.Put(node->colour.z);
  WriteContainer(writer, node->parameters);
  writer.Put(static_cast<uint32_t>(node->tracks.size()));
  for (const auto& track : node->tracks) writer.Put(track->id);
  if (!material) {
    const std::vector<uint8_t> block = WriteObjectBlock(node);
    writer.Put(kStoredLevel);
    writer.Put(static_cast<uint64_t>(block.size()));
    writer.PutBytes(block);
  }
}

// The document's bytes; false with the reason when it could not be opened again.
bool DocumentBytes(const VtDocument& document, std::vector<uint8_t>* bytes, std::string* error) {
  if (document.nodes.size() > kMaxDocumentNodes) {
    *error = "the document holds " + std::to_string(document.nodes.size()) + " objects and materials, more than the " +
             std::to_string(kMaxDocumentNodes) + " a document may hold: not saved";
    return false;
  }
  bytes->assign(std::begin(kMagic), std::end(kMagic));
  Writer writer(*bytes);
  writer.Put(kVersion);
  writer.Put(static_cast<uint32_t>(document.nodes.size()));
  for (VtNode* node : document.nodes) WriteNode(writer, node);
  if (bytes->size() > kMaxDocumentBytes) {
    *error = "the document would take " + std::to_string(bytes->size()) + " bytes, more than the " +
             kMaxDocumentText + " a document may hold: not saved";
    return false;
  }
  return true;
}

// Only a regular file is read: reading a folder throws from the stream, and a device or FIFO may
// never end.
bool CheckOpenable(const std::filesystem::path& file, std::string* error) {
  std::error_code failure;
  const std::filesystem::file_status status = std::filesystem::status(file, failure);
  if (std::filesystem::is_directory(status)) return *error = "cannot open " + file.u8string() + ": a folder", false;
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    return *error = "cannot open " + file.u8string() + ": not a regular file", false;
  }
  return true;
}

// The header, checked, and the node count it gives.
bool ReadHeader(Reader& reader, const std::filesystem::path& file, uint64_t size, uint32_t* count,
                std::string* error) {
  const std::string name = file.u8string();
  char magic[sizeof kMagic];
  uint32_t version = 0;
  if (!reader.Get(&magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0) {
    return *error = "cannot open " + name + ": not a Vantor document", false;
  }
  if (!reader.Get(&version) || version != kVersion) {
    return *error = "cannot open " + name + ": unknown document version", false;
  }
  if (size > kMaxDocumentBytes) {
    *error = name + " takes " + std::to_string(size) + " bytes, more than the " + kMaxDocumentText +
             " a document may hold";
    return false;
  }
  if (!reader.Get(count) || *count > reader.Left() / kSmallestNode) {
    return *error = "cannot open " + name + ": damaged document", false;
  }
  if (*count > kMaxDocumentNodes) {
    *error = name + " holds " + std::to_string(*count) + " objects and materials, more than the " +
             std::to_string(kMaxDocumentNodes) + " a document may hold";
    return false;
  }
  return true;
}

// Every node the file holds, read and checked before anything is made.
bool ReadDocumentFile(const std::filesystem::path& file, std::vector<StoredNode>* nodes, std::string* error) {
  if (!CheckOpenable(file, error)) return false;
  std::ifstream in(file, std::ios::binary);
  std::error_code failure;
  const uint64_t size = std::filesystem::file_size(file, failure);
  if (!in || failure) return *error = "cannot open " + file.u8string(), false;
  Reader reader(in, size);
  uint32_t count = 0;
  if (!ReadHeader(reader, file, size, &count, error)) return false;
  nodes->resize(count);
  for (StoredNode& node : *nodes) {
    if (ReadNode(reader, &node)) continue;
    *error = "cannot open " + file.u8string() + ": damaged document";
    if (reader.TooLarge()) {
      *error += " (its values would take more than " + std::to_string(kMemoryPerByte) + " times its " +
                std::to_string(size) + " bytes in memory)";
    }
    return false;
  }
  return true;
}

// The stored nodes made in a new document: objects of a type some module registers and materials,
// with their parameters and tracks and links to the nodes' new serials; then each object reads its
// block and hears that its document was opened.
VtDocument* MakeDocument(Host& host, std::vector<StoredNode>& stored) {
  VtDocument* document = host.NewDocument();
  std::map<uint64_t, uint64_t> serials;
  std::vector<std::pair<VtNode*, const StoredNode*>> opened;
  for (StoredNode& node : stored) {
    VtNode* created = node.kind == kMaterialNode ? host.CreateMaterial(document, node.name, node.colour)
                                                 : host.CreateObject(document, node.type, node.name);
    if (created == nullptr) continue;  // a type no module registers, or an object that failed to start
    created->name = node.name;
    created->parameters = std::move(node.parameters);
    for (const int32_t id : node.tracks) host.AddTrack(created, id);
    serials[node.serial] = created->serial;
    opened.emplace_back(created, &node);
  }
  for (auto& [node, storedNode] : opened) {
    RemapLinks(node->parameters, serials);
    ReadStoredBlock(node, storedNode->block, storedNode->level);
  }
  int32_t subType = VT_DOCUMENT_OPENED;
  for (auto& [node, storedNode] : opened) Deliver(node, VT_MSG_DOCUMENT_LOADED, &subType);
  return document;
}

}  // namespace

bool SaveDocument(Host& host, const VtDocument* document, const std::filesystem::path& file, std::string* error) {
  if (document == nullptr) return *error = "no document", false;
  std::vector<uint8_t> bytes;
  if (!DocumentBytes(*document, &bytes, error)) {
    *error = file.u8string() + ": " + *error;
    return false;
  }
  // a document or an empty file is replaced: a molecule file, a script or anything else is not
  return MayReplace(file, std::string_view(kMagic, sizeof kMagic), "Vantor document", error) &&
         host.Files().WriteOutput(file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                                  error);
}

VtDocument* OpenDocument(Host& host, const std::filesystem::path& file, std::string* error) {
  std::vector<StoredNode> stored;
  if (!ReadDocumentFile(file, &stored, error)) return nullptr;
  std::error_code failure;
  const std::filesystem::path folder = std::filesystem::absolute(file, failure).parent_path();
  for (StoredNode& node : stored) {
    // a NaN radius would hide every atom without a word: the document is refused, naming it
    if (const int32_t id = NonFiniteParameter(node.parameters)) {
      const StaticDescription* description = host.Types().Description(node.type);
      const DescriptionEntry* entry = description ? description->Find(id) : nullptr;
      *error = "cannot open " + file.u8string() + ": '" + node.name + "' holds a number that is not finite in " +
               (entry ? entry->name : "parameter " + std::to_string(id));
      return nullptr;
    }
    const VtVector& c = node.colour;
    if (!(std::isfinite(c.x) && std::isfinite(c.y) && std::isfinite(c.z))) {
      *error = "cannot open " + file.u8string() + ": the material '" + node.name + "' has a colour that is not finite";
      return nullptr;
    }
    if (!failure) ResolveFiles(node.parameters, folder);
  }
  return MakeDocument(host, stored);
}

}  // namespace vthost

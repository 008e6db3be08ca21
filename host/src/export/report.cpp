// A generated hierarchy as JSON, and the report vantor-host writes of one run.
//
// The text is written as it goes (jsonwriter.h); the JSON values the script prints and the tests
// read are that same text parsed, so there is one way of writing each thing.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "export/json.h"
#include "export/jsonwriter.h"
#include "vthost/molecule.h"
#include "vthost/report.h"

namespace vthost {

using nlohmann::json;

namespace {

void WriteVector(JsonWriter& out, const VtVector& v) {
  out.BeginArray();
  out.Number(v.x);
  out.Number(v.y);
  out.Number(v.z);
  out.EndArray();
}

void WriteContainer(JsonWriter& out, const Host& host, const VtContainer* container);

// Links read as the name of what they point at, null when it is gone.
void WriteValue(JsonWriter& out, const Host& host, const Value& value) {
  std::visit(
      [&](const auto& held) {
        using T = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          out.Null();
        } else if constexpr (std::is_same_v<T, int32_t>) {
          out.Integer(held);
        } else if constexpr (std::is_same_v<T, double>) {
          out.Number(held);
        } else if constexpr (std::is_same_v<T, bool>) {
          out.Bool(held);
        } else if constexpr (std::is_same_v<T, VtVector>) {
          WriteVector(out, held);
        } else if constexpr (std::is_same_v<T, std::string>) {
          out.String(held);
        } else if constexpr (std::is_same_v<T, std::filesystem::path>) {
          out.String(held.u8string());
        } else if constexpr (std::is_same_v<T, LinkValue>) {
          const VtNode* target = held.node ? host.FindNode(held.node) : nullptr;
          if (target) {
            out.String(NodeName(target));
          } else {
            out.Null();
          }
        } else {
          static_assert(std::is_same_v<T, ContainerPtr>);
          WriteContainer(out, host, held.get());
        }
      },
      value);
}

// An id as the text of its key, kept in place: a report writes one for every parameter.
struct IdKey {
  char text[12];  // "-2147483648" at the longest
  uint8_t length;
  const Value* value;
  std::string_view Text() const { return {text, length}; }
};

// Keys are the ids as text, in the order of the text ("1000" before "999").
void WriteContainer(JsonWriter& out, const Host& host, const VtContainer* container) {
  // most containers (a node's parameters, a tag's) hold a few values: their keys stay on the stack
  constexpr size_t kFewValues = 24;
  const size_t count = container != nullptr ? container->values.size() : 0;
  std::array<IdKey, kFewValues> few;
  std::vector<IdKey> many(count > kFewValues ? count : 0);
  IdKey* const keyed = count > kFewValues ? many.data() : few.data();
  // the container holds its ids in the order of their numbers, which is the order of their text
  // when none is negative and all have as many digits (as most containers' ids have)
  bool inTextOrder = true;
  if (count > 0) {
    IdKey* key = keyed;
    for (const auto& [id, value] : container->values) {
      key->length = static_cast<uint8_t>(std::to_chars(key->text, key->text + sizeof key->text, id).ptr - key->text);
      key->value = &value;
      inTextOrder = inTextOrder && id >= 0 && key->length == keyed->length;
      ++key;
    }
  }
  if (!inTextOrder) {
    std::sort(keyed, keyed + count, [](const IdKey& a, const IdKey& b) { return a.Text() < b.Text(); });
  }
  out.BeginObject();
  for (const IdKey* key = keyed; key != keyed + count; ++key) {
    out.PlainKey(key->Text());
    WriteValue(out, host, *key->value);
  }
  out.EndObject();
}

const char* TypeName(int32_t type) {
  switch (type) {
    case VT_OBJECT_NULL: return "null";
    case VT_OBJECT_POLYGON: return "polygon";
    case VT_OBJECT_SWEEP: return "sweep";
    case VT_OBJECT_SPLINE: return "spline";
    default: return nullptr;
  }
}

void WriteTag(JsonWriter& out, const Host& host, const VtTag& tag) {
  out.BeginObject();
  if (tag.type == VT_TAG_TEXTURE) {
    out.PlainKey("material");
    const VtNode* material = tag.material ? host.FindNode(tag.material) : nullptr;
    if (material) {
      out.String(NodeName(material));
    } else {
      out.Null();
    }
  }
  if (tag.type == VT_TAG_TEXTURE || !tag.parameters.values.empty()) {
    out.PlainKey("params");
    WriteContainer(out, host, &tag.parameters);
  }
  out.PlainKey("type");
  out.Integer(tag.type);
  out.EndObject();
}

// A node's fields before its position: display colour, name, parameters, mesh counts.
void WriteFieldsBefore(JsonWriter& out, const Host& host, const VtNode& node) {
  if (node.display.set) {
    out.PlainKey("displayColor");
    out.BeginObject();
    out.PlainKey("color");
    WriteVector(out, node.display.colour);
    out.PlainKey("mode");
    out.Integer(node.display.mode);
    out.PlainKey("xray");
    out.Bool(node.display.xray);
    out.EndObject();
  }
  out.PlainKey("name");
  out.String(node.name);
  out.PlainKey("params");
  WriteContainer(out, host, &node.parameters);
  if (node.type == VT_OBJECT_POLYGON) {
    out.PlainKey("pointCount");
    out.Integer(node.mesh ? static_cast<int64_t>(node.mesh->points.size()) : 0);
    out.PlainKey("polygonCount");
    out.Integer(node.mesh ? static_cast<int64_t>(node.mesh->polygons.size()) : 0);
  }
}

// A node's fields after its position: primitive, spline, tags, type.
void WriteFieldsAfter(JsonWriter& out, const Host& host, const VtNode& node) {
  if (node.type == VT_OBJECT_POLYGON && node.primitive) {
    out.PlainKey("primitive");
    out.BeginObject();
    out.PlainKey("radius");
    out.Number(node.primitive->radius);
    out.PlainKey("segments");
    out.Integer(node.primitive->segments);
    out.PlainKey("type");
    out.Integer(node.primitive->type);
    out.EndObject();
  }
  if (node.spline) {
    out.PlainKey("spline");
    out.BeginObject();
    out.PlainKey("points");
    out.BeginArray();
    for (const VtVector& point : node.spline->points) WriteVector(out, point);
    out.EndArray();
    out.PlainKey("tangents");
    out.BeginArray();
    for (const VtTangent& tangent : node.spline->tangents) {
      out.BeginArray();
      WriteVector(out, tangent.left);
      WriteVector(out, tangent.right);
      out.EndArray();
    }
    out.EndArray();
    out.PlainKey("type");
    out.Integer(node.spline->type);
    out.EndObject();
  }
  out.PlainKey("tags");
  out.BeginArray();
  for (const auto& tag : node.tags) {
    if (tag) WriteTag(out, host, *tag);
  }
  out.EndArray();
  out.PlainKey("type");
  if (const char* name = TypeName(node.type)) {
    out.String(name);
  } else {
    out.String(std::to_string(node.type));
  }
}

// The keys in sorted order, as the object of a parsed report keeps them.
// Each generated object starts a line: its fields follow its children. *holder becomes the name of
// the object whose fields hold the first number that is not finite.
void WriteNode(JsonWriter& out, const Host& host, const VtNode& node, std::optional<std::string>* holder) {
  out.BeginObject();
  out.PlainKey("children");
  out.BeginArray();
  bool any = false;
  for (const NodePtr& child : node.children) {
    if (!child) continue;
    out.BreakLine();
    WriteNode(out, host, *child, holder);
    any = true;
  }
  if (any) out.BreakLine();
  out.EndArray();
  WriteFieldsBefore(out, host, node);
  out.PlainKey("position");
  WriteVector(out, node.position);
  WriteFieldsAfter(out, host, node);
  out.EndObject();
  // the children were written before the fields: the first object done since it came holds it
  if (out.NonFinite() && !*holder) *holder = node.name;
}

void WriteHierarchy(JsonWriter& out, const Host& host, const VtNode* root,
                    std::optional<std::string>* holder = nullptr) {
  if (root == nullptr) {
    out.Null();
    return;
  }
  std::optional<std::string> ignored;
  WriteNode(out, host, *root, holder ? holder : &ignored);
}

// Atoms and bonds anywhere below node, so a hierarchy that groups them under nulls counts the same.
void Count(const VtNode& node, int64_t* atoms, int64_t* bonds) {
  for (const NodePtr& child : node.children) {
    if (!child) continue;
    if (child->type == VT_OBJECT_POLYGON && !molecule::IsNucleusName(child->name)) ++*atoms;
    if (child->type == VT_OBJECT_SWEEP) ++*bonds;
    Count(*child, atoms, bonds);
  }
}

}  // namespace

std::string JsonText(const json& document, int indent) {
  return document.dump(indent, ' ', false, json::error_handler_t::replace);
}

json VectorJson(const VtVector& v) { return json::array({v.x, v.y, v.z}); }

json ValueJson(const Host& host, const Value& value) {
  JsonWriter out;
  WriteValue(out, host, value);
  return json::parse(out.Take());
}

json ContainerJson(const Host& host, const VtContainer* container) {
  JsonWriter out;
  WriteContainer(out, host, container);
  return json::parse(out.Take());
}

std::string HierarchyText(const Host& host, const VtNode* root) {
  JsonWriter out;
  WriteHierarchy(out, host, root);
  return out.Take();
}

json HierarchyJson(const Host& host, const VtNode* root) { return json::parse(HierarchyText(host, root)); }

namespace {

void WriteReport(JsonWriter& out, const Host& host, const VtNode* object,
                 std::optional<std::string>* holder = nullptr, const Detail* detail = nullptr) {
  const VtNode* root = Hierarchy(object);
  int64_t atoms = 0, bonds = 0;
  if (root) Count(*root, &atoms, &bonds);
  out.BeginObject();
  out.PlainKey("atoms");
  out.Integer(atoms);
  out.PlainKey("bonds");
  out.Integer(bonds);
  out.PlainKey("console");
  out.BeginArray();
  for (const Event& event : host.Events().All()) {
    if (event.kind == Event::Kind::Console) out.String(event.text);
  }
  out.EndArray();
  if (detail != nullptr) {
    out.PlainKey("detail");
    out.BeginObject();
    out.PlainKey("segments");
    out.Integer(detail->segments);
    out.PlainKey("subdivisions");
    out.Integer(detail->subdivisions);
    out.PlainKey("triangles");
    out.Integer(detail->triangles);
    out.EndObject();
  }
  out.PlainKey("hierarchy");
  WriteHierarchy(out, host, root, holder);
  out.PlainKey("messages");
  out.BeginArray();
  for (const Event& event : host.Events().All()) {
    if (event.kind != Event::Kind::Console) out.String(event.text);
  }
  out.EndArray();
  out.PlainKey("name");
  if (object) {
    out.String(NodeName(object));
  } else {
    out.Null();
  }
  out.EndObject();
}

}  // namespace

std::string ReportText(const Host& host, const VtNode* object) {
  JsonWriter out;
  WriteReport(out, host, object);
  return out.Take();
}

namespace {

// The reason a report that holds a number that is not finite is refused; true when it holds none.
bool AllFinite(const JsonWriter& out, const std::optional<std::string>& holder, std::string* error) {
  if (!out.NonFinite()) return true;
  const std::string& key = out.NonFiniteKey();
  // a colour that is not finite comes from a document, any other number from scaling
  const std::string question = key == "color" ? "" : " (" + std::string(molecule::kScaleQuestion) + " too large?)";
  *error = "the report holds a number that is not finite" + (key.empty() ? std::string() : ", in \"" + key + "\"") +
           (holder ? " of '" + *holder + "'" : std::string()) + question;
  return false;
}

}  // namespace

bool WriteReport(const Host& host, const VtNode* object, std::ostream& stream, const Detail* detail,
                 std::string* error) {
  JsonWriter out(&stream);
  std::optional<std::string> holder;
  WriteReport(out, host, object, &holder, detail);
  if (!out.Flush()) {
    *error = "cannot write the report";
    return false;
  }
  return AllFinite(out, holder, error);
}

bool ReportBytes(const Host& host, const VtNode* object, const Detail* detail, ModelBytes* bytes,
                 std::string* error) {
  JsonWriter out;
  std::optional<std::string> holder;
  WriteReport(out, host, object, &holder, detail);
  auto held = std::make_shared<std::vector<std::unique_ptr<char[]>>>();
  bytes->pieces = out.TakePieces(held.get());
  bytes->holder = std::move(held);
  return AllFinite(out, holder, error);
}

json Report(const Host& host, const VtNode* object) { return json::parse(ReportText(host, object)); }

ModelCounts CountModel(const VtNode* root) {
  ModelCounts counts;
  if (root) Count(*root, &counts.atoms, &counts.bonds);
  return counts;
}

}  // namespace vthost

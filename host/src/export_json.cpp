// A generated hierarchy as JSON, and the report vantor-host writes of one run.
#include <cmath>
#include <string_view>
#include <type_traits>
#include <variant>

#include "export.h"

namespace vthost {

using nlohmann::json;

json VectorJson(const VtVector& v) { return json::array({v.x, v.y, v.z}); }

std::string JsonText(const json& document, int indent) {
  return document.dump(indent, ' ', false, json::error_handler_t::replace);
}

std::string ValidUtf8(const std::string& text) {
  // a JSON string round trip does exactly this replacement
  const std::string quoted = json(text).dump(-1, ' ', false, json::error_handler_t::replace);
  return json::parse(quoted).get<std::string>();
}

json ContainerJson(const Host& host, const VtContainer* container) {
  json object = json::object();
  for (const int32_t id : Ids(container)) object[std::to_string(id)] = ValueJson(host, *Lookup(container, id));
  return object;
}

// Links read as the name of what they point at, null when it is gone.
json ValueJson(const Host& host, const Value& value) {
  return std::visit(
      [&](const auto& held) -> json {
        using T = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return nullptr;
        } else if constexpr (std::is_same_v<T, VtVector>) {
          return VectorJson(held);
        } else if constexpr (std::is_same_v<T, std::filesystem::path>) {
          return held.u8string();
        } else if constexpr (std::is_same_v<T, LinkValue>) {
          const VtNode* target = held.node ? host.FindNode(held.node) : nullptr;
          return target ? json(Host::NodeName(target)) : json(nullptr);
        } else if constexpr (std::is_same_v<T, ContainerPtr>) {
          return ContainerJson(host, held.get());
        } else {
          return held;
        }
      },
      value);
}

namespace {

constexpr std::string_view kNucleusSuffix = " nucleus";

std::string TypeName(int32_t type) {
  switch (type) {
    case VT_OBJECT_NULL: return "null";
    case VT_OBJECT_POLYGON: return "polygon";
    case VT_OBJECT_SWEEP: return "sweep";
    case VT_OBJECT_SPLINE: return "spline";
    default: return std::to_string(type);
  }
}


json TagJson(const Host& host, const VtTag& tag) {
  json object = {{"type", tag.type}};
  if (tag.type == VT_TAG_TEXTURE) {
    const VtNode* material = tag.material ? host.FindNode(tag.material) : nullptr;
    object["material"] = material ? json(Host::NodeName(material)) : json(nullptr);
  }
  if (tag.type == VT_TAG_TEXTURE || !tag.parameters.values.empty()) {
    object["params"] = ContainerJson(host, &tag.parameters);
  }
  return object;
}

json NodeJson(const Host& host, const VtNode& node) {
  json object = {{"type", TypeName(node.type)}, {"name", node.name}, {"position", VectorJson(node.position)}};
  if (node.display.set) {
    object["displayColor"] = {
        {"color", VectorJson(node.display.colour)}, {"mode", node.display.mode}, {"xray", node.display.xray}};
  }
  json tags = json::array();
  for (const auto& tag : node.tags) {
    if (tag) tags.push_back(TagJson(host, *tag));
  }
  object["tags"] = std::move(tags);
  object["params"] = ContainerJson(host, &node.parameters);
  if (node.type == VT_OBJECT_POLYGON) {
    if (node.primitive) {
      object["primitive"] = {
          {"type", node.primitive->type}, {"radius", node.primitive->radius}, {"segments", node.primitive->segments}};
    }
    object["pointCount"] = node.mesh.points.size();
    object["polygonCount"] = node.mesh.polygons.size();
  }
  if (node.spline) {
    json points = json::array();
    for (const VtVector& point : node.spline->points) points.push_back(VectorJson(point));
    json tangents = json::array();
    for (const VtTangent& tangent : node.spline->tangents) {
      tangents.push_back(json::array({VectorJson(tangent.left), VectorJson(tangent.right)}));
    }
    object["spline"] = {{"type", node.spline->type}, {"points", std::move(points)}, {"tangents", std::move(tangents)}};
  }
  json children = json::array();
  for (const NodePtr& child : node.children) {
    if (child) children.push_back(NodeJson(host, *child));
  }
  object["children"] = std::move(children);
  return object;
}

bool IsNucleus(const std::string& name) {
  return name.size() >= kNucleusSuffix.size() &&
         std::string_view(name).substr(name.size() - kNucleusSuffix.size()) == kNucleusSuffix;
}

// Atoms and bonds anywhere below node, so a hierarchy that groups them under nulls counts the same.
void Count(const VtNode& node, int64_t* atoms, int64_t* bonds) {
  for (const NodePtr& child : node.children) {
    if (!child) continue;
    if (child->type == VT_OBJECT_POLYGON && !IsNucleus(child->name)) ++*atoms;
    if (child->type == VT_OBJECT_SWEEP) ++*bonds;
    Count(*child, atoms, bonds);
  }
}

}  // namespace

bool FindNonFinite(const json& document, std::string* pointer) {
  if (document.is_number_float()) return !std::isfinite(document.get<double>());
  const size_t length = pointer->size();
  if (document.is_array()) {
    for (size_t i = 0; i < document.size(); ++i) {
      pointer->append("/" + std::to_string(i));
      if (FindNonFinite(document[i], pointer)) return true;
      pointer->resize(length);
    }
  } else if (document.is_object()) {
    for (const auto& [key, value] : document.items()) {
      pointer->append("/" + key);
      if (FindNonFinite(value, pointer)) return true;
      pointer->resize(length);
    }
  }
  return false;
}

json HierarchyJson(const Host& host, const VtNode* root) { return root ? NodeJson(host, *root) : json(nullptr); }

json Report(const Host& host, const VtNode* object) {
  const VtNode* root = Host::Hierarchy(object);
  int64_t atoms = 0, bonds = 0;
  if (root) Count(*root, &atoms, &bonds);
  json messages = json::array();
  json console = json::array();
  for (const Event& event : host.Events()) {
    (event.kind == Event::Kind::Console ? console : messages).push_back(event.text);
  }
  return {{"name", object ? json(Host::NodeName(object)) : json(nullptr)},
          {"atoms", atoms},
          {"bonds", bonds},
          {"messages", std::move(messages)},
          {"console", std::move(console)},
          {"hierarchy", HierarchyJson(host, root)}};
}

}  // namespace vthost

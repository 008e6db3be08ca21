// A plain model as one crate layer (usdcrate.h): the stage the USDA text layer describes, prim for prim
// and value for value (usdwrite.cpp), with its shapes in a class of the same layer that the
// instances reference, so the package that holds it needs no other file.
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/numbers.h"
#include "export/usd.h"
#include "export/usdcrate.h"

namespace vthost {
namespace {

using Item = CrateLayer::Item;
using Text = CrateLayer::Text;

// A number as the text layer writes it: as a float, minus zero as zero.
float Float(double value) { return static_cast<float>(value) + 0.0f; }

// USD's t runs up the texture, glTF's v down it.
std::vector<float> St(const std::vector<float>& uvs) {
  std::vector<float> st = uvs;
  for (size_t i = 1; i < st.size(); i += 2) st[i] = 1.0f - st[i];
  return st;
}

class CrateStageWriter {
 public:
  explicit CrateStageWriter(const PlainModel& model) : model_(model) {}

  CrateBytes Bytes() {
    layer_.Reserve(LayerBytes(), kItemsPerNode * model_.nodes.size(), kFieldsPerNode * model_.nodes.size());
    UsdSiblings top;
    const ModelNode& root = model_.nodes[model_.root];
    const std::string rootName = top.Take(root.name);
    const std::string shapesName = top.Take("Shapes");
    layer_.SetToken(CrateLayer::kPseudoRoot, "defaultPrim", rootName);
    layer_.SetString(CrateLayer::kPseudoRoot, "documentation", "Written by vantor-host");
    layer_.SetDouble(CrateLayer::kPseudoRoot, "metersPerUnit", 1.0);
    layer_.SetToken(CrateLayer::kPseudoRoot, "upAxis", "Y");

    // the shapes first, so that the instances can name them
    const Item rootPrim = layer_.AddPrim(CrateLayer::kPseudoRoot, rootName, CrateLayer::Specifier::kDef, "Xform");
    const Item shapes = layer_.AddPrim(CrateLayer::kPseudoRoot, shapesName, CrateLayer::Specifier::kClass, "");
    shapeOf_.assign(model_.geometries.size(), kNoShape);
    for (const ModelMesh& mesh : model_.meshes) {
      if (shapeOf_[mesh.geometry] != kNoShape) continue;
      shapeOf_[mesh.geometry] = Shape(shapes, mesh.geometry);  // numbered by the shapes made before it
      ++shapeCount_;
    }

    UsdSiblings rootChildren(root.children.size() + 1);
    for (const int child : root.children) rootChildren.Take(model_.nodes[child].name);
    const std::string looksName = rootChildren.Take("Looks");
    Prim(rootPrim, root, root.name, rootName, true, looksName);
    return layer_.Bytes();
  }

 private:
  // The node's prim, its placement and what is below it; the default prim holds the materials.
  void Prim(Item prim, const ModelNode& node, const std::string& original, const std::string& name, bool root,
            const std::string& looksName = {}) {
    const bool instance = !root && node.mesh >= 0 && node.children.empty();
    if (root) layer_.SetToken(prim, "kind", "component");
    if (name != original) layer_.SetString(prim, displayName_, original);
    Item looks = 0;
    if (root) {
      // the materials go first: the nodes bind them
      looks = layer_.AddPrim(prim, looksName, CrateLayer::Specifier::kDef, "Scope");
      UsdSiblings materials;
      for (const ModelMaterial& material : model_.materials) {
        materials_.push_back(Material(looks, material, materials.Take(material.name)));
      }
    }
    if (instance) Instance(prim, node.mesh);
    Place(prim, node.placement);

    UsdSiblings children(node.children.size());
    if (node.mesh >= 0 && !instance) {
      const Item mesh = layer_.AddPrim(prim, children.Take("mesh"), CrateLayer::Specifier::kDef, xform_);
      Instance(mesh, node.mesh);
    }
    for (const int child : node.children) {
      const ModelNode& next = model_.nodes[child];
      const std::string childName = children.Take(next.name);
      Prim(layer_.AddPrim(prim, childName, CrateLayer::Specifier::kDef, xform_), next, next.name, childName, false);
    }
    if (root) layer_.MoveLast(prim, looks);
  }

  // A prim that is an instance of the mesh's shape, bound to its material.
  void Instance(Item prim, int mesh) {
    const int material = model_.meshes[mesh].material;
    if (material >= 0) layer_.PrependTokens(prim, apiSchemas_, {materialBindingApi_});
    layer_.SetBool(prim, instanceable_, true);
    layer_.PrependInternalReference(prim, shapeOf_[model_.meshes[mesh].geometry]);
    if (material >= 0) {
      layer_.SetExplicitPath(layer_.AddRelationship(prim, materialBinding_), targetPaths_, materials_[material]);
    }
  }

  // A double as a reader of the text layer takes it: the float's shortest digits read as a double,
  // kept by the float's bits, for the places repeat (a bond starts where an atom is). The cache
  // starts right: the bits 0 are 0.0's.
  double Double(double value) {
    const float single = Float(value);
    uint32_t bits = 0;
    std::memcpy(&bits, &single, sizeof bits);
    std::pair<uint32_t, double>& kept = doubles_[(bits ^ (bits >> 15)) % doubles_.size()];
    if (kept.first != bits) kept = {bits, ShortestAsDouble(single)};
    return kept.second;
  }

  void Place(Item prim, const Placement& p) {
    const Vec3& t = p.translation;
    const bool moved = t.x != 0.0 || t.y != 0.0 || t.z != 0.0;
    std::vector<Text>& order = order_;  // kept, so that no node allocates its own
    order.clear();
    if (moved) {
      const Item translate = layer_.AddAttribute(prim, translate_, double3_, false);
      layer_.SetDouble3(translate, default_, {Double(t.x), Double(t.y), Double(t.z)});
      order.push_back(translate_);
    }
    if (p.rotation) {
      const auto& q = *p.rotation;
      const Item orient = layer_.AddAttribute(prim, orient_, quatf_, false);
      layer_.SetQuatf(orient, default_, {Float(q[0]), Float(q[1]), Float(q[2]), Float(q[3])});
      order.push_back(orient_);
    }
    if (p.scale) {
      const Item scale = layer_.AddAttribute(prim, scale_, float3_, false);
      layer_.SetFloat3(scale, default_, {Float(p.scale->x), Float(p.scale->y), Float(p.scale->z)});
      order.push_back(scale_);
    }
    if (order.empty()) return;
    layer_.SetTokenArray(layer_.AddAttribute(prim, xformOpOrder_, tokenArray_, true), default_, order);
  }

  // A placed instance's prim, its binding and its three transform operations and their order, and
  // their fields, with a few to spare.
  static constexpr size_t kItemsPerNode = 6, kFieldsPerNode = 20;

  // About the bytes of the layer: the shapes' arrays, and what a node takes with a placement and
  // a binding, with room to spare (its prim, properties, values, fields, path and tokens: 370 bytes
  // or so); a layer that passes it grows as before.
  size_t LayerBytes() const {
    constexpr size_t kNodeBytes = 512;
    size_t bytes = model_.nodes.size() * kNodeBytes;
    for (const ModelGeometry& geometry : model_.geometries) {
      const Vertices& vertices = *geometry.vertices;
      bytes += sizeof(float) * (vertices.positions.size() + vertices.normals.size() + vertices.uvs.size()) +
               sizeof(uint32_t) * (vertices.indices.size() + vertices.indices.size() / 3);
    }
    return bytes;
  }

  // A UsdPreviewSurface material; answers the item its bindings target.
  Item Material(Item looks, const ModelMaterial& material, const std::string& name) {
    const Item prim = layer_.AddPrim(looks, name, CrateLayer::Specifier::kDef, "Material");
    if (name != material.name) layer_.SetString(prim, "displayName", material.name);
    const Item surface = layer_.AddAttribute(prim, "outputs:surface", "token", false);
    const Item shader = layer_.AddPrim(prim, "Surface", CrateLayer::Specifier::kDef, "Shader");
    layer_.SetToken(layer_.AddAttribute(shader, "info:id", "token", true), "default", "UsdPreviewSurface");
    layer_.SetFloat3(layer_.AddAttribute(shader, "inputs:diffuseColor", "color3f", false), "default",
                     {Float(material.r), Float(material.g), Float(material.b)});
    layer_.SetFloat(layer_.AddAttribute(shader, "inputs:metallic", "float", false), "default", 0.0f);
    layer_.SetFloat(layer_.AddAttribute(shader, "inputs:opacity", "float", false), "default", Float(material.alpha));
    layer_.SetFloat(layer_.AddAttribute(shader, "inputs:roughness", "float", false), "default",
                    Float(material.roughness));
    const Item output = layer_.AddAttribute(shader, "outputs:surface", "token", false);
    layer_.SetExplicitPath(surface, "connectionPaths", output);
    return prim;
  }

  // The shape of a geometry: an Xform holding its mesh, in the class of shapes.
  Item Shape(Item shapes, int geometryIndex) {
    const ModelGeometry& geometry = model_.geometries[geometryIndex];
    const Vertices& vertices = *geometry.vertices;
    const Item shape = layer_.AddPrim(shapes, "shape_" + std::to_string(shapeCount_),
                                      CrateLayer::Specifier::kDef, "Xform");
    const Item mesh = layer_.AddPrim(shape, "mesh", CrateLayer::Specifier::kDef, "Mesh");
    std::vector<float> extent(geometry.min.begin(), geometry.min.end());
    extent.insert(extent.end(), geometry.max.begin(), geometry.max.end());
    layer_.SetFloatTuples(layer_.AddAttribute(mesh, "extent", "float3[]", false), "default", 3, extent);
    layer_.SetIntArray(layer_.AddAttribute(mesh, "faceVertexCounts", "int[]", false), "default",
                       std::vector<uint32_t>(vertices.indices.size() / 3, 3));
    layer_.SetIntArray(layer_.AddAttribute(mesh, "faceVertexIndices", "int[]", false), "default", vertices.indices);
    const Item normals = layer_.AddAttribute(mesh, "normals", "normal3f[]", false);
    layer_.SetFloatTuples(normals, "default", 3, vertices.normals);
    layer_.SetToken(normals, "interpolation", "vertex");
    layer_.SetFloatTuples(layer_.AddAttribute(mesh, "points", "point3f[]", false), "default", 3, vertices.positions);
    const Item st = layer_.AddAttribute(mesh, "primvars:st", "texCoord2f[]", false);
    layer_.SetFloatTuples(st, "default", 2, St(vertices.uvs));
    layer_.SetToken(st, "interpolation", "vertex");
    layer_.SetToken(layer_.AddAttribute(mesh, "subdivisionScheme", "token", true), "default", "none");
    return shape;
  }

  const PlainModel& model_;
  CrateLayer layer_;
  static constexpr Item kNoShape = ~Item{0};
  std::vector<Item> shapeOf_;  // by the geometry, kNoShape for one no mesh holds
  size_t shapeCount_ = 0;
  std::vector<Item> materials_;            // of each material of the model
  std::vector<Text> order_;                // a prim's transform operations, made again for each
  std::array<std::pair<uint32_t, double>, 4096> doubles_{};  // Double's, by the float's bits
  // the tokens of every node, each looked up once
  const Text xform_ = layer_.Name("Xform"), default_ = layer_.Name("default"),
             displayName_ = layer_.Name("displayName"), apiSchemas_ = layer_.Name("apiSchemas"),
             materialBindingApi_ = layer_.Name("MaterialBindingAPI"), instanceable_ = layer_.Name("instanceable"),
             materialBinding_ = layer_.Name("material:binding"), targetPaths_ = layer_.Name("targetPaths"),
             translate_ = layer_.Name("xformOp:translate"), double3_ = layer_.Name("double3"),
             orient_ = layer_.Name("xformOp:orient"), quatf_ = layer_.Name("quatf"),
             scale_ = layer_.Name("xformOp:scale"), float3_ = layer_.Name("float3"),
             xformOpOrder_ = layer_.Name("xformOpOrder"), tokenArray_ = layer_.Name("token[]");
};

}  // namespace

CrateBytes UsdcLayer(const PlainModel& model) { return CrateStageWriter(model).Bytes(); }

}  // namespace vthost

#include "sample_hierarchy.h"

#include "scene/meshes.h"

namespace vthost {
namespace {

std::unique_ptr<VtTag> Tag(int32_t type) {
  auto tag = std::make_unique<VtTag>();
  tag->type = type;
  return tag;
}

}  // namespace

SplineData Spline(int32_t type, std::vector<VtVector> points, std::vector<VtTangent> tangents) {
  SplineData spline;
  spline.type = type;
  spline.points.assign(points.begin(), points.end());
  spline.tangents.assign(tangents.begin(), tangents.end());
  spline.hasTangents = !spline.tangents.empty();
  return spline;
}

SplineData Circle(double r, double factor) {
  const double t = factor * r;
  return Spline(VT_SPLINE_BEZIER, {{r, 0, 0}, {0, r, 0}, {-r, 0, 0}, {0, -r, 0}},
                {{{0, -t, 0}, {0, t, 0}}, {{t, 0, 0}, {-t, 0, 0}}, {{0, t, 0}, {0, -t, 0}}, {{-t, 0, 0}, {t, 0, 0}}});
}

NodePtr SplineNode(SplineData spline, const std::string& name) {
  NodePtr node = OwnNode(new VtNode());
  node->type = VT_OBJECT_SPLINE;
  node->name = name;
  node->spline = std::move(spline);
  return node;
}

NodePtr Null(const std::string& name) {
  NodePtr node = OwnNode(new VtNode());
  node->type = VT_OBJECT_NULL;
  node->name = name;
  return node;
}

void Adopt(VtNode* parent, NodePtr child) {
  child->parent = parent;
  parent->children.push_back(std::move(child));
}

NodePtr MakeSphere(const std::string& name, double radius, int32_t segments, const VtVector& position) {
  NodePtr node = OwnNode(new VtNode());
  node->type = VT_OBJECT_POLYGON;
  node->name = name;
  node->position = position;
  node->primitive = PrimitiveInfo{VT_PRIMITIVE_SPHERE, radius, segments};
  node->mesh = std::make_shared<const Mesh>(SphereMesh(radius, segments));
  node->tags.push_back(Tag(VT_TAG_PHONG));
  return node;
}

NodePtr MakeBond(const VtVector& start, const VtVector& end, double radius) {
  NodePtr bond = OwnNode(new VtNode());
  bond->type = VT_OBJECT_SWEEP;
  bond->name = "Sweep";
  bond->parameters.values = {{2999, int32_t{1}}, {3000, int32_t{1}}};
  bond->display = DisplayColour{true, {1.0, 1.0, 1.0}, 1, false};
  bond->tags.push_back(Tag(VT_TAG_PHONG));
  NodePtr profile = SplineNode(Circle(radius), "Profile");
  profile->parameters.values = {{1001, int32_t{2}}, {1002, true}, {1003, int32_t{2}}};
  return With(std::move(bond), std::move(profile), SplineNode(Spline(VT_SPLINE_LINEAR, {start, end}), "Path"));
}

SampleHierarchy MakeSampleHierarchy(Host& host, VtDocument* document) {
  SampleHierarchy sample;
  sample.material = host.CreateMaterial(document, "Red", {0.9, 0.1, 0.1});

  NodePtr nucleus = MakeSphere("C nucleus", 10.0, 8, {100.0, 0.0, 50.0});
  nucleus->display = DisplayColour{true, {0.5, 0.5, 0.5}, 1, false};

  NodePtr carbon = MakeSphere("C", 100.0, 8, {100.0, 0.0, 50.0});
  auto texture = Tag(VT_TAG_TEXTURE);
  texture->material = sample.material->serial;
  texture->parameters.values = {{1000, 0.25}, {1001, 0.5}, {1004, int32_t{3}}, {1014, 2.0}, {1015, 3.0}};
  carbon->tags.insert(carbon->tags.begin(), std::move(texture));
  carbon->display = DisplayColour{true, {0.2, 0.2, 0.2}, 1, true};

  NodePtr oxygen = MakeSphere("O", 100.0, 8, {-100.0, 0.0, -50.0});
  oxygen->display = DisplayColour{true, {1.0, 0.0, 0.0}, 1, false};

  NodePtr bond = MakeBond({100.0, 0.0, 50.0}, {-100.0, 0.0, -50.0}, 5.0);
  bond->name = "Bond";
  sample.root = With(Null("Molecule"), std::move(nucleus), std::move(carbon), std::move(oxygen), std::move(bond));
  return sample;
}

}  // namespace vthost

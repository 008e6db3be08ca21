// A small generated hierarchy built by hand, as a molecule object would leave it: a null holding a
// carbon nucleus, a carbon sphere with a texture tag, an oxygen sphere and a bond between the two;
// and the objects such hierarchies are built of.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "scene/model.h"

namespace vthost {

struct SampleHierarchy {
  VtNode* material = nullptr;  // "Red", in the document
  NodePtr root{nullptr, nullptr};
};

// The material is made in document; root owns the rest.
SampleHierarchy MakeSampleHierarchy(Host& host, VtDocument* document);

// A bare sphere object of the host's sphere primitive.
NodePtr MakeSphere(const std::string& name, double radius, int32_t segments, const VtVector& position);

// A bond as the molecule object builds it: a capped sweep with a white display colour, a circular
// profile of the radius (12 points around) and a straight path from start to end.
NodePtr MakeBond(const VtVector& start, const VtVector& end, double radius);

// Spline data of the points, with the tangents of a Bezier spline.
SplineData Spline(int32_t type, std::vector<VtVector> points, std::vector<VtTangent> tangents = {});

// The bond profile: a circle of radius r through four points, with tangents of factor r.
SplineData Circle(double r, double factor = 0.415);

// A spline object of the data.
NodePtr SplineNode(SplineData spline, const std::string& name = "");

// A null object of that name.
NodePtr Null(const std::string& name);

// child appended to parent's children.
void Adopt(VtNode* parent, NodePtr child);

// parent with the children appended to its own, in order.
template <typename... Children>
NodePtr With(NodePtr parent, Children... children) {
  (Adopt(parent.get(), std::move(children)), ...);
  return parent;
}

}  // namespace vthost

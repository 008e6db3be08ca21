// A small generated hierarchy built by hand, as a molecule object would leave it: a null holding a
// carbon nucleus, a carbon sphere with a texture tag, an oxygen sphere and a bond between the two.
#pragma once

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

// child appended to parent's children.
void Adopt(VtNode* parent, NodePtr child);

}  // namespace vthost

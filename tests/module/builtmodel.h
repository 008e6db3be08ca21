// A molecule object loaded from a molblock and built by the host's evaluation, with what the
// tests of the hierarchy (modelbuilder_test.cpp) and of its looks (materialrows_test.cpp) ask of it.
#pragma once

#include <string>
#include <vector>

#include "startedmodule.h"

namespace vantor {

// Three atoms in a row along x (C, O, S) joined by a double and a triple bond, plus two hydrogens.
inline const char* const kChain = R"(chain
  Vantor

  5  4  0  0  0  0  0  0  0  0999 V2000
    0.0000    0.0000    0.0000 C   0  0  0  0  0  0  0  0  0  0  0  0
    1.0000    0.0000    0.0000 O   0  0  0  0  0  0  0  0  0  0  0  0
    3.0000    0.0000    0.0000 S   0  0  0  0  0  0  0  0  0  0  0  0
   -1.0000    1.0000    0.0000 H   0  0  0  0  0  0  0  0  0  0  0  0
   -1.0000   -1.0000    0.0000 N   0  0  0  0  0  0  0  0  0  0  0  0
  1  2  2  0  0  0  0
  2  3  3  0  0  0  0
  1  4  1  0  0  0  0
  1  5  4  0  0  0  0
M  END
)";

class BuiltModel : public StartedModule {
 protected:
  const VtNode* Build(VtNode* node) {
    host_.Evaluate(document_);
    return vthost::Hierarchy(node);
  }
  static std::vector<std::string> ChildNames(const VtNode* root) {
    return Each(root->children,
                [](const auto& child) { return child->type == VT_OBJECT_SWEEP ? std::string("bond") : child->name; });
  }
  static const VtNode* Child(const VtNode* root, const std::string& name) {
    for (const auto& child : root->children) {
      if (child->name == name) return child.get();
    }
    return nullptr;
  }
  static std::vector<const VtNode*> Sweeps(const VtNode* root) {
    std::vector<const VtNode*> sweeps;
    for (const auto& child : root->children) {
      if (child->type == VT_OBJECT_SWEEP) sweeps.push_back(child.get());
    }
    return sweeps;
  }
  static double ProfileRadius(const VtNode* sweep) { return sweep->children.at(0)->spline->points.at(0).x; }
  void Set(VtNode* node, int32_t id, const vthost::Value& value) { host_.SetParameter(node, id, value); }
  void TearDown() override {
    EXPECT_EQ(host_.Loose().Count(), 0u);  // everything made was inserted, returned or freed
    StartedModule::TearDown();
  }
};

}  // namespace vantor

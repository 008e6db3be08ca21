// The molecule object: the generator type the module registers. It owns its element table, the
// molecule last read, the colour presets, the material rows of the last build, the row count and
// a mirror of every parameter value.
#pragma once

#include <cstdint>

#include "colourpresets.h"
#include "host/hostgenerator.h"
#include "elementtable.h"
#include "host/hostcontainer.h"
#include "host/hostnode.h"
#include "materialrows.h"
#include "molecule.h"
#include "host/objectdata.h"

namespace vantor {

constexpr int32_t kMoleculeObjectId = 1060013;

class MoleculeObject : public ObjectData {
 public:
  bool Initialise(VtNode* node) override;
  void Free(VtNode* node) override;
  bool Read(VtNode* node, VtStream* stream, int32_t level) override;
  bool Write(VtNode* node, VtStream* stream) override;
  bool CopyTo(ObjectData& destination, VtNode* sourceNode, VtNode* destinationNode) override;
  bool Message(VtNode* node, int32_t type, void* data) override;
  bool Describe(VtNode* node, VtDescription* description, int32_t* flags) override;
  bool IsEnabled(VtNode* node, int32_t id) override;
  bool AddToExecution(VtNode* node, VtExecList* list) override;
  int32_t Execute(VtNode* node, VtDocument* document) override;
  VtNode* BuildHierarchy(VtNode* node, VtBuildContext* context) override;

  const Molecule& GetMolecule() const { return molecule_; }
  const ElementTable& Elements() const { return elements_; }
  const ColourPresetList& Presets() const { return presets_; }
  int32_t RowCount() const { return rowCount_; }

  // The mirrored values into the container, and back.
  void PushParameters(Container& parameters);
  void PullParameters(const Container& parameters);
  // The material rows of the description (moleculedescription.cpp).
  bool BuildDescription(Node node, VtDescription* description, int32_t* flags);

  // The ball-and-stick hierarchy, or the host's cache while nothing changed (modelbuilder.cpp).
  VtNode* BuildModel(Node node, const BuildContext& context);
  // The material rows in the object's container, collected for one build (materialrows.cpp).
  int32_t CollectMaterialRows(const Container& parameters, VtDocument* document);

 private:
  void OnCommand(Node node, Container& parameters, int32_t id);
  void OnParameterSet(Node node, Container& parameters, int32_t id);
  // The selected preset back to its default colours, shown in the preset colour parameters.
  void RestorePreset(Container& parameters);
  void AddRow(Node node, Container& parameters);
  void RemoveRow(Node node, Container& parameters);
  // The selected preset, or null when the list does not hold it.
  ColourPreset* SelectedPreset();

  // Parts of a build (modelbuilder.cpp).
  Node BuildAtom(int32_t atomIndex, const BuildContext& context, Node* nucleus);
  Node BuildNucleus(const BuildContext& context, int32_t atomIndex);
  Node BuildBond(int32_t atom1, int32_t atom2, const Vector& centre, int32_t order);
  Node BuildBondProfile(double radius);
  Vector ScenePosition(const Atom& atom, const Vector& centre) const;
  // Appearance of what a build makes (materialrows.cpp).
  const MaterialRow* FindRow(int64_t key) const;
  void ApplyAtomAppearance(Node sphere, const Atom& atom);
  void ApplyNucleusAppearance(Node nucleus);
  void ApplyBondAppearance(Node sweep, int32_t order);
  // Every mirrored parameter: its id, its member and its default, in the order the container
  // receives them.
  struct Mirror;
  static const Mirror& Mirrored();

  ElementTable elements_;
  Molecule molecule_;
  ColourPresetList presets_;
  HostArray<MaterialRow> materialRows_;
  int32_t rowCount_ = 0;
  // mirrored parameters, in the order PushParameters writes them
  int32_t displayMode_ = 0;
  int32_t radiusMode_ = 0;
  int32_t colorMode_ = 0;
  int32_t preset_ = 0;
  int32_t segments_ = 0;
  int32_t bondSubdivisions_ = 0;
  int32_t bondCaps_ = 0;
  double atomRadius_ = 0.0;
  double radiusScale_ = 0.0;
  double positionScale_ = 0.0;
  double bondRadius_ = 0.0;
  double doubleBondFactor_ = 0.0;
  double tripleBondFactor_ = 0.0;
  double nucleusFactor_ = 0.0;
  bool xray_ = false;
  bool showNucleus_ = false;
  bool showHydrogens_ = false;
  Vector bond1Color_, bond2Color_, bond3Color_, bond4Color_, nucleusColor_;
};

}  // namespace vantor

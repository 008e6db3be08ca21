// The molecule object: the generator type the module registers. It owns its element table, the
// molecule last read, the colour presets, the material rows of the last build, the row count and
// a mirror of the parameter values a build reads.
#pragma once

#include <cstdint>

#include "colourpresets.h"
#include "elementtable.h"
#include "hostapi/hostcontainer.h"
#include "hostapi/hostnode.h"
#include "hostapi/objectdata.h"
#include "materialrows.h"
#include "modelbuilder.h"
#include "moleculemodel.h"

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

 private:
  void OnCommand(Node node, Container& parameters, int32_t id);
  void OnParameterSet(Node node, Container& parameters, int32_t id);
  // The selected preset back to its default colours, shown in the preset colour parameters.
  void RestorePreset(Container& parameters);
  void AddRow(Node node, Container& parameters);
  void RemoveRow(Node node, Container& parameters);
  // The selected preset, or null when the list does not hold it.
  ColourPreset* SelectedPreset();

  ElementTable elements_;
  Molecule molecule_;
  ColourPresetList presets_;
  HostArray<MaterialRow> materialRows_;
  int32_t rowCount_ = 0;
  ModelSettings settings_;  // the defaults at creation, then the container's values at each evaluation
};

}  // namespace vantor

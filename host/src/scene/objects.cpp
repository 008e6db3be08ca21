// Documents and what they hold: objects of registered types and materials, made, copied and edited.
#include <algorithm>

#include "scene/model.h"

namespace vthost {
namespace {

void DeleteDocumentObject(VtDocument* document) { delete document; }

}  // namespace

bool Deliver(VtNode* node, int32_t type, void* data) {
  if (!HasModuleData(node) || node->module.operations->Message == nullptr) return true;
  EnterModuleOf(node);
  return node->module.operations->Message(node->module.data, node, type, data) != 0;
}

bool Host::SendMessage(VtNode* node, int32_t type, void* data) {
  if (node == nullptr) return false;
  RecordEvent(node, {NodeEvent::Kind::Message, type, {}});
  return Deliver(node, type, data);
}

VtDocument* Host::NewDocument() {
  documents_.push_back(std::unique_ptr<VtDocument, void (*)(VtDocument*)>(new VtDocument(), DeleteDocumentObject));
  return documents_.back().get();
}

void Host::CloseDocument(VtDocument* document) {
  if (document == nullptr) return;
  const std::vector<VtNode*> held = document->nodes;
  for (VtNode* node : held) DeleteNode(node);
  documents_.erase(std::remove_if(documents_.begin(), documents_.end(),
                                  [document](const auto& owned) { return owned.get() == document; }),
                   documents_.end());
  spheres_.Sweep();
}

std::vector<VtNode*> Host::Nodes(const VtDocument* document) const {
  return document ? document->nodes : std::vector<VtNode*>();
}

VtNode* Host::FindByName(const VtDocument* document, const std::string& name) const {
  if (document == nullptr) return nullptr;
  for (VtNode* node : document->nodes) {
    if (node->name == name) return node;
  }
  return nullptr;
}

VtNode* Host::CreateObject(VtDocument* document, int32_t typeId, const std::string& name) {
  const ObjectType* type = types_.Find(typeId);
  if (type == nullptr) return nullptr;
  VtNode* node = NewNode(name.empty() ? type->name : name);
  node->type = typeId;
  node->document = document;
  if (document) document->nodes.push_back(node);
  EnterModuleOf(node);
  const VtObjectClass& operations = *type->operations;
  node->module.operations = &operations;
  node->module.data = operations.Allocate();
  if (node->module.data == nullptr ||
      (operations.Initialise && !operations.Initialise(node->module.data, node))) {
    DeleteNode(node);
    return nullptr;
  }
  return node;
}

VtNode* Host::CreateMaterial(VtDocument* document, const std::string& name, const VtVector& colour) {
  VtNode* node = NewNode(name);
  node->type = VT_OBJECT_MATERIAL;
  node->colour = colour;
  node->document = document;
  if (document) document->nodes.push_back(node);
  return node;
}

VtNode* Host::Duplicate(VtNode* node, const std::string& name) {
  if (!HasModuleData(node)) return nullptr;
  VtNode* copy = CreateObject(node->document, node->type, name);
  if (copy == nullptr) return nullptr;
  VtContainer* parameters = CopyContainer(node->parameters);
  if (parameters == nullptr) {
    DeleteNode(copy);
    return nullptr;
  }
  copy->parameters = std::move(*parameters);
  delete parameters;
  for (const auto& track : node->tracks) AddTrack(copy, track->id);
  EnterModuleOf(node);
  const VtObjectClass& operations = *node->module.operations;
  if (operations.Copy && !operations.Copy(node->module.data, copy->module.data, node, copy)) {
    DeleteNode(copy);
    return nullptr;
  }
  return copy;
}

bool Host::SetParameter(VtNode* node, int32_t id, const Value& value) {
  if (node == nullptr) return false;
  node->parameters.values[id] = value;
  node->generator.parametersChanged = true;
  VtDescriptionId described{id, 0, 0};
  return Deliver(node, VT_MSG_PARAMETER_SET, &described);
}

bool Host::Press(VtNode* node, int32_t id) {
  VtDescriptionId described{id, VT_DATATYPE_BUTTON, 0};
  return node != nullptr && Deliver(node, VT_MSG_COMMAND, &described);
}

}  // namespace vthost

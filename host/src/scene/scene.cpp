// Documents, objects of registered types and materials, user edits, duplication and evaluation.
#include <algorithm>

#include "scene/model.h"

namespace vthost {
namespace {

void DeleteDocumentObject(VtDocument* document) { delete document; }

}  // namespace

bool Deliver(VtNode* node, int32_t type, void* data) {
  if (node == nullptr || node->data == nullptr || node->operations->Message == nullptr) return true;
  EnterModuleOf(node);
  return node->operations->Message(node->data, node, type, data) != 0;
}

bool Host::SendMessage(VtNode* node, int32_t type, void* data) {
  if (node == nullptr) return false;
  node->events.push_back({NodeEvent::Kind::Message, type, {}});
  const bool answer = Deliver(node, type, data);
  // the attribute editor shows the object again, so its description is built again
  if (type == VT_MSG_DESCRIPTION_CHANGED && node->data != nullptr) ShownDescription(node);
  return answer;
}

void Host::SetHasParameters(VtNode* node, bool has) {
  if (node) node->hasParameters = has;
}

int32_t Host::LastExecuteResult(const VtNode* node) { return node ? node->lastExecuteResult : 0; }

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
  const ObjectType* type = FindObjectType(typeId);
  if (type == nullptr) return nullptr;
  VtNode* node = NewNode(name.empty() ? type->name : name);
  node->type = typeId;
  node->operations = type->operations;
  node->document = document;
  if (document) document->nodes.push_back(node);
  EnterModuleOf(node);
  node->data = node->operations->Allocate();
  if (node->data == nullptr || (node->operations->Initialise && !node->operations->Initialise(node->data, node))) {
    DeleteNode(node);
    return nullptr;
  }
  return node;
}

VtNode* Host::CreateMaterial(VtDocument* document, const std::string& name, const VtVector& colour) {
  VtNode* node = NewNode(name);
  node->type = kMaterialType;
  node->colour = colour;
  node->document = document;
  if (document) document->nodes.push_back(node);
  return node;
}

VtNode* Host::Duplicate(VtNode* node, const std::string& name) {
  if (node == nullptr || node->data == nullptr) return nullptr;
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
  if (node->operations->Copy && !node->operations->Copy(node->data, copy->data, node, copy)) {
    DeleteNode(copy);
    return nullptr;
  }
  return copy;
}

bool Host::SetParameter(VtNode* node, int32_t id, const Value& value) {
  if (node == nullptr) return false;
  node->parameters.values[id] = value;
  node->parametersSinceBuild = true;
  VtDescriptionId described{id, 0, 0};
  return Deliver(node, VT_MSG_PARAMETER_SET, &described);
}

bool Host::Press(VtNode* node, int32_t id) {
  VtDescriptionId described{id, VT_DATATYPE_BUTTON, 0};
  return node != nullptr && Deliver(node, VT_MSG_COMMAND, &described);
}

void Host::Evaluate(VtDocument* document) {
  if (document == nullptr) return;
  VtExecList list;
  for (VtNode* node : document->nodes) {
    if (node->data == nullptr || node->operations->AddToExecution == nullptr) continue;
    EnterModuleOf(node);
    node->operations->AddToExecution(node->data, node, &list);
  }
  std::stable_sort(list.entries.begin(), list.entries.end(),
                   [](const VtExecList::Entry& a, const VtExecList::Entry& b) { return a.priority < b.priority; });
  for (const VtExecList::Entry& entry : list.entries) {
    VtNode* node = entry.node;
    if (node->data == nullptr || node->operations->Execute == nullptr) continue;
    EnterModuleOf(node);
    node->lastExecuteResult = node->operations->Execute(node->data, node, document);
  }
  BuildHierarchies(document);
}

}  // namespace vthost

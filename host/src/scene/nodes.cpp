// The host's nodes: made, found and freed, with their tracks, and what the host holds of each.
#include <algorithm>

#include "scene/model.h"

namespace vthost {
namespace {

void DeleteNodeObject(VtNode* node) { delete node; }

}  // namespace

void EnterModuleOf(const VtNode* node) {
  TypeRegistry& types = CurrentHost().Types();
  if (const ObjectType* type = types.Find(node->type)) types.SetModuleFolder(type->moduleFolder);
}

VtNode* Host::NewNode(const std::string& name) {
  auto node = std::unique_ptr<VtNode, void (*)(VtNode*)>(new VtNode(), DeleteNodeObject);
  node->serial = nextSerial_++;
  node->name = name;
  nodes_.push_back(std::move(node));
  return nodes_.back().get();
}

void Host::DeleteNode(VtNode* node) {
  if (node == nullptr) return;
  if (HasModuleData(node)) {
    EnterModuleOf(node);
    if (node->module.operations->Free) node->module.operations->Free(node->module.data, node);
    node->module.operations->Destroy(node->module.data);
    node->module.data = nullptr;
  }
  if (VtDocument* document = node->document) {
    auto& held = document->nodes;
    held.erase(std::remove(held.begin(), held.end(), node), held.end());
  }
  nodes_.erase(std::remove_if(nodes_.begin(), nodes_.end(), [node](const auto& owned) { return owned.get() == node; }),
               nodes_.end());
}

VtNode* Host::FindNode(uint64_t serial) const {
  for (const auto& node : nodes_) {
    if (node->serial == serial) return node.get();
  }
  return nullptr;
}

void Host::ForgetModule(const std::filesystem::path& moduleFolder) {
  // the objects are freed while their types still lead to the module
  std::vector<VtNode*> doomed;
  for (const auto& node : nodes_) {
    const ObjectType* type = types_.Find(node->type);
    if (type != nullptr && type->moduleFolder == moduleFolder) doomed.push_back(node.get());
  }
  for (VtNode* node : doomed) DeleteNode(node);
  types_.Forget(moduleFolder);
}

bool Host::AddTrack(VtNode* node, int32_t id) {
  if (node == nullptr || HasTrack(node, id)) return false;
  node->tracks.push_back(std::make_unique<VtTrack>(VtTrack{node, id}));
  if (!node->trackById) node->trackById = std::make_unique<std::unordered_map<int32_t, VtTrack*>>();
  (*node->trackById)[id] = node->tracks.back().get();
  return true;
}

std::string NodeName(const VtNode* node) { return node ? node->name : std::string(); }

VtContainer* NodeParameters(VtNode* node) { return node ? &node->parameters : nullptr; }

std::vector<NodeEvent> NodeEvents(const VtNode* node) {
  if (node == nullptr) return {};
  return {node->events.begin(), node->events.end()};
}

int32_t NodeType(const VtNode* node) { return node ? node->type : 0; }

bool HasTrack(const VtNode* node, int32_t id) {
  return node != nullptr && node->trackById && node->trackById->count(id) > 0;
}

void SetHasParameters(VtNode* node, bool has) {
  if (node) node->hasParameters = has;
}

int32_t LastExecuteResult(const VtNode* node) { return node ? node->module.lastExecuteResult : 0; }

}  // namespace vthost

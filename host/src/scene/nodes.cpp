// The host's nodes: made, found, named and freed, with their tracks, and the module folder each
// belongs to.
#include <algorithm>

#include "scene/model.h"

namespace vthost {
namespace {

void DeleteNodeObject(VtNode* node) { delete node; }

}  // namespace

void EnterModuleOf(const VtNode* node) {
  Host& host = CurrentHost();
  if (const ObjectType* type = host.FindObjectType(node->type)) host.SetModuleFolder(type->moduleFolder);
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
  if (node->data != nullptr) {
    EnterModuleOf(node);
    if (node->operations->Free) node->operations->Free(node->data, node);
    node->operations->Destroy(node->data);
    node->data = nullptr;
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

std::string Host::NodeName(const VtNode* node) { return node ? node->name : std::string(); }

VtContainer* Host::NodeParameters(VtNode* node) { return node ? &node->parameters : nullptr; }

const std::vector<NodeEvent>& Host::NodeEvents(const VtNode* node) {
  static const std::vector<NodeEvent> kNone;
  return node ? node->events : kNone;
}

int32_t Host::NodeType(const VtNode* node) { return node ? node->type : 0; }

bool Host::AddTrack(VtNode* node, int32_t id) {
  if (node == nullptr || HasTrack(node, id)) return false;
  node->tracks.push_back(std::make_unique<VtTrack>(VtTrack{node, id}));
  return true;
}

bool Host::HasTrack(const VtNode* node, int32_t id) {
  return node != nullptr && std::any_of(node->tracks.begin(), node->tracks.end(),
                                        [id](const auto& track) { return track->id == id; });
}

void Host::ForgetModule(const std::filesystem::path& moduleFolder) {
  std::vector<int32_t> types;
  for (const ObjectType& type : objectTypes_) {
    if (type.moduleFolder == moduleFolder) types.push_back(type.id);
  }
  std::vector<VtNode*> doomed;
  for (const auto& node : nodes_) {
    if (std::find(types.begin(), types.end(), node->type) != types.end()) doomed.push_back(node.get());
  }
  for (VtNode* node : doomed) DeleteNode(node);
  objectTypes_.erase(std::remove_if(objectTypes_.begin(), objectTypes_.end(),
                                    [&](const ObjectType& type) { return type.moduleFolder == moduleFolder; }),
                     objectTypes_.end());
  for (const int32_t id : types) descriptions_.erase(id);
}

}  // namespace vthost

// The Nd table and the host's bare nodes: names, parameters, and a record of dirty marks and messages.
#include <algorithm>

#include "values.h"

namespace vthost {
namespace {

void DeleteNodeObject(VtNode* node) { delete node; }

VtContainer* Container(VtNode* node) { return node ? &node->parameters : nullptr; }

VtString* GetName(const VtNode* node) { return NewString(node ? node->name : std::string()); }

void SetName(VtNode* node, const VtString* name, VtBool markChanged) {
  if (node == nullptr) return;
  node->name = TextOf(name);
  node->events.push_back({NodeEvent::Kind::Renamed, markChanged ? 1 : 0, node->name});
}

void SetDirty(VtNode* node, int32_t flags) {
  if (node != nullptr) node->events.push_back({NodeEvent::Kind::Dirty, flags, {}});
}

VtBool SendMessage(VtNode* node, int32_t type, void* /*messageData*/) {
  if (node == nullptr) return 0;
  node->events.push_back({NodeEvent::Kind::Message, type, {}});
  return 1;
}

}  // namespace

const VtNdTable kNdTable = {Container, GetName, SetName, SetDirty, SendMessage};

VtNode* Host::NewNode(const std::string& name) {
  auto node = std::unique_ptr<VtNode, void (*)(VtNode*)>(new VtNode(), DeleteNodeObject);
  node->serial = nextSerial_++;
  node->name = name;
  nodes_.push_back(std::move(node));
  return nodes_.back().get();
}

void Host::DeleteNode(VtNode* node) {
  nodes_.erase(std::remove_if(nodes_.begin(), nodes_.end(), [node](const auto& held) { return held.get() == node; }),
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

}  // namespace vthost

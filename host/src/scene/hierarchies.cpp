// What generators return: the hierarchy the host keeps for each generator object, and the objects
// and tags a module made and has not yet inserted, returned or freed (loose, the host's to free).
#include <set>

#include "scene/model.h"

namespace vthost {
namespace {

std::set<VtNode*> g_looseNodes;
std::set<VtTag*> g_looseTags;

void DeleteNode(VtNode* node) { delete node; }

}  // namespace

NodePtr OwnNode(VtNode* node) { return NodePtr(node, DeleteNode); }

void AddLooseNode(VtNode* node) { g_looseNodes.insert(node); }
bool TakeLooseNode(VtNode* node) { return g_looseNodes.erase(node) > 0; }
void AddLooseTag(VtTag* tag) { g_looseTags.insert(tag); }
bool TakeLooseTag(VtTag* tag) { return g_looseTags.erase(tag) > 0; }

namespace {

// Keeps what the generator returned: its hierarchy replaces the one kept before. Anything but a
// loose object it made (or the kept hierarchy itself) counts as no hierarchy.
void KeepHierarchy(VtNode* object, VtNode* returned) {
  if (returned == object->cache.get()) return;
  object->cache = TakeLooseNode(returned) ? OwnNode(returned) : OwnNode(nullptr);
  object->builtWith = object->cache ? object->parameters : VtContainer{};
}

}  // namespace

void BuildHierarchies(VtDocument* document) {
  const std::vector<VtNode*> nodes = document->nodes;
  for (VtNode* node : nodes) {
    if (node->data == nullptr || node->operations->BuildHierarchy == nullptr) continue;
    VtBuildContext context{document, 1.0, nullptr};
    EnterModuleOf(node);
    VtNode* returned = node->operations->BuildHierarchy(node->data, node, &context);
    ++node->builds;
    KeepHierarchy(node, returned);
    node->dirtySinceBuild = false;
    node->parametersSinceBuild = false;
  }
}

void ReleaseLooseObjects() {
  for (VtNode* node : g_looseNodes) delete node;
  for (VtTag* tag : g_looseTags) delete tag;
  g_looseNodes.clear();
  g_looseTags.clear();
}

const VtNode* Host::Hierarchy(const VtNode* object) { return object ? object->cache.get() : nullptr; }

const VtContainer* Host::HierarchyParameters(const VtNode* object) {
  return object && object->cache ? &object->builtWith : nullptr;
}

int32_t Host::BuildCount(const VtNode* object) { return object ? object->builds : 0; }

size_t Host::LooseObjects() { return g_looseNodes.size() + g_looseTags.size(); }

}  // namespace vthost

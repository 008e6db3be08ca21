// Evaluation: the execution list run by priority, then each generator asked for its hierarchy,
// which the host keeps; and the objects and tags a module made and has not yet inserted, returned
// or freed (loose, the host's to free).
#include <algorithm>
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
  GeneratorCache& cache = object->generator;
  if (returned == cache.hierarchy.get()) return;
  cache.hierarchy = TakeLooseNode(returned) ? OwnNode(returned) : OwnNode(nullptr);
  cache.builtWith = cache.hierarchy ? object->parameters : VtContainer{};
}

}  // namespace

void BuildHierarchies(VtDocument* document) {
  const std::vector<VtNode*> nodes = document->nodes;
  for (VtNode* node : nodes) {
    if (!HasModuleData(node) || node->module.operations->BuildHierarchy == nullptr) continue;
    VtBuildContext context{document, 1.0, nullptr};
    EnterModuleOf(node);
    VtNode* returned = node->module.operations->BuildHierarchy(node->module.data, node, &context);
    ++node->generator.builds;
    KeepHierarchy(node, returned);
    node->generator.dirty = false;
    node->generator.parametersChanged = false;
  }
}

void ReleaseLooseObjects() {
  for (VtNode* node : g_looseNodes) delete node;
  for (VtTag* tag : g_looseTags) delete tag;
  g_looseNodes.clear();
  g_looseTags.clear();
}

void Host::Evaluate(VtDocument* document) {
  if (document == nullptr) return;
  VtExecList list;
  for (VtNode* node : document->nodes) {
    if (!HasModuleData(node) || node->module.operations->AddToExecution == nullptr) continue;
    EnterModuleOf(node);
    node->module.operations->AddToExecution(node->module.data, node, &list);
  }
  std::stable_sort(list.entries.begin(), list.entries.end(),
                   [](const VtExecList::Entry& a, const VtExecList::Entry& b) { return a.priority < b.priority; });
  for (const VtExecList::Entry& entry : list.entries) {
    VtNode* node = entry.node;
    if (!HasModuleData(node) || node->module.operations->Execute == nullptr) continue;
    EnterModuleOf(node);
    node->module.lastExecuteResult = node->module.operations->Execute(node->module.data, node, document);
  }
  BuildHierarchies(document);
}

const VtNode* Hierarchy(const VtNode* object) { return object ? object->generator.hierarchy.get() : nullptr; }

const VtContainer* HierarchyParameters(const VtNode* object) {
  return object && object->generator.hierarchy ? &object->generator.builtWith : nullptr;
}

int32_t BuildCount(const VtNode* object) { return object ? object->generator.builds : 0; }

size_t LooseObjects() { return g_looseNodes.size() + g_looseTags.size(); }

}  // namespace vthost

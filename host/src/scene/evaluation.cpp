// Evaluation: the execution list run by priority, then each generator asked for its hierarchy,
// which the host keeps; and the objects and tags a module made and has not yet inserted, returned
// or freed (loose, the host's to free).
#include <algorithm>

#include "scene/model.h"

namespace vthost {
namespace {

void DeleteNode(VtNode* node) { delete node; }

}  // namespace

NodePtr OwnNode(VtNode* node) { return NodePtr(node, DeleteNode); }

void LooseObjects::Release() {
  for (VtNode* node : nodes_) delete node;
  for (VtTag* tag : tags_) delete tag;
  nodes_.clear();
  tags_.clear();
}

namespace {

template <typename Held>
void AddLoose(std::vector<Held*>& held, Held* item) {
  item->looseSlot = held.size();
  held.push_back(item);
}

// The last one takes the place of the one taken out.
template <typename Held>
bool TakeLoose(std::vector<Held*>& held, Held* item) {
  if (item == nullptr || item->looseSlot >= held.size() || held[item->looseSlot] != item) return false;
  Held* last = held.back();
  last->looseSlot = item->looseSlot;
  held[item->looseSlot] = last;
  held.pop_back();
  item->looseSlot = kNotLoose;
  return true;
}

}  // namespace

void LooseObjects::Add(VtNode* node) { AddLoose(nodes_, node); }
void LooseObjects::Add(VtTag* tag) { AddLoose(tags_, tag); }
bool LooseObjects::Take(VtNode* node) { return TakeLoose(nodes_, node); }
bool LooseObjects::Take(VtTag* tag) { return TakeLoose(tags_, tag); }

namespace {

// Keeps what the generator returned: its hierarchy replaces the one kept before. Anything but a
// loose object it made (or the kept hierarchy itself) counts as no hierarchy.
void KeepHierarchy(LooseObjects& loose, VtNode* object, VtNode* returned) {
  GeneratorCache& cache = object->generator;
  if (returned == cache.hierarchy.get()) return;
  cache.hierarchy = loose.Take(returned) ? OwnNode(returned) : OwnNode(nullptr);
  cache.builtWith = cache.hierarchy ? object->parameters : VtContainer{};
}

// Asks every generator of the document for its hierarchy, and keeps what it returns.
void BuildHierarchies(Host& host, VtDocument* document) {
  const std::vector<VtNode*> nodes = document->nodes;
  for (VtNode* node : nodes) {
    if (!HasModuleData(node) || node->module.operations->BuildHierarchy == nullptr) continue;
    VtBuildContext context{document, 1.0, nullptr};
    EnterModuleOf(node);
    VtNode* returned = node->module.operations->BuildHierarchy(node->module.data, node, &context);
    ++node->generator.builds;
    KeepHierarchy(host.Loose(), node, returned);
    node->generator.dirty = false;
    node->generator.parametersChanged = false;
  }
}

}  // namespace

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
  BuildHierarchies(*this, document);
  spheres_.Sweep();  // the hierarchies replaced took their spheres with them
}

const VtNode* Hierarchy(const VtNode* object) { return object ? object->generator.hierarchy.get() : nullptr; }

const VtContainer* HierarchyParameters(const VtNode* object) {
  return object && object->generator.hierarchy ? &object->generator.builtWith : nullptr;
}

int32_t BuildCount(const VtNode* object) { return object ? object->generator.builds : 0; }

}  // namespace vthost

// The Nd and Tk tables: a node's parameters, name, dirty marks, messages and tracks, each recorded
// on the node. Messages reach the node's object as well.
#include <algorithm>

#include "description/entries.h"
#include "scene/model.h"
#include "tables/tables.h"

namespace vthost {
namespace {

VtContainer* Container(VtNode* node) { return node && node->hasParameters ? &node->parameters : nullptr; }

VtString* GetName(const VtNode* node) { return NewString(node ? node->name : std::string()); }

void SetName(VtNode* node, const VtString* name, VtBool markChanged) {
  if (node == nullptr) return;
  node->name = TextOf(name);
  RecordEvent(node, {NodeEvent::Kind::Renamed, markChanged ? 1 : 0, node->name});
}

void SetDirty(VtNode* node, int32_t flags) {
  if (node == nullptr) return;
  RecordEvent(node, {NodeEvent::Kind::Dirty, flags, {}});
  if (flags & VT_DIRTY_DATA) node->generator.dirty = true;
}

VtBool SendMessage(VtNode* node, int32_t type, void* messageData) {
  if (node == nullptr) return 0;
  Host& host = CurrentHost();
  const bool answer = host.SendMessage(node, type, messageData);
  // the attribute editor shows the object again, so its description is built again
  if (type == VT_MSG_DESCRIPTION_CHANGED && HasModuleData(node)) Describe(host, node);
  return answer ? 1 : 0;
}

VtDocument* Document(VtNode* node) { return node ? node->document : nullptr; }

VtTrack* FindTrack(VtNode* node, int32_t id) {
  if (node == nullptr || !node->trackById) return nullptr;
  const auto found = node->trackById->find(id);
  return found == node->trackById->end() ? nullptr : found->second;
}

void RemoveTrack(VtTrack* track) {
  if (track == nullptr || track->node == nullptr) return;
  if (track->node->trackById) track->node->trackById->erase(track->id);
  auto& tracks = track->node->tracks;
  tracks.erase(std::remove_if(tracks.begin(), tracks.end(), [track](const auto& held) { return held.get() == track; }),
               tracks.end());
}

}  // namespace

const VtNdTable kNdTable = {Container, GetName, SetName, SetDirty, SendMessage, Document};
const VtTkTable kTkTable = {FindTrack, RemoveTrack};

}  // namespace vthost

// Host nodes over the Nd table. A null node ignores every request.
#include "hostapi/hostnode.h"

#include "hostapi/hostbinding.h"

namespace vantor {
namespace {

const VtNdTable& Nd() { return *host::Tables().Nd; }

}  // namespace

Container Node::Parameters() const { return Container::Borrow(handle_ ? Nd().Container(handle_) : nullptr); }

String Node::Name() const { return handle_ ? String::Adopt(Nd().GetName(handle_)) : String(); }

void Node::SetName(const String& name, bool markChanged) {
  if (handle_) Nd().SetName(handle_, name.Handle(), markChanged ? 1 : 0);
}

void Node::SetDirty(int32_t flags) {
  if (handle_) Nd().SetDirty(handle_, flags);
}

bool Node::SendMessage(int32_t type, void* data) { return handle_ && Nd().SendMessage(handle_, type, data) != 0; }

VtDocument* Node::Document() const { return handle_ ? Nd().Document(handle_) : nullptr; }

bool Node::RemoveTrack(int32_t id) {
  const VtTkTable& tk = *host::Tables().Tk;
  VtTrack* track = handle_ ? tk.Find(handle_, id) : nullptr;
  if (track == nullptr) return false;
  tk.Remove(track);
  return true;
}

}  // namespace vantor

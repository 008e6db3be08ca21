// Host nodes (the objects of a scene) as the module sees them: a view, never owned.
#pragma once

#include <cstdint>

#include "hostapi/hostcontainer.h"
#include "hostapi/hoststring.h"
#include "vantor_host.h"

namespace vantor {

class Node {
 public:
  explicit Node(VtNode* handle) : handle_(handle) {}

  bool IsValid() const { return handle_ != nullptr; }
  VtNode* Handle() const { return handle_; }

  // The node's parameters, lent by the host (invalid when the node has none).
  Container Parameters() const;
  String Name() const;
  void SetName(const String& name, bool markChanged);
  void SetDirty(int32_t flags);
  bool SendMessage(int32_t type, void* data = nullptr);
  VtDocument* Document() const;
  // Removes and destroys the animation track of the parameter; false when it has none.
  bool RemoveTrack(int32_t id);

 private:
  VtNode* handle_;
};

}  // namespace vantor

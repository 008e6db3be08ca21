// The stream of the module's own block in a stored document.
#pragma once

#include <cstdint>

#include "hostapi/hostcontainer.h"
#include "vantor_host.h"

namespace vantor {

class DocumentStream {
 public:
  explicit DocumentStream(VtStream* handle) : handle_(handle) {}
  // Reads answer false, with a zero value, past the end of the block.
  bool ReadInt32(int32_t* value);
  bool ReadVector(Vector* value);
  bool WriteInt32(int32_t value);
  bool WriteVector(const Vector& value);

 private:
  VtStream* handle_;
};

}  // namespace vantor

// Document streams over the Hf table.
#include "hostapi/hoststream.h"

#include "hostapi/hostbinding.h"

namespace vantor {
namespace {

const VtHfTable& Hf() { return *host::Tables().Hf; }

}  // namespace

bool DocumentStream::ReadInt32(int32_t* value) { return Hf().ReadInt32(handle_, value) != 0; }

bool DocumentStream::ReadVector(Vector* value) {
  VtVector raw{0.0, 0.0, 0.0};
  const bool read = Hf().ReadVector(handle_, &raw) != 0;
  *value = {raw.x, raw.y, raw.z};
  return read;
}

bool DocumentStream::WriteInt32(int32_t value) { return Hf().WriteInt32(handle_, value) != 0; }

bool DocumentStream::WriteVector(const Vector& value) {
  const VtVector raw{value.x, value.y, value.z};
  return Hf().WriteVector(handle_, &raw) != 0;
}

}  // namespace vantor

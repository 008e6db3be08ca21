// Parameter containers over the Bc table. A missing (invalid) container reads as empty and
// refuses every write.
#include "hostapi/hostcontainer.h"

#include <utility>

#include "hostapi/hostbinding.h"

namespace vantor {
namespace {

const VtBcTable& Bc() { return *host::Tables().Bc; }

}  // namespace

Container Container::Create() { return Container(Bc().New(), /*owned=*/true); }

Container Container::Borrow(VtContainer* handle) { return Container(handle, /*owned=*/false); }

Container Container::Adopt(VtContainer* handle) { return Container(handle, /*owned=*/true); }

Container::Container(Container&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), owned_(std::exchange(other.owned_, false)) {}

Container& Container::operator=(Container&& other) noexcept {
  std::swap(handle_, other.handle_);
  std::swap(owned_, other.owned_);
  return *this;
}

Container::~Container() {
  if (owned_ && handle_) Bc().Free(handle_);
}

int32_t Container::GetInt32(int32_t id, int32_t fallback) const {
  return handle_ ? Bc().GetInt32(handle_, id, fallback) : fallback;
}

double Container::GetFloat(int32_t id, double fallback) const {
  return handle_ ? Bc().GetFloat(handle_, id, fallback) : fallback;
}

bool Container::GetBool(int32_t id, bool fallback) const {
  return handle_ ? Bc().GetBool(handle_, id, fallback ? 1 : 0) != 0 : fallback;
}

Vector Container::GetVector(int32_t id) const {
  VtVector value{0.0, 0.0, 0.0};
  if (handle_) Bc().GetVector(handle_, id, &value);
  return {value.x, value.y, value.z};
}

String Container::GetString(int32_t id) const {
  return handle_ ? String::Adopt(Bc().GetString(handle_, id)) : String();
}

Filename Container::GetFilename(int32_t id) const {
  return handle_ ? Filename::Adopt(Bc().GetFilename(handle_, id)) : Filename();
}

VtNode* Container::GetLink(int32_t id, VtDocument* document) const {
  return handle_ ? Bc().GetLink(handle_, id, document) : nullptr;
}

Container Container::GetContainer(int32_t id) const {
  return handle_ ? Adopt(Bc().GetContainer(handle_, id)) : Container();
}

int32_t Container::TypeOf(int32_t id) const { return handle_ ? Bc().Type(handle_, id) : VT_VALUE_NONE; }

bool Container::SetInt32(int32_t id, int32_t value) { return handle_ && Bc().SetInt32(handle_, id, value); }

bool Container::SetFloat(int32_t id, double value) { return handle_ && Bc().SetFloat(handle_, id, value); }

bool Container::SetBool(int32_t id, bool value) { return handle_ && Bc().SetBool(handle_, id, value ? 1 : 0); }

bool Container::SetVector(int32_t id, const Vector& value) {
  const VtVector raw{value.x, value.y, value.z};
  return handle_ && Bc().SetVector(handle_, id, &raw);
}

bool Container::SetString(int32_t id, const String& value) {
  return handle_ && Bc().SetString(handle_, id, value.Handle());
}

bool Container::SetFilename(int32_t id, const Filename& value) {
  return handle_ && Bc().SetFilename(handle_, id, value.Handle());
}

bool Container::SetLink(int32_t id, VtNode* target) { return handle_ && Bc().SetLink(handle_, id, target); }

bool Container::SetContainer(int32_t id, const Container& value) {
  return handle_ && value.handle_ && Bc().SetContainer(handle_, id, value.handle_);
}

bool Container::Remove(int32_t id) { return handle_ && Bc().Remove(handle_, id); }

}  // namespace vantor

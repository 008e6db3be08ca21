// Registration of the module's object types with the host.
#pragma once

#include <cstdint>

#include "hostapi/hostresource.h"
#include "hostapi/hoststring.h"
#include "vantor_host.h"

namespace vantor {

struct ObjectRegistration {
  int32_t id = 0;
  String name;         // display name
  int32_t info = 0;    // info flags
  const VtObjectClass* operations = nullptr;
  String description;  // description resource name
  const Bitmap* icon = nullptr;  // may be null or invalid: no icon
  int32_t reserved = 0;
};

// Registers the description for the type first; when that fails the type is not registered.
bool RegisterObjectPlugin(const ObjectRegistration& registration, const Resource& resource);

}  // namespace vantor

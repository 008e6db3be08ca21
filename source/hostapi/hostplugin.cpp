// Object-type registration over the Pl table.
#include "hostapi/hostplugin.h"

#include "hostapi/hostbinding.h"

namespace vantor {

bool RegisterObjectPlugin(const ObjectRegistration& registration, const Resource& resource) {
  const VtPlTable& pl = *host::Tables().Pl;
  if (!pl.RegisterDescription(registration.id, registration.description.Handle(), resource.Handle())) {
    return false;
  }
  const VtBitmap* icon = registration.icon ? registration.icon->Handle() : nullptr;
  return pl.RegisterObject(registration.id, registration.name.Handle(), registration.info, registration.operations,
                           registration.description.Handle(), icon, registration.reserved) != 0;
}

}  // namespace vantor

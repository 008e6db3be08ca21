// What a generated object stands for (an atom of an element, a nucleus, a bond of an order, or
// the material a texture tag links), told from what the host holds: the object's type, name, tags,
// display colour and bond profile, and the parameters its molecule object was built with. The
// glTF export gives each role a material of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "scene/model.h"
#include "vthost/molecule.h"

namespace vthost {

enum class RoleKind { None, Linked, Atom, Nucleus, Bond };

struct Role {
  RoleKind kind = RoleKind::None;
  // Linked: the material's name in the document; Atom: the element symbol (the object's name);
  // Nucleus: "nucleus"; Bond: "bond 1" to "bond 4", or "bond" when the order cannot be told.
  std::string name;
  uint64_t material = 0;  // Linked: the material's serial
  int32_t order = 0;      // Bond: 1 to 4, or 0
};

// The role of a generated object. A texture tag's material, when it still exists, decides first;
// then polygon objects are nuclei (molecule::IsNucleusName) or atoms, and sweeps are bonds, whose
// order is the first whose looks (molecule::BondLooksOf the parameters the object was built with)
// match the sweep's profile radius and display colour. Orders built with the same radius and colour
// cannot be told apart and take the lowest order.
Role RoleOf(const Host& host, const VtNode& node, const std::optional<molecule::BondLooks>& bonds);

}  // namespace vthost

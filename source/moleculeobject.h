// The molecule object: the generator type the module registers.
#pragma once

#include <cstdint>

#include "objectdata.h"

namespace vantor {

constexpr int32_t kMoleculeObjectId = 1060013;

class MoleculeObject : public ObjectData {};

}  // namespace vantor

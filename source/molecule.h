// The molecule last read from a file: atoms with an element index and file coordinates, and bonds
// with 1-based atom numbers exactly as written (unchecked: consumers check them before use).
#pragma once

#include <cstdint>

#include "hostarray.h"

namespace vantor {

struct Atom {
  int32_t element = 0;  // a row of the element table as it stood when the file was read
  double x = 0.0, y = 0.0, z = 0.0;
};

struct Bond {
  int32_t atom1 = 0, atom2 = 0;  // atom number n is atoms[n - 1]
  int32_t type = 0;              // 1 single, 2 double, 3 triple, 4 aromatic; others kept as written
};

struct Molecule {
  HostArray<Atom> atoms;
  HostArray<Bond> bonds;
  void Clear() {
    atoms.Clear();
    bonds.Clear();
  }
};

}  // namespace vantor

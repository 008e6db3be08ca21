// The molecule last read from a file: atoms with an element index, file coordinates and their
// number in the file, and bonds with 1-based atom numbers exactly as written (unchecked:
// consumers find the atoms a bond names through the atoms' numbers).
#pragma once

#include <algorithm>
#include <cstdint>

#include "hostapi/hostarray.h"

namespace vantor {

struct Atom {
  int32_t element = 0;  // a row of the element table as it stood when the file was read
  double x = 0.0, y = 0.0, z = 0.0;
  // The atom's line in the file's atom block, 1-based: the number bonds give it. An atom whose
  // element the table lacks is not stored, so after one the numbers run ahead of the positions.
  int32_t number = 0;
};

struct Bond {
  int32_t atom1 = 0, atom2 = 0;  // the numbers of atom lines, as written
  int32_t type = 0;              // a BondOrder (parameterids.h), or any other value as written
};

struct Molecule {
  HostArray<Atom> atoms;
  HostArray<Bond> bonds;
  void Clear() {
    atoms.Clear();
    bonds.Clear();
  }
};

// The position in atoms of the atom with that number in the file; -1 when no stored atom has it
// (a dropped atom, or a number past the atom block). atoms holds increasing numbers, in file order.
inline int32_t FindAtomByNumber(const HostArray<Atom>& atoms, int32_t number) {
  const Atom* found =
      std::lower_bound(atoms.begin(), atoms.end(), number, [](const Atom& atom, int32_t n) { return atom.number < n; });
  return found != atoms.end() && found->number == number ? static_cast<int32_t>(found - atoms.begin()) : -1;
}

}  // namespace vantor

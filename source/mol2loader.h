// The molecule file readers: SdfLoader for V2000 SDF and MOL files, and Mol2Loader, which stands
// for MOL2 files but reads nothing.
#pragma once

#include <istream>

#include "elementtable.h"
#include "hostapi/hostfilename.h"
#include "hostapi/hostnode.h"
#include "moleculemodel.h"

namespace vantor {

class SdfLoader {
 public:
  virtual ~SdfLoader() = default;

  // Empties atoms and bonds, then reads the first molecule of the file into them and names node
  // after its title line. False, after a message box, when the file does not exist or cannot be
  // opened; true otherwise, whatever the file holds.
  bool Read(Node node, const Filename& fileName, const ElementTable& elementTable, HostArray<Atom>& atoms,
            HostArray<Bond>& bonds);

  // The content of an open file; atoms and bonds are appended to.
  void ReadFrom(std::istream& in, Node node, const ElementTable& elementTable, HostArray<Atom>& atoms,
                HostArray<Bond>& bonds);
};

class Mol2Loader {
 public:
  virtual ~Mol2Loader() = default;
};

}  // namespace vantor

// Loading the molecule file named by an object's MOLOBJ_FILE parameter, with the reader its
// suffix chooses.
#pragma once

#include "elementtable.h"
#include "hostapi/hostcontainer.h"
#include "hostapi/hostnode.h"
#include "moleculemodel.h"

namespace vantor {

// Reads the file into molecule and, after a successful read, marks node's data changed and sends
// it the update message. Failures show message boxes; the answer is always true.
bool LoadMoleculeFile(Node node, const Container& parameters, const ElementTable& elements, Molecule& molecule);

}  // namespace vantor

// The dispatch by suffix: "sdf" and "mol" are read, "mol2" is recognised but not read, anything
// else is refused. Suffixes are compared with their letter case.
#include "moleculefile.h"

#include "hostapi/hostui.h"
#include "mol2loader.h"
#include "parameterids.h"

namespace vantor {
namespace {

const char* const kLoadError = "An error was encountered when loading the molecule definition file.";
const char* const kUnknownFormat = "Unrecognised file format, molecule definition file cannot be loaded.";

}  // namespace

bool LoadMoleculeFile(Node node, const Container& parameters, const ElementTable& elements, Molecule& molecule) {
  const Filename fileName = parameters.GetFilename(MOLOBJ_FILE);
  if (fileName.IsEmpty()) return true;
  const String suffix = fileName.Suffix();

  if (suffix == String("sdf") || suffix == String("mol")) {
    const Filename copy = fileName;
    SdfLoader loader;
    if (loader.Read(node, copy, elements, molecule.atoms, molecule.bonds)) {
      node.SetDirty(VT_DIRTY_DATA);
      node.SendMessage(VT_MSG_UPDATE);
    } else {
      ShowMessage(kLoadError);
    }
  } else if (suffix == String("mol2")) {
    // recognised, not read: a MOL2 reader would take the loader's place
    const Filename copy = fileName;
    const Mol2Loader loader;
    ShowMessage(kLoadError);
  } else {
    ShowMessage(kUnknownFormat);
  }
  return true;
}

}  // namespace vantor

// The SDF/MOL reader on arbitrary text, with the shipped element table.
#include <fstream>
#include <sstream>

#include "fuzzhost.h"
#include "mol2loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzHost();
  static vantor::ElementTable* table = [] {
    auto* loaded = new vantor::ElementTable();
    std::ifstream in(std::string(VANTOR_SOURCE_DIR) + "/res/ptable.csv");
    loaded->LoadFrom(in);
    return loaded;
  }();
  // a node of its own: the reader names it after the file's title
  VtNode* node = FuzzHost().NewNode("fuzz");
  {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    vantor::Molecule molecule;
    vantor::SdfLoader().ReadFrom(in, vantor::Node(node), *table, molecule.atoms, molecule.bonds);
    for (const vantor::Atom& atom : molecule.atoms) {
      if (!table->Contains(atom.element)) __builtin_trap();  // every stored atom names a row
    }
  }
  FuzzHost().DeleteNode(node);
  EndInput(FuzzHost());
  return 0;
}

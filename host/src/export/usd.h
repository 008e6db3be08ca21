// A plain model (plainmodel.h) as a USD stage: a USDA text layer (usdwrite.cpp), or a crate layer
// (usdcwrite.cpp) in the .usdz package that holds it (usdz.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "export/plainmodel.h"
#include "export/usdcrate.h"
#include "vthost/models.h"

namespace vthost {

// A layer of a stage, or any file of a package: its name in the package and its bytes, held
// elsewhere.
struct PackagedFile {
  std::string name;
  std::string_view bytes;
};

// The stage of a model whose root is not -1 as one USDA text layer, which holds the shapes itself,
// as abstract prims that the nodes reference.
std::string UsdaLayer(const PlainModel& model);

// The stage of a model whose root is not -1 as one layer in USD's binary crate format (.usdc),
// which holds its shapes itself (usdcwrite.cpp): what a .usdz package holds.
CrateBytes UsdcLayer(const PlainModel& model);

// The model as a .usdz package or a USDA text layer; a model that draws nothing as a stage of the
// exported object alone (PlainModel::name). False when the model has a number USD's floats cannot
// hold (RefusalOf), or the package would be too large.
bool UsdFromModel(const PlainModel& model, bool package, std::string* bytes, std::string* error);
// The same in pieces held by bytes->holder: a package's layer is not copied into it.
bool UsdFromModel(const PlainModel& model, bool package, ModelBytes* bytes, std::string* error);

// A prim name for a name: every character that is not an ASCII letter, digit or '_' becomes '_',
// and one that starts with a digit (or is empty) gets a '_' before it.
std::string UsdName(std::string_view name);

// Names unique among the children of one prim: a taken name is followed by _1, _2...
class UsdSiblings {
 public:
  // Room made for about this many names at once.
  explicit UsdSiblings(size_t names = 0);
  std::string Take(std::string_view name);

 private:
  // A name taken: where it lies among names_, its hash, and the number after which the search for
  // a free name_N of it goes on.
  struct Taken {
    size_t hash;
    uint64_t next;
    uint32_t start, length;
  };
  // Takes the name (of this NameHash) if it is free; answers its index among the taken either way,
  // and whether it was.
  std::pair<uint32_t, bool> Insert(std::string_view name, size_t hash);
  void Rehash();

  std::string names_;  // the taken names, one after another
  std::vector<Taken> taken_;
  std::vector<uint32_t> slots_;  // the taken by hash: open addressing, at most half full
};

// The files as a .usdz package: a zip archive in which nothing is compressed and every file's data
// starts at a multiple of 64 bytes, the root layer first. False when the archive would pass the
// 4 GiB that a zip without its 64-bit extension holds.
bool UsdzBytes(const std::vector<PackagedFile>& files, std::string* bytes);
// The same package in pieces, with no copy of the files' bytes: the pieces are the files' own and
// those of *frames (each file's local header, then the central directory and its end).
bool UsdzPieces(const std::vector<PackagedFile>& files, std::vector<std::string>* frames, Pieces* pieces);

}  // namespace vthost

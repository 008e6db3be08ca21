// A plain model (plainmodel.h) as a USD stage: USDA text layers (usdwrite.cpp), and the .usdz
// package that holds them (usdz.cpp).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "export/plainmodel.h"

namespace vthost {

// A layer of a stage, or any file of a package: its name in the package and its bytes.
struct PackagedFile {
  std::string name;
  std::string bytes;
};

// The stage of a model whose root is not -1, its root layer first. One layer alone holds the
// shapes itself, as abstract prims that the nodes reference; a package's root layer references
// them from a layer of their own each (shapes/shape_N.usda), which is how readers that follow
// references only to other files take them.
std::vector<PackagedFile> UsdLayers(const PlainModel& model, bool package);

// The model as a .usdz package or a USDA text layer; a model that draws nothing as a stage of the
// exported object alone (PlainModel::name). False when the model has a number USD's floats cannot
// hold (RefusalOf), or the package would be too large.
bool UsdFromModel(const PlainModel& model, bool package, std::string* bytes, std::string* error);

// A prim name for a name: every character that is not an ASCII letter, digit or '_' becomes '_',
// and one that starts with a digit (or is empty) gets a '_' before it.
std::string UsdName(std::string_view name);

// The files as a .usdz package: a zip archive in which nothing is compressed and every file's data
// starts at a multiple of 64 bytes, the root layer first. False when the archive would pass the
// 4 GiB that a zip without its 64-bit extension holds.
bool UsdzBytes(const std::vector<PackagedFile>& files, std::string* bytes);

}  // namespace vthost

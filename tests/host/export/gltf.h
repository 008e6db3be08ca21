// tinygltf as the tests use it, to read back the .glb files the host writes: no image codecs (the
// host writes no images), so nothing beyond the header and nlohmann-json is needed. Every file that
// includes tiny_gltf.h includes it through here, so all of them see the same declarations;
// gltf_reader.cpp holds the implementation. Below it, how the tests read back what they wrote.
#pragma once

#ifndef TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE
#endif
#ifndef TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#endif
#ifndef TINYGLTF_NO_EXTERNAL_IMAGE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#endif
// nlohmann-json first: tiny_gltf.h includes it inside "#pragma GCC visibility push(hidden)", which
// where the standard library carries no visibility of its own (MinGW) hides the std types it pulls
// in and makes every class holding one an error.
// It is then not included again: packagings differ in how they name it ("json.hpp" or
// <nlohmann/json.hpp>).
#include <nlohmann/json.hpp>
#ifndef TINYGLTF_NO_INCLUDE_JSON
#define TINYGLTF_NO_INCLUDE_JSON
#endif
#include <tiny_gltf.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cases.h"

// A .glb file as tinygltf's loader reads it, with no error and no warning.
inline tinygltf::Model LoadGlb(const std::string& file) {
  tinygltf::Model model;
  tinygltf::TinyGLTF loader;
  std::string error, warning;
  EXPECT_TRUE(loader.LoadBinaryFromFile(&model, &error, &warning, file)) << error;
  EXPECT_EQ(warning, "");
  return model;
}

// The name of the material a node's mesh is drawn in ("" for none).
inline std::string MaterialOf(const tinygltf::Model& model, const tinygltf::Node& node) {
  if (node.mesh < 0) return "";
  const int material = model.meshes.at(node.mesh).primitives.at(0).material;
  return material < 0 ? "" : model.materials.at(material).name;
}

// The scene root's children in order, by the material each is drawn in.
// The scene's one root, and what it holds when it is a molecule object: the generated hierarchy.
inline const tinygltf::Node& SceneRoot(const tinygltf::Model& model) {
  return model.nodes.at(model.scenes.at(0).nodes.at(0));
}
inline const tinygltf::Node& GeneratedRoot(const tinygltf::Model& model) {
  return model.nodes.at(SceneRoot(model).children.at(0));
}

// The material of each child of the node (by default the scene's root).
inline std::vector<std::string> ChildMaterials(const tinygltf::Model& model, const tinygltf::Node* parent = nullptr) {
  return Each((parent ? *parent : SceneRoot(model)).children,
              [&](int child) { return MaterialOf(model, model.nodes.at(child)); });
}

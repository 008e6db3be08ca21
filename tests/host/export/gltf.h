// tinygltf as the tests use it, to read back the .glb files the host writes: no image codecs (the
// host writes no images), so nothing beyond the header and nlohmann-json is needed. Every file that
// includes tiny_gltf.h includes it through here, so all of them see the same declarations;
// gltf_reader.cpp holds the implementation.
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

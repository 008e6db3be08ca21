// tinygltf as the host uses it: no image codecs (the host writes no images), so nothing beyond the
// header and nlohmann-json is needed. Every file that includes tiny_gltf.h includes it through here,
// so all of them see the same declarations; export_gltf.cpp holds the implementation.
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
#include <tiny_gltf.h>

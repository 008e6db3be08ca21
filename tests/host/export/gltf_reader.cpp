// tinygltf's implementation, for the tests that read back what the host writes.
#define TINYGLTF_IMPLEMENTATION
#include "gltf.h"

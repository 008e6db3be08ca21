// Writes the sample hierarchy as a .glb, for the glTF validator: gltf_sample OUT.glb
#include <iostream>

#include "export/json.h"
#include "sample_hierarchy.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: gltf_sample OUT.glb\n";
    return 2;
  }
  vthost::Host host;
  vthost::SampleHierarchy sample = vthost::MakeSampleHierarchy(host, host.NewDocument());
  std::string error;
  if (!vthost::WriteGltf(host, {sample.root.get(), nullptr, {}}, std::filesystem::u8path(argv[1]), &error)) {
    std::cerr << "gltf_sample: " << error << "\n";
    return 1;
  }
  return 0;
}

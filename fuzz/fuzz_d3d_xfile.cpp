// libs: plat_d3d
// A model file from arbitrary bytes: reading it either gives a scene whose
// every index is in range or fails with a reason, and never crashes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/d3d/xfile.hpp"

// The model reader the layer hands files to keeps some of what it built
// when it gives up on a broken file; those leaks are not ours to mend, so
// the target looks for crashes and undefined behaviour only.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const auto scene = plat::xfile::LoadFromMemory(data, size, &error);
  if (!scene) return 0;
  for (const auto& mesh : scene->meshes) {
    if (mesh.normals.size() != mesh.positions.size() || mesh.uvs.size() != 2 * mesh.positions.size()) __builtin_trap();
    for (uint32_t i : mesh.triangles)
      if (i >= mesh.positions.size()) __builtin_trap();
    if (mesh.material >= scene->materials.size()) __builtin_trap();
  }
  for (const auto& node : scene->nodes)
    for (uint32_t c : node.children)
      if (c >= scene->nodes.size()) __builtin_trap();
  return 0;
}

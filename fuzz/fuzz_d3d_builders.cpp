// libs: plat_d3d
// The mesh and animation builders on any scene the model reader's process
// could hand over: a damaged answer is refused, and every scene it lets
// through builds meshes whose indices stay in range and frame trees that
// animate, copy and detach without crashing or looping.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "platform/d3d/rm.hpp"
#include "platform/d3d/xfile.hpp"

namespace {

void CheckMesh(const plat::Direct3DRMMeshBuilder3& mesh) {
  const size_t n = mesh.Positions().size();
  if (mesh.Normals().size() != n || mesh.Uvs().size() != 2 * n || mesh.VertexGroups().size() != n) __builtin_trap();
  if (n > plat::xfile::kMaxVertices) __builtin_trap();
  for (uint32_t g : mesh.VertexGroups())
    if (g >= mesh.Groups().size()) __builtin_trap();
  for (const auto& group : mesh.Groups()) {
    if (group.triangles.size() % 3 != 0) __builtin_trap();
    for (uint32_t i : group.triangles)
      if (i >= n) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto scene = plat::xfile::DecodeScene(data, size);
  if (!scene) return 0;
  plat::Direct3DRM3 root;
  root.SetSearchPath("");

  // The whole model, then each frame's own meshes.
  plat::Direct3DRMMeshBuilder3 whole;
  whole.Build(*scene, 0, true, root);
  CheckMesh(whole);
  for (uint32_t i = 0; i < scene->nodes.size() && i < 64; ++i) {
    plat::Direct3DRMMeshBuilder3 one;
    one.Build(*scene, i, false, root);
    CheckMesh(one);
  }

  const auto parent = root.CreateFrame(nullptr);
  const auto set = root.CreateAnimationSet();
  if (set->Build(*scene, parent, root, 1) != plat::D3DRM_OK) __builtin_trap();
  if (set->Frames().size() != 1 || set->Frames()[0]->GetParent() != parent) __builtin_trap();
  for (float t : {-1.0f, 0.0f, 0.5f, 3.0f, 1e30f, std::numeric_limits<float>::quiet_NaN()}) set->SetTime(t);
  const auto other = root.CreateFrame(nullptr);
  const auto copy = set->Clone(other);
  if (!copy || copy->TrackCount() != set->TrackCount()) __builtin_trap();
  copy->SetTime(2.0f);
  (void)copy->Frames()[0]->GetScene();
  set->Detach();
  if (!parent->GetChildren().empty()) __builtin_trap();
  return 0;
}

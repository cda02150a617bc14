#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "platform/d3d/rm.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/strings.hpp"

namespace plat {

// ------------------------------------------------------------ mesh builder

namespace {

float Determinant3(const D3DMATRIX& m) {
  return m.m[0][0] * (m.m[1][1] * m.m[2][2] - m.m[1][2] * m.m[2][1]) -
         m.m[0][1] * (m.m[1][0] * m.m[2][2] - m.m[1][2] * m.m[2][0]) +
         m.m[0][2] * (m.m[1][0] * m.m[2][1] - m.m[1][1] * m.m[2][0]);
}

// Normals go through the inverse transpose, so they stay perpendicular to
// their faces under any scale.
D3DMATRIX NormalMatrix(const D3DMATRIX& m) {
  D3DMATRIX r = AffineInverse(m);
  D3DMATRIX t = IdentityMatrix();
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) t.m[i][j] = r.m[j][i];
  return t;
}

}  // namespace

int Direct3DRMMeshBuilder3::Load(const std::string& fileName, const Direct3DRM3& root) {
  *this = Direct3DRMMeshBuilder3{};
  const std::string path = root.FindFile(fileName);
  if (path.empty()) return D3DRMERR_FILENOTFOUND;
  const std::optional<xfile::Scene> scene = xfile::Load(path);
  if (!scene) return D3DRMERR_BADFILE;
  Build(*scene, 0, true, root);
  return D3DRM_OK;
}

void Direct3DRMMeshBuilder3::Build(const xfile::Scene& scene, uint32_t node, bool withChildren,
                                   const Direct3DRM3& root) {
  const std::string name = name_;
  *this = Direct3DRMMeshBuilder3{};
  name_ = name;
  if (node >= scene.nodes.size()) return;
  if (!withChildren) {
    for (uint32_t mesh : scene.nodes[node].meshes) Append(scene, mesh, IdentityMatrix(), root);
  } else {
    std::vector<std::pair<uint32_t, D3DMATRIX>> pending{{node, scene.nodes[node].transform}};
    while (!pending.empty()) {
      const auto [index, transform] = pending.back();
      pending.pop_back();
      for (uint32_t mesh : scene.nodes[index].meshes) Append(scene, mesh, transform, root);
      for (uint32_t child : scene.nodes[index].children)
        if (child < scene.nodes.size())
          pending.emplace_back(child, Multiply(scene.nodes[child].transform, transform));
    }
  }
  UpdateBounds();
}

void Direct3DRMMeshBuilder3::Append(const xfile::Scene& scene, uint32_t meshIndex, const D3DMATRIX& transform,
                                    const Direct3DRM3& root) {
  if (meshIndex >= scene.meshes.size()) return;
  const xfile::Mesh& mesh = scene.meshes[meshIndex];
  // Frames may name one mesh many times over: the builder as a whole keeps
  // to the reader's bound on vertices, so no model can exhaust memory here.
  if (positions_.size() + mesh.positions.size() > xfile::kMaxVertices) return;
  const xfile::Material& material = scene.materials[std::min<size_t>(mesh.material, scene.materials.size() - 1)];
  const uint32_t base = static_cast<uint32_t>(positions_.size());
  const D3DMATRIX normalMatrix = NormalMatrix(transform);
  for (size_t i = 0; i < mesh.positions.size(); ++i) {
    positions_.push_back(TransformPoint(mesh.positions[i], transform));
    normals_.push_back(Normalize(TransformDirection(mesh.normals[i], normalMatrix)));
    uvs_.push_back(mesh.uvs[2 * i]);
    uvs_.push_back(mesh.uvs[2 * i + 1]);
  }
  // One group per material and texture.
  const SurfacePtr texture = material.textureFile.empty() ? nullptr : root.LoadTexture(material.textureFile);
  const D3DCOLORVALUE colour = material.faceColor;
  size_t g = 0;
  for (; g < groups_.size(); ++g) {
    const Group& x = groups_[g];
    if (x.texture == texture && x.color.r == colour.r && x.color.g == colour.g && x.color.b == colour.b &&
        x.emissive.r == material.emissive.r && x.emissive.g == material.emissive.g &&
        x.emissive.b == material.emissive.b)
      break;
  }
  if (g == groups_.size()) groups_.push_back(Group{{}, colour, material.emissive, texture});
  vertexGroup_.insert(vertexGroup_.end(), mesh.positions.size(), static_cast<uint32_t>(g));
  // A mirroring transform turns faces over; their corners are swapped back.
  const bool mirrored = Determinant3(transform) < 0.0f;
  std::vector<uint32_t>& tris = groups_[g].triangles;
  for (size_t t = 0; t + 2 < mesh.triangles.size(); t += 3) {
    tris.push_back(base + mesh.triangles[t]);
    tris.push_back(base + mesh.triangles[t + (mirrored ? 2 : 1)]);
    tris.push_back(base + mesh.triangles[t + (mirrored ? 1 : 2)]);
  }
}

void Direct3DRMMeshBuilder3::UpdateBounds() {
  D3DVECTOR lo, hi;
  if (!GetBox(lo, hi)) {
    centre_ = {};
    radius_ = 0.0f;
    return;
  }
  centre_ = (lo + hi) * 0.5f;
  float r2 = 0.0f;
  for (const D3DVECTOR& p : positions_) r2 = std::max(r2, Dot(p - centre_, p - centre_));
  radius_ = std::sqrt(r2);
}

int Direct3DRMMeshBuilder3::GetFaceCount() const {
  size_t n = 0;
  for (const Group& g : groups_) n += g.triangles.size() / 3;
  return static_cast<int>(n);
}

bool Direct3DRMMeshBuilder3::GetBox(D3DVECTOR& lo, D3DVECTOR& hi) const {
  if (positions_.empty()) return false;
  lo = hi = positions_[0];
  for (const D3DVECTOR& p : positions_) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
  return true;
}

int Direct3DRMMeshBuilder3::SetColorRGB(float r, float g, float b) {
  for (Group& x : groups_) x.color = {r, g, b, x.color.a};
  return D3DRM_OK;
}

int Direct3DRMMeshBuilder3::SetTexture(const SurfacePtr& texture) {
  for (Group& x : groups_) x.texture = texture;
  return D3DRM_OK;
}

int Direct3DRMMeshBuilder3::SetTexture(const std::shared_ptr<Direct3DRMTexture3>& texture) {
  return SetTexture(texture ? texture->GetSurface() : nullptr);
}

int Direct3DRMMeshBuilder3::SetQuality(uint32_t quality) { return StoreSetting(quality_, quality); }

// ----------------------------------------------------------- animation sets

namespace {

template <typename Key>
size_t SegmentAfter(const std::vector<Key>& keys, float time) {
  return static_cast<size_t>(
      std::upper_bound(keys.begin(), keys.end(), time, [](float t, const Key& k) { return t < k.time; }) -
      keys.begin());
}

D3DVECTOR Interpolate(const std::vector<xfile::VectorKey>& keys, float time) {
  const size_t i = SegmentAfter(keys, time);
  if (i == 0) return keys.front().value;
  if (i == keys.size()) return keys.back().value;
  const xfile::VectorKey& a = keys[i - 1];
  const xfile::VectorKey& b = keys[i];
  const float span = b.time - a.time;
  const float t = span > 0.0f ? (time - a.time) / span : 0.0f;
  return a.value + (b.value - a.value) * t;
}

xfile::QuaternionKey Slerp(const std::vector<xfile::QuaternionKey>& keys, float time) {
  const size_t i = SegmentAfter(keys, time);
  if (i == 0) return keys.front();
  if (i == keys.size()) return keys.back();
  const xfile::QuaternionKey& a = keys[i - 1];
  xfile::QuaternionKey b = keys[i];
  const float span = b.time - a.time;
  const float t = span > 0.0f ? (time - a.time) / span : 0.0f;
  float cosom = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
  // The shorter way round.
  if (cosom < 0.0f) {
    cosom = -cosom;
    b.w = -b.w;
    b.x = -b.x;
    b.y = -b.y;
    b.z = -b.z;
  }
  float s0 = 1.0f - t, s1 = t;
  if (1.0f - cosom > 1e-4f) {
    const float omega = std::acos(std::min(cosom, 1.0f));
    const float sinom = std::sin(omega);
    s0 = std::sin((1.0f - t) * omega) / sinom;
    s1 = std::sin(t * omega) / sinom;
  }
  xfile::QuaternionKey r;
  r.w = s0 * a.w + s1 * b.w;
  r.x = s0 * a.x + s1 * b.x;
  r.y = s0 * a.y + s1 * b.y;
  r.z = s0 * a.z + s1 * b.z;
  const float len = std::sqrt(r.w * r.w + r.x * r.x + r.y * r.y + r.z * r.z);
  if (len > 0.0f) {
    r.w /= len;
    r.x /= len;
    r.y /= len;
    r.z /= len;
  }
  return r;
}

// Copies a frame and everything below it, sharing the meshes; 'map' learns
// which copy stands for which original.
Direct3DRMFrame3Ptr CopyTree(const Direct3DRMFrame3Ptr& source,
                             std::unordered_map<const Direct3DRMFrame3*, Direct3DRMFrame3Ptr>& map) {
  const auto top = std::make_shared<Direct3DRMFrame3>();
  std::vector<std::pair<const Direct3DRMFrame3*, Direct3DRMFrame3Ptr>> pending{{source.get(), top}};
  while (!pending.empty()) {
    const auto [from, to] = pending.back();
    pending.pop_back();
    map[from] = to;
    to->SetName(from->GetName());
    to->SetTransformDirect(from->GetTransform());
    for (const auto& v : from->GetVisuals()) to->AddVisual(v);
    for (const auto& l : from->GetLights()) to->AddLight(l);
    for (const auto& c : from->GetChildren()) {
      const auto copy = std::make_shared<Direct3DRMFrame3>();
      to->AddChild(copy);
      pending.emplace_back(c.get(), copy);
    }
  }
  return top;
}

}  // namespace

int Direct3DRMAnimationSet2::Load(const std::string& fileName, uint32_t, const Direct3DRMFrame3Ptr& parent,
                                  const Direct3DRM3& root, int32_t id) {
  if (!parent) return D3DRMERR_BADOBJECT;
  const std::string path = root.FindFile(fileName);
  if (path.empty()) return D3DRMERR_FILENOTFOUND;
  const std::optional<xfile::Scene> scene = xfile::Load(path);
  if (!scene) return D3DRMERR_BADFILE;
  return Build(*scene, parent, root, id);
}

int Direct3DRMAnimationSet2::Build(const xfile::Scene& scene, const Direct3DRMFrame3Ptr& parent,
                                   const Direct3DRM3& root, int32_t id) {
  if (!parent) return D3DRMERR_BADOBJECT;
  if (scene.nodes.empty()) return D3DRMERR_BADFILE;
  Detach();
  tracks_.clear();
  id_ = id;
  time_ = 0.0f;

  // A frame per node of the file, each with the meshes of its own node.
  std::vector<Direct3DRMFrame3Ptr> frames(scene.nodes.size());
  for (size_t i = 0; i < scene.nodes.size(); ++i) {
    const xfile::Node& node = scene.nodes[i];
    frames[i] = std::make_shared<Direct3DRMFrame3>();
    frames[i]->SetName(node.name);
    frames[i]->SetTransformDirect(node.transform);
    if (!node.meshes.empty()) {
      const auto mesh = std::make_shared<Direct3DRMMeshBuilder3>();
      mesh->SetName(node.name);
      mesh->Build(scene, static_cast<uint32_t>(i), false, root);
      frames[i]->AddVisual(mesh);
    }
  }
  for (size_t i = 0; i < scene.nodes.size(); ++i)
    for (uint32_t c : scene.nodes[i].children) frames[i]->AddChild(frames[c]);
  parent->AddChild(frames[0]);
  roots_ = {frames[0]};

  if (!scene.animations.empty()) {
    std::unordered_map<std::string, Direct3DRMFrame3Ptr> byName;
    for (const auto& f : frames) byName.emplace(UCase(f->GetName()), f);
    for (const xfile::Track& keys : scene.animations.front().tracks) {
      const auto it = byName.find(UCase(keys.frameName));
      if (it == byName.end()) continue;
      tracks_.push_back(Track{it->second, keys});
    }
  }
  return D3DRM_OK;
}

int Direct3DRMAnimationSet2::SetTime(float time) {
  time_ = time;
  for (const Track& t : tracks_) {
    const Direct3DRMFrame3Ptr frame = t.frame.lock();
    if (!frame) continue;
    // Kinds of key the track lacks keep what the frame has.
    const D3DMATRIX& now = frame->GetTransform();
    D3DVECTOR axes[3];
    float scale[3];
    for (int r = 0; r < 3; ++r) {
      const D3DVECTOR row{now.m[r][0], now.m[r][1], now.m[r][2]};
      scale[r] = Length(row);
      axes[r] = scale[r] > 0.0f ? row * (1.0f / scale[r]) : D3DVECTOR{};
    }
    if (!t.keys.scales.empty()) {
      const D3DVECTOR s = Interpolate(t.keys.scales, time);
      scale[0] = s.x;
      scale[1] = s.y;
      scale[2] = s.z;
    }
    if (!t.keys.rotations.empty()) {
      const xfile::QuaternionKey q = Slerp(t.keys.rotations, time);
      const D3DMATRIX r = xfile::QuaternionMatrix(q.w, q.x, q.y, q.z);
      for (int i = 0; i < 3; ++i) axes[i] = {r.m[i][0], r.m[i][1], r.m[i][2]};
    }
    const D3DVECTOR position =
        t.keys.positions.empty() ? D3DVECTOR{now.m[3][0], now.m[3][1], now.m[3][2]} : Interpolate(t.keys.positions, time);
    D3DMATRIX m = IdentityMatrix();
    for (int r = 0; r < 3; ++r) {
      m.m[r][0] = axes[r].x * scale[r];
      m.m[r][1] = axes[r].y * scale[r];
      m.m[r][2] = axes[r].z * scale[r];
    }
    m.m[3][0] = position.x;
    m.m[3][1] = position.y;
    m.m[3][2] = position.z;
    frame->SetTransformDirect(m);
  }
  return D3DRM_OK;
}

std::shared_ptr<Direct3DRMAnimationSet2> Direct3DRMAnimationSet2::Clone(const Direct3DRMFrame3Ptr& newParent) const {
  auto copy = std::make_shared<Direct3DRMAnimationSet2>();
  copy->id_ = id_;
  copy->time_ = time_;
  std::unordered_map<const Direct3DRMFrame3*, Direct3DRMFrame3Ptr> map;
  for (const auto& r : roots_) {
    Direct3DRMFrame3Ptr top = CopyTree(r, map);
    if (newParent) newParent->AddChild(top);
    copy->roots_.push_back(top);
  }
  for (const Track& t : tracks_) {
    const Direct3DRMFrame3Ptr frame = t.frame.lock();
    const auto it = frame ? map.find(frame.get()) : map.end();
    if (it != map.end()) copy->tracks_.push_back(Track{it->second, t.keys});
  }
  return copy;
}

void Direct3DRMAnimationSet2::Detach() {
  for (const auto& r : roots_)
    if (const Direct3DRMFrame3Ptr p = r->GetParent()) p->DeleteChild(r);
}

// --------------------------------------------------------------- the root

Direct3DRMFrame3Ptr Direct3DRM3::CreateFrame(const Direct3DRMFrame3Ptr& parent) const {
  auto f = std::make_shared<Direct3DRMFrame3>();
  if (parent) parent->AddChild(f);
  return f;
}

Direct3DRMMeshBuilder3Ptr Direct3DRM3::CreateMeshBuilder() const { return std::make_shared<Direct3DRMMeshBuilder3>(); }

Direct3DRMAnimationSet2Ptr Direct3DRM3::CreateAnimationSet() const {
  return std::make_shared<Direct3DRMAnimationSet2>();
}

Direct3DRMLightPtr Direct3DRM3::CreateLightRGB(int type, float r, float g, float b) const {
  if (type < D3DRMLIGHT_AMBIENT || type > D3DRMLIGHT_PARALLELPOINT) return nullptr;
  return std::make_shared<Direct3DRMLight>(type, r, g, b);
}

std::shared_ptr<Direct3DRMTexture3> Direct3DRM3::CreateTextureFromSurface(const SurfacePtr& surface) const {
  if (!surface) return nullptr;
  return std::make_shared<Direct3DRMTexture3>(surface);
}

int Direct3DRM3::SetSearchPath(const std::string& path) { return StoreSetting(searchPath_, path); }

int Direct3DRM3::AddSearchPath(const std::string& path) {
  searchPath_ = searchPath_.empty() ? path : searchPath_ + ";" + path;
  return D3DRM_OK;
}

std::string Direct3DRM3::FindFile(const std::string& name) const {
  if (name.empty()) return "";
  if (FileExists(name)) return NativePath(name);
  // The name alone (models may carry the folders they were made in).
  const size_t cut = name.find_last_of("\\/");
  const std::string bare = cut == std::string::npos ? name : name.substr(cut + 1);
  // The program folder last: the archives' members are extracted there.
  const std::string folders = searchPath_ + ";" + ProgramFolder();
  size_t start = 0;
  while (start <= folders.size()) {
    const size_t end = std::min(folders.find(';', start), folders.size());
    std::string folder = folders.substr(start, end - start);
    start = end + 1;
    if (folder.empty()) continue;
    if (folder.back() == '\\' || folder.back() == '/') folder.pop_back();
    for (const std::string& candidate : {folder + "\\" + name, folder + "\\" + bare})
      if (FileExists(candidate)) return NativePath(candidate);
  }
  return "";
}

TextureSurfacePtr Direct3DRM3::LoadTexture(const std::string& name) const {
  const std::string key = UCase(name);
  const auto it = textures_.find(key);
  if (it != textures_.end()) return it->second;
  const std::string path = FindFile(name);
  TextureSurfacePtr tex = path.empty() ? nullptr : LoadTextureFile(path);
  textures_.emplace(key, tex);
  return tex;
}

}  // namespace plat

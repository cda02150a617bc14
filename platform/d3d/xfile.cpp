#include "platform/d3d/xfile.hpp"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <fstream>
#include <utility>

namespace plat::xfile {

namespace {

D3DMATRIX FromAssimp(const aiMatrix4x4& a) {
  // assimp keeps column vectors: our row-vector matrix is its transpose.
  D3DMATRIX m;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m.m[r][c] = a[static_cast<unsigned>(c)][static_cast<unsigned>(r)];
  return m;
}

D3DVECTOR FromAssimp(const aiVector3D& v) { return D3DVECTOR{v.x, v.y, v.z}; }

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

bool ConvertMesh(const aiMesh& in, Mesh& out, size_t& vertexBudget, std::string* error) {
  if (in.mNumVertices > vertexBudget) return Fail(error, "too many vertices");
  vertexBudget -= in.mNumVertices;
  const unsigned n = in.mNumVertices;
  out.positions.resize(n);
  out.normals.resize(n);
  out.uvs.assign(static_cast<size_t>(n) * 2, 0.0f);
  for (unsigned i = 0; i < n; ++i) {
    out.positions[i] = FromAssimp(in.mVertices[i]);
    if (in.mNormals) out.normals[i] = FromAssimp(in.mNormals[i]);
    if (in.mTextureCoords[0]) {
      out.uvs[2 * static_cast<size_t>(i)] = in.mTextureCoords[0][i].x;
      out.uvs[2 * static_cast<size_t>(i) + 1] = in.mTextureCoords[0][i].y;
    }
  }
  out.triangles.reserve(static_cast<size_t>(in.mNumFaces) * 3);
  for (unsigned f = 0; f < in.mNumFaces; ++f) {
    const aiFace& face = in.mFaces[f];
    // Points and lines are no part of a solid model.
    if (face.mNumIndices != 3) continue;
    for (unsigned k = 0; k < 3; ++k) {
      if (face.mIndices[k] >= n) return Fail(error, "a face names a vertex that does not exist");
      out.triangles.push_back(face.mIndices[k]);
    }
  }
  out.material = in.mMaterialIndex;
  return true;
}

Material ConvertMaterial(const aiMaterial& in) {
  Material m;
  aiColor4D c;
  if (in.Get(AI_MATKEY_COLOR_DIFFUSE, c) == AI_SUCCESS) m.faceColor = {c.r, c.g, c.b, c.a};
  if (in.Get(AI_MATKEY_COLOR_SPECULAR, c) == AI_SUCCESS) m.specular = {c.r, c.g, c.b, c.a};
  if (in.Get(AI_MATKEY_COLOR_EMISSIVE, c) == AI_SUCCESS) m.emissive = {c.r, c.g, c.b, c.a};
  float power = 0.0f;
  if (in.Get(AI_MATKEY_SHININESS, power) == AI_SUCCESS) m.power = power;
  aiString path;
  if (in.GetTexture(aiTextureType_DIFFUSE, 0, &path) == AI_SUCCESS) m.textureFile = path.C_Str();
  return m;
}

Track ConvertTrack(const aiNodeAnim& in) {
  Track t;
  t.frameName = in.mNodeName.C_Str();
  for (unsigned i = 0; i < in.mNumPositionKeys; ++i)
    t.positions.push_back({static_cast<float>(in.mPositionKeys[i].mTime), FromAssimp(in.mPositionKeys[i].mValue)});
  for (unsigned i = 0; i < in.mNumRotationKeys; ++i) {
    const aiQuaternion& q = in.mRotationKeys[i].mValue;
    t.rotations.push_back({static_cast<float>(in.mRotationKeys[i].mTime), q.w, q.x, q.y, q.z});
  }
  for (unsigned i = 0; i < in.mNumScalingKeys; ++i)
    t.scales.push_back({static_cast<float>(in.mScalingKeys[i].mTime), FromAssimp(in.mScalingKeys[i].mValue)});
  return t;
}

std::optional<Scene> Convert(const aiScene& in, std::string* error) {
  Scene out;
  if (!in.mRootNode) {
    Fail(error, "the file holds no frames");
    return std::nullopt;
  }
  size_t vertexBudget = kMaxVertices;
  out.meshes.resize(in.mNumMeshes);
  for (unsigned i = 0; i < in.mNumMeshes; ++i)
    if (!in.mMeshes[i] || !ConvertMesh(*in.mMeshes[i], out.meshes[i], vertexBudget, error)) return std::nullopt;
  for (unsigned i = 0; i < in.mNumMaterials; ++i)
    out.materials.push_back(in.mMaterials[i] ? ConvertMaterial(*in.mMaterials[i]) : Material{});
  if (out.materials.empty()) out.materials.emplace_back();
  for (Mesh& m : out.meshes)
    if (m.material >= out.materials.size()) m.material = 0;

  // The frame tree, breadth first without recursion, so no depth of
  // nesting can exhaust the stack.
  std::vector<std::pair<const aiNode*, uint32_t>> queue{{in.mRootNode, 0}};
  out.nodes.emplace_back();
  for (size_t q = 0; q < queue.size(); ++q) {
    const aiNode* src = queue[q].first;
    Node& node = out.nodes[queue[q].second];
    node.name = src->mName.C_Str();
    node.transform = FromAssimp(src->mTransformation);
    for (unsigned i = 0; i < src->mNumMeshes; ++i)
      if (src->mMeshes[i] < out.meshes.size()) node.meshes.push_back(src->mMeshes[i]);
    for (unsigned i = 0; i < src->mNumChildren; ++i) {
      if (!src->mChildren[i]) continue;
      if (out.nodes.size() >= kMaxNodes) {
        Fail(error, "too many frames");
        return std::nullopt;
      }
      const uint32_t index = static_cast<uint32_t>(out.nodes.size());
      out.nodes[queue[q].second].children.push_back(index);
      out.nodes.emplace_back();
      queue.emplace_back(src->mChildren[i], index);
    }
  }

  for (unsigned i = 0; i < in.mNumAnimations; ++i) {
    const aiAnimation* a = in.mAnimations[i];
    if (!a) continue;
    AnimationSet set;
    set.name = a->mName.C_Str();
    for (unsigned c = 0; c < a->mNumChannels; ++c)
      if (a->mChannels[c]) set.tracks.push_back(ConvertTrack(*a->mChannels[c]));
    out.animations.push_back(std::move(set));
  }
  return out;
}

}  // namespace

std::optional<Scene> LoadFromMemory(const void* data, size_t size, std::string* error) {
  if (!data || size == 0) {
    Fail(error, "the file is empty");
    return std::nullopt;
  }
  if (size > kMaxFileBytes) {
    Fail(error, "the file is too large");
    return std::nullopt;
  }
  Assimp::Importer importer;
  // Left-handed conversion undoes assimp's own change of handedness, so the
  // data come back exactly as the file has them.
  const unsigned flags = aiProcess_ConvertToLeftHanded | aiProcess_Triangulate | aiProcess_GenSmoothNormals |
                         aiProcess_ValidateDataStructure;
  const aiScene* scene = importer.ReadFileFromMemory(data, size, flags, "x");
  if (!scene) {
    Fail(error, importer.GetErrorString());
    return std::nullopt;
  }
  if (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) {
    Fail(error, "the file is incomplete");
    return std::nullopt;
  }
  return Convert(*scene, error);
}

std::optional<Scene> Load(const std::string& nativePath, std::string* error) {
  std::ifstream in(nativePath, std::ios::binary | std::ios::ate);
  if (!in) {
    Fail(error, "cannot open " + nativePath);
    return std::nullopt;
  }
  const std::streamoff size = in.tellg();
  if (size <= 0 || static_cast<uint64_t>(size) > kMaxFileBytes) {
    Fail(error, size <= 0 ? "the file is empty" : "the file is too large");
    return std::nullopt;
  }
  std::vector<char> bytes(static_cast<size_t>(size));
  in.seekg(0);
  if (!in.read(bytes.data(), size)) {
    Fail(error, "cannot read " + nativePath);
    return std::nullopt;
  }
  return LoadFromMemory(bytes.data(), bytes.size(), error);
}

D3DMATRIX QuaternionMatrix(float w, float x, float y, float z) {
  D3DMATRIX m;
  m.m[0][0] = 1.0f - 2.0f * (y * y + z * z);
  m.m[1][0] = 2.0f * (x * y - z * w);
  m.m[2][0] = 2.0f * (x * z + y * w);
  m.m[0][1] = 2.0f * (x * y + z * w);
  m.m[1][1] = 1.0f - 2.0f * (x * x + z * z);
  m.m[2][1] = 2.0f * (y * z - x * w);
  m.m[0][2] = 2.0f * (x * z - y * w);
  m.m[1][2] = 2.0f * (y * z + x * w);
  m.m[2][2] = 1.0f - 2.0f * (x * x + y * y);
  m.m[3][3] = 1.0f;
  return m;
}

}  // namespace plat::xfile

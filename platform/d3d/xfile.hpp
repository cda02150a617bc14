#pragma once
// Reading `.x` model files (text or binary DirectX files) into plain data:
// the frame hierarchy with its matrices, the meshes with their materials
// and texture names, and the animation sets with their keys. Everything is
// kept in the file's own left-handed coordinates and row-vector matrices.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/d3d/d3d_types.hpp"

namespace plat::xfile {

struct Material {
  D3DCOLORVALUE faceColor{1.0f, 1.0f, 1.0f, 1.0f};
  float power = 0.0f;
  D3DCOLORVALUE specular{0.0f, 0.0f, 0.0f, 1.0f};
  D3DCOLORVALUE emissive{0.0f, 0.0f, 0.0f, 1.0f};
  std::string textureFile;  // as the file names it; empty when untextured
};

struct Mesh {
  std::vector<D3DVECTOR> positions;
  std::vector<D3DVECTOR> normals;  // one per position
  std::vector<float> uvs;          // two per position (u, v); zeros when the mesh has none
  std::vector<uint32_t> triangles; // three indices per triangle, front faces clockwise
  uint32_t material = 0;
};

struct Node {
  std::string name;
  D3DMATRIX transform;        // relative to the parent
  std::vector<uint32_t> meshes;
  std::vector<uint32_t> children;
};

struct VectorKey {
  float time = 0.0f;
  D3DVECTOR value;
};
struct QuaternionKey {
  float time = 0.0f;
  float w = 1.0f, x = 0.0f, y = 0.0f, z = 0.0f;
};

// The keys of one frame.
struct Track {
  std::string frameName;
  std::vector<VectorKey> positions;
  std::vector<QuaternionKey> rotations;
  std::vector<VectorKey> scales;
};

struct AnimationSet {
  std::string name;
  std::vector<Track> tracks;
};

struct Scene {
  std::vector<Node> nodes;  // node 0 is the root
  std::vector<Mesh> meshes;
  std::vector<Material> materials;
  std::vector<AnimationSet> animations;
};

// Bounds on what a model may hold, so a hostile file cannot exhaust memory.
constexpr size_t kMaxFileBytes = 64u * 1024u * 1024u;
constexpr size_t kMaxVertices = 4u * 1024u * 1024u;
constexpr size_t kMaxNodes = 65536;
constexpr int kMaxNesting = 256;

// The scene of a file; nothing when the file is missing, unreadable (a FIFO
// or a device is never waited on), larger than kMaxFileBytes (found before
// reading) or not a model the reader understands. 'error' receives the
// reason.
std::optional<Scene> Load(const std::string& nativePath, std::string* error = nullptr);
// The same from bytes in memory.
std::optional<Scene> LoadFromMemory(const void* data, size_t size, std::string* error = nullptr);

// A text file with each "{ Name }" of a MeshMaterialList replaced by the
// whole top-level Material block of that name. The model reader beneath
// resolves such a reference by its place in the mesh's list rather than by
// its name, so every part of a model wore the file's first material;
// written in place, each wears its own. Other
// files, and references to no top-level material, come back as they were.
std::string InlineMaterialReferences(std::string_view text);

// The scene as the reader's own process hands it over, and back. Decoding
// checks every count and index and that the frames form one tree under node
// 0: nothing when the bytes are damaged or describe no such scene.
std::vector<char> EncodeScene(const Scene& scene);
std::optional<Scene> DecodeScene(const void* data, size_t size);

// The row-vector rotation matrix of a unit quaternion of the file.
D3DMATRIX QuaternionMatrix(float w, float x, float y, float z);

}  // namespace plat::xfile

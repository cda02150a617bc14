#include "platform/d3d/xfile.hpp"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/runtime/files.hpp"

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

// A first look at the file before the reader proper: a DirectX header, and
// in a text file braces that close as they open within a sane depth, so
// a cut-off or runaway file never reaches it.
bool CheckStructure(const char* data, size_t size, std::string* error) {
  if (size < 16 || std::string_view(data, 4) != "xof ") return Fail(error, "not a DirectX model file");
  const std::string_view format(data + 8, 4);
  if (format == "bin " || format == "tzip" || format == "bzip") return true;
  if (format != "txt ") return Fail(error, "unknown model file format");
  int depth = 0;
  for (size_t i = 16; i < size; ++i) {
    const char c = data[i];
    if (c == '"') {
      while (++i < size && data[i] != '"') {
      }
      if (i >= size) return Fail(error, "a text runs to the end of the file");
    } else if (c == '#' || (c == '/' && i + 1 < size && data[i + 1] == '/')) {
      while (i < size && data[i] != '\n') ++i;
    } else if (c == '{') {
      if (++depth > kMaxNesting) return Fail(error, "frames nested too deeply");
    } else if (c == '}') {
      if (--depth < 0) return Fail(error, "a closing brace without an opening one");
    } else if (c == '\0') {
      return Fail(error, "a text model holds a zero byte");
    }
  }
  if (depth != 0) return Fail(error, "the file ends inside a block: it is cut off");
  return true;
}

// Skips a text or a comment that starts at i; true when one did.
bool SkipTextOrComment(std::string_view t, size_t& i) {
  if (t[i] == '"') {
    const size_t close = t.find('"', i + 1);
    i = close == std::string_view::npos ? t.size() : close + 1;
    return true;
  }
  if (t[i] == '#' || (t[i] == '/' && i + 1 < t.size() && t[i + 1] == '/')) {
    const size_t end = t.find('\n', i);
    i = end == std::string_view::npos ? t.size() : end + 1;
    return true;
  }
  return false;
}

bool NameChar(char c) {
  return c != '{' && c != '}' && c != ';' && c != ',' && c != '"' && c != '#' && c != '/' &&
         !std::isspace(static_cast<unsigned char>(c));
}

// The words of a block's head, the text between the previous delimiter and
// its opening brace ("Material Red", "MeshMaterialList").
std::vector<std::string_view> HeadWords(std::string_view head) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < head.size()) {
    while (i < head.size() && !NameChar(head[i])) ++i;
    const size_t from = i;
    while (i < head.size() && NameChar(head[i])) ++i;
    if (i > from) words.push_back(head.substr(from, i - from));
  }
  return words;
}

// The name of a reference block "{ Name }" that opens at i, or "".
std::string_view ReferenceAt(std::string_view t, size_t i, size_t& end) {
  size_t k = i + 1;
  while (k < t.size() && std::isspace(static_cast<unsigned char>(t[k]))) ++k;
  const size_t from = k;
  while (k < t.size() && NameChar(t[k])) ++k;
  const std::string_view name = t.substr(from, k - from);
  while (k < t.size() && std::isspace(static_cast<unsigned char>(t[k]))) ++k;
  if (name.empty() || k >= t.size() || t[k] != '}') return {};
  end = k + 1;
  return name;
}

}  // namespace

std::string InlineMaterialReferences(std::string_view text) {
  if (text.size() < 16 || text.substr(0, 4) != "xof " || text.substr(8, 4) != "txt ") return std::string(text);
  // Blocks seen from the outside in: the head's first word, and where the
  // head started.
  struct Open {
    std::string_view kind, name;
    size_t from;
  };
  std::vector<Open> open;
  std::vector<std::pair<std::string_view, std::string_view>> materials;  // top-level, by name
  struct Reference {
    size_t from, to;
    std::string_view name;
  };
  std::vector<Reference> references;
  size_t headFrom = 16;
  for (size_t i = 16; i < text.size();) {
    if (SkipTextOrComment(text, i)) continue;
    const char c = text[i];
    if (c == '{') {
      size_t end = 0;
      const std::string_view name = ReferenceAt(text, i, end);
      if (!name.empty() && !open.empty() && open.back().kind == "MeshMaterialList") {
        // Materials are looked up when the whole file is known: a file may
        // name one before it defines it.
        references.push_back({i, end, name});
        i = end;
        headFrom = i;
        continue;
      }
      const std::vector<std::string_view> words = HeadWords(text.substr(headFrom, i - headFrom));
      size_t from = headFrom;
      while (from < i && !NameChar(text[from])) ++from;
      open.push_back({words.empty() ? std::string_view{} : words[0],
                      words.size() > 1 ? words[1] : std::string_view{}, from});
      headFrom = ++i;
    } else if (c == '}') {
      if (open.empty()) return std::string(text);
      const Open block = open.back();
      open.pop_back();
      if (open.empty() && block.kind == "Material" && !block.name.empty())
        materials.emplace_back(block.name, text.substr(block.from, i + 1 - block.from));
      headFrom = ++i;
    } else {
      if (c == ';' || c == ',') headFrom = i + 1;
      ++i;
    }
  }
  if (references.empty() || materials.empty()) return std::string(text);
  std::string out;
  size_t copied = 0;
  for (const Reference& r : references) {
    std::string_view block;
    for (const auto& [name, whole] : materials)
      if (name == r.name) block = whole;
    if (block.empty()) continue;  // the reader says what it makes of it
    // Many references to one large material must not make a file larger
    // than any the reader takes.
    if (out.size() + (r.from - copied) + block.size() > kMaxFileBytes) return std::string(text);
    out.append(text.substr(copied, r.from - copied));
    out.append(block);
    copied = r.to;
  }
  out.append(text.substr(copied));
  return out;
}

namespace {

std::optional<Scene> ReadInProcess(const void* data, size_t size, std::string* error) {
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

// ------------------------------------------------ the scene through a pipe

class Writer {
 public:
  void U32(uint32_t v) { Raw(&v, sizeof v); }
  void F32(float v) { Raw(&v, sizeof v); }
  void Text(const std::string& s) {
    U32(static_cast<uint32_t>(s.size()));
    Raw(s.data(), s.size());
  }
  void Vector(const D3DVECTOR& v) { Raw(&v, sizeof v); }
  void Colour(const D3DCOLORVALUE& c) { Raw(&c, sizeof c); }
  template <typename T>
  void Array(const std::vector<T>& v) {
    U32(static_cast<uint32_t>(v.size()));
    Raw(v.data(), v.size() * sizeof(T));
  }
  std::vector<char> bytes;

 private:
  void Raw(const void* p, size_t n) {
    if (n == 0) return;
    const char* c = static_cast<const char*>(p);
    bytes.insert(bytes.end(), c, c + n);
  }
};

// Reads what Writer wrote; every count is checked against what is left, so
// a cut-off message fails instead of allocating or reading past its end.
class Reader {
 public:
  Reader(const char* p, size_t n) : p_(p), end_(p + n) {}
  bool U32(uint32_t& v) { return Raw(&v, sizeof v); }
  bool F32(float& v) { return Raw(&v, sizeof v); }
  bool Text(std::string& s) {
    uint32_t n;
    if (!U32(n) || n > Left()) return false;
    s.assign(p_, n);
    p_ += n;
    return true;
  }
  bool Vector(D3DVECTOR& v) { return Raw(&v, sizeof v); }
  bool Colour(D3DCOLORVALUE& c) { return Raw(&c, sizeof c); }
  template <typename T>
  bool Array(std::vector<T>& v) {
    uint32_t n;
    if (!U32(n) || n > Left() / sizeof(T)) return false;
    v.resize(n);
    return Raw(v.data(), static_cast<size_t>(n) * sizeof(T));
  }
  // A count of items of at least 'minimum' bytes each.
  bool Count(uint32_t& n, size_t minimum) { return U32(n) && n <= Left() / minimum; }
  bool AtEnd() const { return p_ == end_; }

 private:
  size_t Left() const { return static_cast<size_t>(end_ - p_); }
  bool Raw(void* out, size_t n) {
    if (n > Left()) return false;
    if (n == 0) return true;
    std::memcpy(out, p_, n);
    p_ += n;
    return true;
  }
  const char* p_;
  const char* end_;
};

void Write(Writer& w, const Scene& s) {
  w.U32(static_cast<uint32_t>(s.nodes.size()));
  for (const Node& n : s.nodes) {
    w.Text(n.name);
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) w.F32(n.transform.m[r][c]);
    w.Array(n.meshes);
    w.Array(n.children);
  }
  w.U32(static_cast<uint32_t>(s.meshes.size()));
  for (const Mesh& m : s.meshes) {
    w.Array(m.positions);
    w.Array(m.normals);
    w.Array(m.uvs);
    w.Array(m.triangles);
    w.U32(m.material);
  }
  w.U32(static_cast<uint32_t>(s.materials.size()));
  for (const Material& m : s.materials) {
    w.Colour(m.faceColor);
    w.F32(m.power);
    w.Colour(m.specular);
    w.Colour(m.emissive);
    w.Text(m.textureFile);
  }
  w.U32(static_cast<uint32_t>(s.animations.size()));
  for (const AnimationSet& a : s.animations) {
    w.Text(a.name);
    w.U32(static_cast<uint32_t>(a.tracks.size()));
    for (const Track& t : a.tracks) {
      w.Text(t.frameName);
      w.Array(t.positions);
      w.Array(t.rotations);
      w.Array(t.scales);
    }
  }
}

bool Read(Reader& r, Scene& s) {
  uint32_t n;
  if (!r.Count(n, 4 * 4 + 16 * 4) || n == 0 || n > kMaxNodes) return false;
  s.nodes.resize(n);
  for (Node& node : s.nodes) {
    if (!r.Text(node.name)) return false;
    for (int i = 0; i < 4; ++i)
      for (int c = 0; c < 4; ++c)
        if (!r.F32(node.transform.m[i][c])) return false;
    if (!r.Array(node.meshes) || !r.Array(node.children)) return false;
  }
  size_t vertices = 0;
  if (!r.Count(n, 5 * 4)) return false;
  s.meshes.resize(n);
  for (Mesh& m : s.meshes) {
    if (!r.Array(m.positions) || !r.Array(m.normals) || !r.Array(m.uvs) || !r.Array(m.triangles) || !r.U32(m.material))
      return false;
    vertices += m.positions.size();
    if (vertices > kMaxVertices || m.normals.size() != m.positions.size() || m.uvs.size() != 2 * m.positions.size() ||
        m.triangles.size() % 3 != 0)
      return false;
    for (uint32_t i : m.triangles)
      if (i >= m.positions.size()) return false;
  }
  if (!r.Count(n, 13 * 4 + 4) || n == 0) return false;
  s.materials.resize(n);
  for (Material& m : s.materials)
    if (!r.Colour(m.faceColor) || !r.F32(m.power) || !r.Colour(m.specular) || !r.Colour(m.emissive) ||
        !r.Text(m.textureFile))
      return false;
  for (const Mesh& m : s.meshes)
    if (m.material >= s.materials.size()) return false;
  // The frames must form one tree under node 0: every other node the child
  // of exactly one node, so no walk of the frames runs in a circle.
  std::vector<bool> reached(s.nodes.size(), false);
  reached[0] = true;
  std::vector<uint32_t> pending{0};
  size_t reachedCount = 1;
  while (!pending.empty()) {
    const Node& node = s.nodes[pending.back()];
    pending.pop_back();
    for (uint32_t c : node.children) {
      if (c >= s.nodes.size() || reached[c]) return false;
      reached[c] = true;
      ++reachedCount;
      pending.push_back(c);
    }
    for (uint32_t m : node.meshes)
      if (m >= s.meshes.size()) return false;
  }
  if (reachedCount != s.nodes.size()) return false;
  if (!r.Count(n, 8)) return false;
  s.animations.resize(n);
  for (AnimationSet& a : s.animations) {
    uint32_t tracks;
    if (!r.Text(a.name) || !r.Count(tracks, 16)) return false;
    a.tracks.resize(tracks);
    for (Track& t : a.tracks)
      if (!r.Text(t.frameName) || !r.Array(t.positions) || !r.Array(t.rotations) || !r.Array(t.scales)) return false;
  }
  return r.AtEnd();
}

// How long a model may take to read before the reader is given up.
constexpr int kReadSeconds = 20;

// assimp reads the file in a child process: a file that makes it crash or
// hang costs the child, not the game.
std::optional<Scene> ReadIsolated(const void* data, size_t size, std::string* error) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    Fail(error, "cannot start the model reader");
    return std::nullopt;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    Fail(error, "cannot start the model reader");
    return std::nullopt;
  }
  if (pid == 0) {
    close(fds[0]);
    std::string why;
    const std::optional<Scene> scene = ReadInProcess(data, size, &why);
    Writer w;
    w.U32(scene ? 1u : 0u);
    if (scene)
      Write(w, *scene);
    else
      w.Text(why);
    size_t done = 0;
    while (done < w.bytes.size()) {
      const ssize_t k = write(fds[1], w.bytes.data() + done, w.bytes.size() - done);
      if (k <= 0 && errno != EINTR) break;
      if (k > 0) done += static_cast<size_t>(k);
    }
    _exit(done == w.bytes.size() ? 0 : 1);
  }
  close(fds[1]);
  std::vector<char> bytes;
  bool timedOut = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kReadSeconds);
  char buf[65536];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      timedOut = ready == 0;
      break;
    }
    const ssize_t k = read(fds[0], buf, sizeof buf);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) break;
    bytes.insert(bytes.end(), buf, buf + k);
  }
  close(fds[0]);
  if (timedOut) kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    Fail(error, timedOut ? "the model reader took too long on this file" : "the model reader failed on this file");
    return std::nullopt;
  }
  Reader r(bytes.data(), bytes.size());
  uint32_t ok = 0;
  if (!r.U32(ok)) {
    Fail(error, "the model reader gave no answer");
    return std::nullopt;
  }
  if (!ok) {
    std::string why;
    Fail(error, r.Text(why) ? why : "the model reader failed on this file");
    return std::nullopt;
  }
  Scene scene;
  if (!Read(r, scene)) {
    Fail(error, "the model reader's answer is damaged");
    return std::nullopt;
  }
  return scene;
}

}  // namespace

std::vector<char> EncodeScene(const Scene& scene) {
  Writer w;
  Write(w, scene);
  return std::move(w.bytes);
}

std::optional<Scene> DecodeScene(const void* data, size_t size) {
  Reader r(static_cast<const char*>(data), data ? size : 0);
  Scene scene;
  if (!Read(r, scene)) return std::nullopt;
  return scene;
}

std::optional<Scene> LoadFromMemory(const void* data, size_t size, std::string* error) {
  if (!data || size == 0) {
    Fail(error, "the file is empty");
    return std::nullopt;
  }
  if (size > kMaxFileBytes) {
    Fail(error, "the file is too large");
    return std::nullopt;
  }
  if (!CheckStructure(static_cast<const char*>(data), size, error)) return std::nullopt;
  const std::string text = InlineMaterialReferences(std::string_view(static_cast<const char*>(data), size));
  return ReadIsolated(text.data(), text.size(), error);
}

std::optional<Scene> Load(const std::string& nativePath, std::string* error) {
  // Never waits on a FIFO or a device, and never reads past the bound.
  int cause = 0;
  const std::optional<std::vector<uint8_t>> bytes = ReadAllBytes(nativePath, &cause, kMaxFileBytes);
  if (!bytes) {
    Fail(error, cause == kTooLargeToRead ? "the file is too large"
                                         : "cannot open " + nativePath + ": " + SystemErrorText(cause));
    return std::nullopt;
  }
  return LoadFromMemory(bytes->data(), bytes->size(), error);
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

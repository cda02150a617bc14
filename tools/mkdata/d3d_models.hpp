#pragma once
// Small text `.x` models: a textured cube and an animated walker (a body
// with two arms, moved by matrix keys over times 0 to 40). Numbers are
// written with a decimal point, as model readers want them in matrices and
// keys. Shared by the sample data writer and the tests.
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace mkdata::models {

inline std::string Num(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6f", static_cast<double>(v));
  return buf;
}

// A row-vector matrix of 16 numbers, as FrameTransformMatrix and matrix
// keys hold them.
using Matrix = std::array<float, 16>;

inline Matrix Translation(float x, float y, float z) { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1}; }

// A turn about the x axis, then a move.
inline Matrix TurnXThenMove(float angle, float x, float y, float z) {
  const float c = std::cos(angle), s = std::sin(angle);
  return {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, x, y, z, 1};
}

inline std::string MatrixText(const Matrix& m) {
  std::string out;
  for (size_t i = 0; i < m.size(); ++i) out += Num(m[i]) + (i + 1 < m.size() ? "," : ";;");
  return out;
}

inline std::string MaterialText(const std::string& name, float r, float g, float b, const std::string& texture) {
  std::string out = "Material " + name + " {\n " + Num(r) + ";" + Num(g) + ";" + Num(b) + ";" + Num(1) + ";;\n " +
                    Num(0) + ";\n " + Num(0) + ";" + Num(0) + ";" + Num(0) + ";;\n " + Num(0) + ";" + Num(0) + ";" +
                    Num(0) + ";;\n";
  if (!texture.empty()) out += " TextureFilename {\n  \"" + texture + "\";\n }\n";
  return out + "}\n\n";
}

// A box mesh: centre, half sizes, four corners per face with outward
// normals and the whole texture on every face, upright on the four sides;
// faces run clockwise seen from outside. A model that is turned on loading
// so that its z axis points down is written turned down: a point (x, y, z)
// as (x, z, -y), so its pictures still stand upright once it is placed.
inline std::string BoxMeshText(const std::string& name, const std::array<float, 3>& centre,
                               const std::array<float, 3>& half, const std::string& material,
                               bool turnedDown = false) {
  struct V {
    float p[3], n[3], uv[2];
  };
  std::vector<V> verts;
  const float normals[6][3] = {{0, 0, -1}, {0, 0, 1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
  const float ups[6][3] = {{0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, -1}};
  for (int f = 0; f < 6; ++f) {
    const float* n = normals[f];
    const float* u = ups[f];
    // Right as seen from outside: n x up.
    const float r[3] = {n[1] * u[2] - n[2] * u[1], n[2] * u[0] - n[0] * u[2], n[0] * u[1] - n[1] * u[0]};
    const float corners[4][3] = {{-1, 1, 0}, {1, 1, 0}, {1, -1, 0}, {-1, -1, 0}};  // (right, up) signs
    const float uvs[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int k = 0; k < 4; ++k) {
      V v{};
      for (int a = 0; a < 3; ++a)
        v.p[a] = centre[static_cast<size_t>(a)] +
                 (n[a] + r[a] * corners[k][0] + u[a] * corners[k][1]) * half[static_cast<size_t>(a)];
      for (int a = 0; a < 3; ++a) v.n[a] = n[a];
      if (turnedDown) {
        for (float* w : {v.p, v.n}) {
          const float y = w[1];
          w[1] = w[2];
          w[2] = -y;
        }
      }
      v.uv[0] = uvs[k][0];
      v.uv[1] = uvs[k][1];
      verts.push_back(v);
    }
  }
  std::string out = " Mesh " + name + " {\n  " + std::to_string(verts.size()) + ";\n";
  for (size_t i = 0; i < verts.size(); ++i)
    out += "  " + Num(verts[i].p[0]) + ";" + Num(verts[i].p[1]) + ";" + Num(verts[i].p[2]) +
           (i + 1 < verts.size() ? ";,\n" : ";;\n");
  auto faces = [] {
    std::string f = "  12;\n";
    for (int q = 0; q < 6; ++q) {
      const int b = q * 4;
      f += "  3;" + std::to_string(b) + "," + std::to_string(b + 1) + "," + std::to_string(b + 2) + ";,\n";
      f += "  3;" + std::to_string(b) + "," + std::to_string(b + 2) + "," + std::to_string(b + 3) +
           (q == 5 ? ";;\n" : ";,\n");
    }
    return f;
  };
  out += faces();
  out += "  MeshNormals {\n   " + std::to_string(verts.size()) + ";\n";
  for (size_t i = 0; i < verts.size(); ++i)
    out += "   " + Num(verts[i].n[0]) + ";" + Num(verts[i].n[1]) + ";" + Num(verts[i].n[2]) +
           (i + 1 < verts.size() ? ";,\n" : ";;\n");
  out += faces() + "  }\n";
  out += "  MeshTextureCoords {\n   " + std::to_string(verts.size()) + ";\n";
  for (size_t i = 0; i < verts.size(); ++i)
    out += "   " + Num(verts[i].uv[0]) + ";" + Num(verts[i].uv[1]) + (i + 1 < verts.size() ? ";,\n" : ";;\n");
  out += "  }\n  MeshMaterialList {\n   1;\n   12;\n";
  for (int i = 0; i < 12; ++i) out += std::string("   0") + (i < 11 ? ",\n" : ";;\n");
  out += "   { " + material + " }\n  }\n }\n";
  return out;
}

// A cube from -half to +half on every axis, with the texture on each face.
inline std::string CubeX(const std::string& texture, float half = 1.0f) {
  return "xof 0302txt 0032\n\n" + MaterialText("CrateMaterial", 1, 1, 1, texture) + "Frame Cube {\n FrameTransformMatrix {\n  " +
         MatrixText(Translation(0, 0, 0)) + "\n }\n" + BoxMeshText("CubeMesh", {0, 0, 0}, {half, half, half}, "CrateMaterial") +
         "}\n";
}

// Where the walker's body stands at a key time: it walks 4 units along x
// over the times 0 to 40.
inline float WalkerBodyX(float time) { return time / 10.0f; }
// How far the left arm swings (about x) at a key time: forward at 10, back
// at 30; the right arm swings the other way.
inline float WalkerArmAngle(float time) { return 0.5f * std::sin(time / 40.0f * 2.0f * 3.14159265f); }

inline std::string WalkerX(const std::string& texture) {
  std::string out = "xof 0302txt 0032\n\n" + MaterialText("WalkerMaterial", 0.9f, 0.9f, 1.0f, texture);
  out += "Frame Body {\n FrameTransformMatrix {\n  " + MatrixText(Translation(0, 0, 0)) + "\n }\n";
  out += BoxMeshText("BodyMesh", {0, 1.5f, 0}, {0.6f, 1.0f, 0.4f}, "WalkerMaterial");
  for (const char* side : {"ArmL", "ArmR"}) {
    const float x = side[3] == 'L' ? -0.9f : 0.9f;
    out += " Frame " + std::string(side) + " {\n  FrameTransformMatrix {\n   " + MatrixText(Translation(x, 2.3f, 0)) +
           "\n  }\n" + BoxMeshText(std::string(side) + "Mesh", {0, -0.7f, 0}, {0.2f, 0.7f, 0.2f}, "WalkerMaterial") +
           " }\n";
  }
  out += "}\n\nAnimationSet Walk {\n";
  auto animation = [&](const std::string& name, const std::string& frame, auto matrixAt) {
    std::string a = " Animation " + name + " {\n  { " + frame + " }\n  AnimationKey {\n   4;\n   5;\n";
    for (int k = 0; k <= 4; ++k) {
      const float t = static_cast<float>(k * 10);
      a += "   " + std::to_string(k * 10) + ";16;" + MatrixText(matrixAt(t)) + (k < 4 ? ",\n" : ";\n");
    }
    return a + "  }\n }\n";
  };
  out += animation("WalkBody", "Body", [](float t) { return Translation(WalkerBodyX(t), 0, 0); });
  out += animation("WalkArmL", "ArmL", [](float t) { return TurnXThenMove(WalkerArmAngle(t), -0.9f, 2.3f, 0); });
  out += animation("WalkArmR", "ArmR", [](float t) { return TurnXThenMove(-WalkerArmAngle(t), 0.9f, 2.3f, 0); });
  return out + "}\n";
}

}  // namespace mkdata::models

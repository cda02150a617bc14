// The sample hall's models stand where its pick areas point: looking from
// the hall's camera at the middle of each area's angles, the first thing the
// look meets (floor markings aside) is that area's booth, arm, door or
// platform.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/globals.hpp"
#include "factory/hall_view.hpp"
#include "platform/d3d/xfile.hpp"
#include "platform/runtime/files.hpp"
#include "tests/factory/factory_fixture.hpp"

namespace {

struct Box {
  plat::D3DVECTOR lo, hi;
};

// A hall model's meshes as boxes in the scene: the hall turns its models so
// that a file point (x, y, z) stands at (x, -z, y), then places them.
std::vector<Box> ModelBoxes(const std::string& file, plat::D3DVECTOR at) {
  fw::DataPack->Extract(file);
  const auto scene = plat::xfile::Load(plat::NativePath(fw::DataPack->TempPath + file));
  std::vector<Box> boxes;
  if (!scene) return boxes;
  for (const auto& mesh : scene->meshes) {
    constexpr float kBig = std::numeric_limits<float>::max();
    Box b{{kBig, kBig, kBig}, {-kBig, -kBig, -kBig}};
    for (const auto& p : mesh.positions) {
      const plat::D3DVECTOR s{p.x + at.x, -p.z + at.y, p.y + at.z};
      b.lo = {std::min(b.lo.x, s.x), std::min(b.lo.y, s.y), std::min(b.lo.z, s.z)};
      b.hi = {std::max(b.hi.x, s.x), std::max(b.hi.y, s.y), std::max(b.hi.z, s.z)};
    }
    // Stripes painted on the floor are no counter to look at.
    if (b.hi.y - b.lo.y >= 0.5f) boxes.push_back(b);
  }
  return boxes;
}

// Distance along the ray to the box, or infinity.
float Hit(const plat::D3DVECTOR& o, const plat::D3DVECTOR& d, const Box& b) {
  float t0 = 0, t1 = std::numeric_limits<float>::max();
  const float os[] = {o.x, o.y, o.z}, ds[] = {d.x, d.y, d.z}, lo[] = {b.lo.x, b.lo.y, b.lo.z},
              hi[] = {b.hi.x, b.hi.y, b.hi.z};
  for (int k = 0; k < 3; ++k) {
    if (std::abs(ds[k]) < 1e-6f) {
      if (os[k] < lo[k] || os[k] > hi[k]) return std::numeric_limits<float>::infinity();
      continue;
    }
    float a = (lo[k] - os[k]) / ds[k], c = (hi[k] - os[k]) / ds[k];
    if (a > c) std::swap(a, c);
    t0 = std::max(t0, a), t1 = std::min(t1, c);
  }
  return t0 <= t1 ? t0 : std::numeric_limits<float>::infinity();
}

TEST(SampleHall, EachPickAreaLooksAtItsOwnModel) {
  if (!std::filesystem::exists(fwtest::MkdataPath())) GTEST_SKIP() << "mkdata is not built";
  fwtest::TempProgramFolder folder;
  fwtest::OpenSampleFactory();
  struct Model {
    const char* file;
    plat::D3DVECTOR at;  // where the hall places it
  };
  const Model models[] = {{"Weapon.x", {0, 0, 0}},    {"Engine.x", {0, 0, 0}},    {"Shield.x", {0, 0, 0}},
                          {"Reactor.x", {0, 0, 0}},   {"arm.x", {-20, 0, 7}},     {"exit.x", {-20, 0, 7}},
                          {"tank.x", {5.6f, 0, 7}},   {"tankPP.x", {5.6f, 0, 7}}};
  std::vector<std::vector<Box>> boxes;
  for (const Model& m : models) {
    boxes.push_back(ModelBoxes(m.file, m.at));
    ASSERT_FALSE(boxes.back().empty()) << m.file;
  }
  // The middle of each area's angles, and the model that must be met there.
  const struct {
    const char* area;
    float yaw, pitch;
    const char* model;
  } looks[] = {{"Weap", 27.5f, 274.5f, "Weapon.x"},    {"ReA", 343, 276, "Reactor.x"},
               {"Shd", 153, 275.5f, "Shield.x"},       {"Eng", 197.5f, 275, "Engine.x"},
               {"EQUTank", 286, 305.5f, "arm.x"},      {"EXITOUT", 89, 275, "exit.x"},
               {"Tank", 95, 310.5f, "tank.x"}};
  const plat::D3DVECTOR camera{-8.8f, 11.0f, 6.0f};
  for (const auto& l : looks) {
    SCOPED_TRACE(l.area);
    ASSERT_EQ(fw::HitTestArea(l.yaw, l.pitch), l.area);
    const float yaw = l.yaw * 3.14159265f / 180.0f, down = (l.pitch + 90.0f - 360.0f) * 3.14159265f / 180.0f;
    const plat::D3DVECTOR dir{std::sin(yaw) * std::cos(down), -std::sin(down), std::cos(yaw) * std::cos(down)};
    float nearest = std::numeric_limits<float>::infinity();
    std::string met = "nothing";
    for (size_t m = 0; m < std::size(models); ++m)
      for (const Box& b : boxes[m]) {
        const float t = Hit(camera, dir, b);
        if (t < nearest) nearest = t, met = models[m].file;
      }
    // The platform's turning table counts as the platform.
    EXPECT_EQ(met == "tankPP.x" ? "tank.x" : met, l.model);
  }
  fw::DataPack.Release();
}

// Every upright face of the booths shows its picture upright and unmirrored
// to a player who faces it: on each triangle, u grows to the viewer's right
// and v downwards, whichever way the face looks.
TEST(SampleHall, SignboardsReadUprightFromEverySide) {
  if (!std::filesystem::exists(fwtest::MkdataPath())) GTEST_SKIP() << "mkdata is not built";
  fwtest::TempProgramFolder folder;
  fwtest::OpenSampleFactory();
  auto hall = [](const plat::D3DVECTOR& p) { return plat::D3DVECTOR{p.x, -p.z, p.y}; };
  auto dot = [](const plat::D3DVECTOR& a, const plat::D3DVECTOR& b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
  for (const char* file : {"Weapon.x", "Engine.x", "Shield.x", "Reactor.x"}) {
    SCOPED_TRACE(file);
    fw::DataPack->Extract(file);
    const auto scene = plat::xfile::Load(plat::NativePath(fw::DataPack->TempPath + file));
    ASSERT_TRUE(scene);
    int upright = 0;
    for (const auto& mesh : scene->meshes)
      for (size_t t = 0; t + 2 < mesh.triangles.size(); t += 3) {
        const uint32_t i0 = mesh.triangles[t], i1 = mesh.triangles[t + 1], i2 = mesh.triangles[t + 2];
        const plat::D3DVECTOR n = hall(mesh.normals[i0]);
        if (std::abs(n.y) > 0.1f) continue;  // tops and bottoms
        const plat::D3DVECTOR right{-n.z, 0, n.x}, up{0, 1, 0};
        const plat::D3DVECTOR p0 = hall(mesh.positions[i0]), p1 = hall(mesh.positions[i1]),
                              p2 = hall(mesh.positions[i2]);
        const plat::D3DVECTOR e1{p1.x - p0.x, p1.y - p0.y, p1.z - p0.z}, e2{p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
        // The texture's gradient in the face's (right, up) plane.
        const float a1 = dot(e1, right), b1 = dot(e1, up), a2 = dot(e2, right), b2 = dot(e2, up);
        const float det = a1 * b2 - a2 * b1;
        ASSERT_GT(std::abs(det), 1e-6f);
        auto gradient = [&](int k) {
          const float d1 = mesh.uvs[2 * i1 + k] - mesh.uvs[2 * i0 + k], d2 = mesh.uvs[2 * i2 + k] - mesh.uvs[2 * i0 + k];
          return std::pair{(d1 * b2 - d2 * b1) / det, (a1 * d2 - a2 * d1) / det};
        };
        const auto [uRight, uUp] = gradient(0);
        const auto [vRight, vUp] = gradient(1);
        EXPECT_GT(uRight, 0.0f);
        EXPECT_NEAR(uUp, 0.0f, 1e-4f);
        EXPECT_LT(vUp, 0.0f);
        EXPECT_NEAR(vRight, 0.0f, 1e-4f);
        ++upright;
      }
    EXPECT_GE(upright, 3 * 4 * 2);  // the sides of the counter, its top and its base
  }
  fw::DataPack.Release();
}

}  // namespace

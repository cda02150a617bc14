// The sample hall's models stand where its pick areas point: looking from
// the hall's camera at the middle of each area's angles, the first thing the
// look meets (floor markings aside) is that area's booth, arm, door or
// platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "engine/globals.hpp"
#include "factory/hall_view.hpp"
#include "factory/robots.hpp"
#include "platform/d3d/d3d_math.hpp"
#include "platform/d3d/xfile.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/random.hpp"
#include "tests/factory/factory_fixture.hpp"

namespace {

struct Box {
  plat::D3DVECTOR lo, hi;
};

// A mesh of a hall model as a box in the scene: the hall turns its models
// so that a file point (x, y, z) stands at (x, -z, y), then places them.
Box MeshBox(const plat::xfile::Mesh& mesh, plat::D3DVECTOR at) {
  constexpr float kBig = std::numeric_limits<float>::max();
  Box b{{kBig, kBig, kBig}, {-kBig, -kBig, -kBig}};
  for (const auto& p : mesh.positions) {
    const plat::D3DVECTOR s{p.x + at.x, -p.z + at.y, p.y + at.z};
    b.lo = {std::min(b.lo.x, s.x), std::min(b.lo.y, s.y), std::min(b.lo.z, s.z)};
    b.hi = {std::max(b.hi.x, s.x), std::max(b.hi.y, s.y), std::max(b.hi.z, s.z)};
  }
  return b;
}

std::optional<plat::xfile::Scene> HallModel(const std::string& file) {
  fw::DataPack->Extract(file);
  return plat::xfile::Load(plat::NativePath(fw::DataPack->TempPath + file));
}

std::vector<Box> ModelBoxes(const std::string& file, plat::D3DVECTOR at) {
  std::vector<Box> boxes;
  const auto scene = HallModel(file);
  if (!scene) return boxes;
  for (const auto& mesh : scene->meshes) {
    const Box b = MeshBox(mesh, at);
    // Stripes painted on the floor are no counter to look at.
    if (b.hi.y - b.lo.y >= 0.5f) boxes.push_back(b);
  }
  return boxes;
}

// The box of the mesh that wears a lettered sign.
std::optional<Box> SignBox(const std::string& file, plat::D3DVECTOR at) {
  const auto scene = HallModel(file);
  if (!scene) return std::nullopt;
  for (const auto& mesh : scene->meshes) {
    const std::string& texture = scene->materials.at(mesh.material).textureFile;
    if (texture.size() >= 8 && texture.compare(texture.size() - 8, 8, "Sign.bmp") == 0) return MeshBox(mesh, at);
  }
  return std::nullopt;
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

// The hall's fixed models that stand up from the floor, and where the hall
// places them.
struct PlacedModel {
  const char* file;
  plat::D3DVECTOR at;
};
const PlacedModel kPlacedModels[] = {{"Weapon.x", {0, 0, 0}},  {"Engine.x", {0, 0, 0}}, {"Shield.x", {0, 0, 0}},
                                     {"Reactor.x", {0, 0, 0}}, {"arm.x", {-20, 0, 7}},  {"exit.x", {-20, 0, 7}},
                                     {"tank.x", {5.6f, 0, 7}}, {"tankPP.x", {5.6f, 0, 7}}};

TEST(SampleHall, EachPickAreaLooksAtItsOwnModel) {
  if (!std::filesystem::exists(fwtest::MkdataPath())) GTEST_SKIP() << "mkdata is not built";
  fwtest::TempProgramFolder folder;
  fwtest::OpenSampleFactory();
  const auto& models = kPlacedModels;
  std::vector<std::vector<Box>> boxes;
  for (const PlacedModel& m : models) {
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

// The tank platform and the assembly arm are looked down on, not met at the
// level as the booths are: each wears a lettered board that shows whole and
// unhidden wherever the camera looks, between the top and the bottom of the
// area's pitches, when it turns to the station to pick it.
TEST(SampleHall, ThePlatformAndTheArmShowTheirBoardsWhereTheyArePicked) {
  if (!std::filesystem::exists(fwtest::MkdataPath())) GTEST_SKIP() << "mkdata is not built";
  fwtest::TempProgramFolder folder;
  fwtest::OpenSampleFactory();
  std::vector<Box> all;
  for (const PlacedModel& m : kPlacedModels) {
    const auto boxes = ModelBoxes(m.file, m.at);
    all.insert(all.end(), boxes.begin(), boxes.end());
  }
  const plat::D3DVECTOR camera{-8.8f, 11.0f, 6.0f};
  const struct {
    const char* area;
    const char* file;
    plat::D3DVECTOR at;
    float yaw, pitchFrom, pitchTo;
  } stations[] = {{"Tank", "tank.x", {5.6f, 0, 7}, 95, 298, 323}, {"EQUTank", "arm.x", {-20, 0, 7}, 286, 297, 314}};
  for (const auto& s : stations) {
    SCOPED_TRACE(s.area);
    const std::optional<Box> board = SignBox(s.file, s.at);
    ASSERT_TRUE(board) << "no lettered board";
    // Clear of the turning table's corners, which would cut through it.
    for (const Box& table : ModelBoxes("tankPP.x", {5.6f, 0, 7})) {
      const float reach = std::hypot(std::max(std::abs(table.lo.x - 5.6f), std::abs(table.hi.x - 5.6f)),
                                     std::max(std::abs(table.lo.z - 7), std::abs(table.hi.z - 7)));
      const float nearX = std::clamp(5.6f, board->lo.x, board->hi.x), nearZ = std::clamp(7.0f, board->lo.z, board->hi.z);
      const bool aboveOrBelow = board->lo.y >= table.hi.y || board->hi.y <= table.lo.y;
      EXPECT_TRUE(aboveOrBelow || std::hypot(nearX - 5.6f, nearZ - 7) > reach);
    }
    // Its face towards the camera across its thin side.
    const bool thinX = board->hi.x - board->lo.x < board->hi.z - board->lo.z;
    for (float pitch : {s.pitchFrom, (s.pitchFrom + s.pitchTo) / 2, s.pitchTo}) {
      SCOPED_TRACE(pitch);
      ASSERT_EQ(fw::HitTestArea(s.yaw, pitch), s.area);
      const float yaw = s.yaw * 3.14159265f / 180.0f, down = (pitch + 90.0f - 360.0f) * 3.14159265f / 180.0f;
      const plat::D3DVECTOR forward{std::sin(yaw) * std::cos(down), -std::sin(down), std::cos(yaw) * std::cos(down)},
          right{std::cos(yaw), 0, -std::sin(yaw)},
          up{std::sin(yaw) * std::sin(down), std::cos(down), std::cos(yaw) * std::sin(down)};
      for (float a : {0.02f, 0.5f, 0.98f})
        for (float b : {0.02f, 0.5f, 0.98f}) {
          plat::D3DVECTOR p{0, board->lo.y + b * (board->hi.y - board->lo.y), 0};
          if (thinX) {
            p.x = std::abs(board->lo.x - camera.x) < std::abs(board->hi.x - camera.x) ? board->lo.x : board->hi.x;
            p.z = board->lo.z + a * (board->hi.z - board->lo.z);
          } else {
            p.z = std::abs(board->lo.z - camera.z) < std::abs(board->hi.z - camera.z) ? board->lo.z : board->hi.z;
            p.x = board->lo.x + a * (board->hi.x - board->lo.x);
          }
          const plat::D3DVECTOR v{p.x - camera.x, p.y - camera.y, p.z - camera.z};
          const float depth = plat::Dot(v, forward);
          ASSERT_GT(depth, 1.0f);
          // The hall's view: 640 x 480 pixels, 640 to a unit of depth.
          EXPECT_LE(std::abs(plat::Dot(v, right) / depth), 0.5f) << a << "," << b;
          EXPECT_LE(std::abs(plat::Dot(v, up) / depth), 240.0f / 640.0f) << a << "," << b;
          // Nothing stands between the camera and the board.
          const float length = std::sqrt(plat::Dot(v, v));
          const plat::D3DVECTOR dir{v.x / length, v.y / length, v.z / length};
          for (const Box& other : all) EXPECT_GE(Hit(camera, dir, other), length - 0.05f) << a << "," << b;
        }
    }
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
  for (const char* file : {"Weapon.x", "Engine.x", "Shield.x", "Reactor.x", "tank.x", "arm.x"}) {
    SCOPED_TRACE(file);
    const auto scene = HallModel(file);
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
        const float a1 = plat::Dot(e1, right), b1 = plat::Dot(e1, up), a2 = plat::Dot(e2, right), b2 = plat::Dot(e2, up);
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

// Robots that swing round one another wander far off their ways, the far
// station's well beyond its rectangle: the hall's floor and walls hold
// every robot's body wherever the walks of many seeds take it.
TEST(SampleHall, TheWallsHoldTheRobotsWhereverTheyWander) {
  if (!std::filesystem::exists(fwtest::MkdataPath())) GTEST_SKIP() << "mkdata is not built";
  fwtest::TempProgramFolder folder;
  fwtest::OpenSampleFactory();
  const std::vector<Box> hall = ModelBoxes("maintenance.x", {0, 0, 0});
  ASSERT_FALSE(hall.empty());
  const Box& floor = hall.front();
  Box inside = floor;  // between the walls that stand on the floor
  for (const Box& wall : hall) {
    if (wall.lo.y < floor.hi.y - 0.01f || wall.hi.y - wall.lo.y < 10) continue;
    if (wall.hi.x - wall.lo.x < 2) {
      if (wall.hi.x < 0) inside.lo.x = std::max(inside.lo.x, wall.hi.x);
      else inside.hi.x = std::min(inside.hi.x, wall.lo.x);
    } else if (wall.hi.z - wall.lo.z < 2) {
      if (wall.hi.z < 0) inside.lo.z = std::max(inside.lo.z, wall.hi.z);
      else inside.hi.z = std::min(inside.hi.z, wall.lo.z);
    }
  }
  fw::DataPack.Release();
  constexpr float kBody = 2.0f;  // the carts' half length
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    plat::FixRandom(seed);
    fw::HallRobots robots;
    robots.InitViewPoints();
    robots.mMotions.Count(3);
    for (int i = 0; i < 4; ++i) robots.AddRobot("Robot" + std::to_string(i + 1), i, i == 0 ? 180.0f : -90.0f);
    for (int frame = 0; frame < 6000; ++frame) {
      robots.ObjMotion();
      for (const fw::MotionRecord& r : robots.mMotions.Motions())
        ASSERT_TRUE(r.Position.x - kBody > inside.lo.x && r.Position.x + kBody < inside.hi.x &&
                    r.Position.z - kBody > inside.lo.z && r.Position.z + kBody < inside.hi.z)
            << r.Key << " at " << r.Position.x << ", " << r.Position.z << " in frame " << frame;
    }
  }
  plat::UnfixRandom();
}

}  // namespace

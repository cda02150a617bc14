// The scene as the model reader's process hands it over: what it lets
// through, and the builders on what it lets through.
#include <gtest/gtest.h>

#include "platform/d3d/rm.hpp"
#include "platform/d3d/xfile.hpp"

namespace {

using plat::xfile::Scene;

// A root with two frames below it, one of them with a triangle, and an
// animation that moves the second frame.
Scene SmallScene() {
  Scene s;
  s.nodes.resize(3);
  s.nodes[0].name = "Root";
  s.nodes[0].children = {1, 2};
  s.nodes[1].name = "Body";
  s.nodes[1].meshes = {0};
  s.nodes[2].name = "Turret";
  s.meshes.resize(1);
  s.meshes[0].positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  s.meshes[0].normals = {{0, 0, -1}, {0, 0, -1}, {0, 0, -1}};
  s.meshes[0].uvs.assign(6, 0.5f);
  s.meshes[0].triangles = {0, 1, 2};
  s.materials.resize(1);
  s.materials[0].faceColor = {0.5f, 0.25f, 1.0f, 1.0f};
  s.animations.resize(1);
  s.animations[0].name = "Turn";
  s.animations[0].tracks.resize(1);
  s.animations[0].tracks[0].frameName = "turret";  // frames match whatever their case
  s.animations[0].tracks[0].positions = {{0.0f, {0, 0, 0}}, {10.0f, {0, 10, 0}}};
  return s;
}

std::optional<Scene> RoundTrip(const Scene& s) {
  const std::vector<char> bytes = plat::xfile::EncodeScene(s);
  return plat::xfile::DecodeScene(bytes.data(), bytes.size());
}

}  // namespace

TEST(SceneCodec, ASceneComesBackAsItWasSent) {
  const auto back = RoundTrip(SmallScene());
  ASSERT_TRUE(back);
  ASSERT_EQ(back->nodes.size(), 3u);
  EXPECT_EQ(back->nodes[2].name, "Turret");
  EXPECT_EQ(back->nodes[0].children, (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(back->meshes[0].triangles, (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_EQ(back->materials[0].faceColor.g, 0.25f);
  ASSERT_EQ(back->animations[0].tracks[0].positions.size(), 2u);
  EXPECT_EQ(back->animations[0].tracks[0].positions[1].value.y, 10.0f);
}

TEST(SceneCodec, FramesThatFormNoTreeAreRefused) {
  Scene circle = SmallScene();  // 1 and 2 parents of each other, out of the root's reach
  circle.nodes[0].children = {};
  circle.nodes[1].children = {2};
  circle.nodes[2].children = {1};
  EXPECT_FALSE(RoundTrip(circle));
  Scene twice = SmallScene();
  twice.nodes[0].children = {1, 1, 2};
  EXPECT_FALSE(RoundTrip(twice));
  Scene twoParents = SmallScene();
  twoParents.nodes[1].children = {2};
  EXPECT_FALSE(RoundTrip(twoParents));
  Scene rootBelow = SmallScene();
  rootBelow.nodes[2].children = {0};
  EXPECT_FALSE(RoundTrip(rootBelow));
  Scene stray = SmallScene();
  stray.nodes[0].children = {1};
  EXPECT_FALSE(RoundTrip(stray));
  Scene badMesh = SmallScene();
  badMesh.nodes[2].meshes = {1};
  EXPECT_FALSE(RoundTrip(badMesh));
  Scene badIndex = SmallScene();
  badIndex.meshes[0].triangles = {0, 1, 3};
  EXPECT_FALSE(RoundTrip(badIndex));
}

TEST(SceneCodec, EveryCutOffAnswerIsRefused) {
  const std::vector<char> bytes = plat::xfile::EncodeScene(SmallScene());
  for (size_t n = 0; n < bytes.size(); ++n) EXPECT_FALSE(plat::xfile::DecodeScene(bytes.data(), n)) << n;
  std::vector<char> longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(plat::xfile::DecodeScene(longer.data(), longer.size()));
  EXPECT_FALSE(plat::xfile::DecodeScene(nullptr, 100));
}

TEST(SceneBuilders, AnAnimationSetBuildsTheTreeUnderItsParentAndMovesIt) {
  const auto scene = RoundTrip(SmallScene());
  ASSERT_TRUE(scene);
  plat::Direct3DRM3 rm;
  const auto parent = rm.CreateFrame(nullptr);
  const auto set = rm.CreateAnimationSet();
  ASSERT_EQ(set->Build(*scene, parent, rm), plat::D3DRM_OK);
  ASSERT_EQ(parent->GetChildren().size(), 1u);
  const auto top = parent->GetChildren()[0];
  ASSERT_EQ(top->GetChildren().size(), 2u);
  EXPECT_EQ(top->GetChildren()[0]->GetVisuals().size(), 1u);
  EXPECT_EQ(set->TrackCount(), 1u);
  set->SetTime(5.0f);
  EXPECT_FLOAT_EQ(top->GetChildren()[1]->GetTransform().m[3][1], 5.0f);
  EXPECT_EQ(set->Build(*scene, nullptr, rm), plat::D3DRMERR_BADOBJECT);
  EXPECT_EQ(set->Build(Scene{}, parent, rm), plat::D3DRMERR_BADFILE);
}

TEST(SceneBuilders, AMeshNamedByManyFramesKeepsTheVertexBound) {
  // Three frames name one mesh of just over a third of the bound: the third
  // copy would pass it and is left out.
  Scene s;
  s.nodes.resize(3);
  s.nodes[0].children = {1, 2};
  for (auto& n : s.nodes) n.meshes = {0};
  const size_t n = plat::xfile::kMaxVertices / 3 + 1;
  s.meshes.resize(1);
  s.meshes[0].positions.assign(n, {1, 2, 3});
  s.meshes[0].normals.assign(n, {0, 1, 0});
  s.meshes[0].uvs.assign(2 * n, 0.0f);
  s.materials.resize(1);
  plat::Direct3DRM3 rm;
  plat::Direct3DRMMeshBuilder3 mesh;
  mesh.Build(s, 0, true, rm);
  EXPECT_EQ(mesh.Positions().size(), 2 * n);
  EXPECT_EQ(mesh.Normals().size(), 2 * n);
}

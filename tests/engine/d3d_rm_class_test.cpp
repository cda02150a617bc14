// The factory's retained-mode scenes: start, the scene's clock, the keyed
// nodes and what a frame of the hall draws.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/rm_class.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/error.hpp"
#include "tests/common/test_support.hpp"
#include "tools/mkdata/d3d_models.hpp"

namespace {

constexpr float kDegree = 3.141592653589f / 180.0f;

class RMClassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::FixClock(1000);
    folder.Write("Cube.x", mkdata::models::CubeX(""));
    folder.Write("Walker.x", mkdata::models::WalkerX(""));
  }
  void TearDown() override { plat::UnfixClock(); }
  void Start(bool hardware = true, bool defaultLight = true) {
    rm.UseHardWare = hardware;
    rm.DefaultLight = defaultLight;
    ASSERT_TRUE(rm.Start(0, 8, 160, 120));
    rm.D3DRM3->SetSearchPath(folder.Path());
  }
  int Lit() const {
    int n = 0;
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 160; ++x) n += rm.BackBuffer4->Row(y)[x] != 0;
    return n;
  }

  fwtest::TempProgramFolder folder;
  fw::RMClass rm;
};

TEST_F(RMClassTest, StartBuildsTheSceneOnTheChosenDevice) {
  EXPECT_FLOAT_EQ(rm.SceneSpeed, 30.0f);
  EXPECT_FLOAT_EQ(rm.RotateRadius, 100.0f);
  EXPECT_FALSE(rm.UseBackBuffer7);
  Start(false);
  EXPECT_EQ(rm.strD3DGuid, "IID_IDirect3DRGBDevice");
  EXPECT_EQ(rm.MemoryType(), plat::DDSCAPS_SYSTEMMEMORY);
  EXPECT_EQ(rm.D3DDevice->GetQuality(), 137u);
  ASSERT_TRUE(rm.BackBuffer4);
  EXPECT_EQ(rm.BackBuffer4->Width(), 160);
  const plat::RECT r = rm.BackBufferRECT();
  EXPECT_EQ(r.Right, 160);
  EXPECT_EQ(r.Bottom, 120);
  ASSERT_TRUE(rm.D3DFrameCamera);
  EXPECT_EQ(rm.D3DFrameCamera->GetParent(), rm.D3DFrameScene);
  const plat::D3DVECTOR camera = rm.D3DFrameCamera->GetPosition(nullptr);
  EXPECT_FLOAT_EQ(camera.z, -10.0f);
  EXPECT_EQ(rm.Objects->SceneFrame, rm.D3DFrameScene);
  EXPECT_EQ(rm.Objects->D3DRM, rm.D3DRM3);

  fw::RMClass hall;
  ASSERT_TRUE(hall.Start(0, 8, 640, 480));
  EXPECT_EQ(hall.strD3DGuid, "IID_IDirect3DHALDevice");
  EXPECT_EQ(hall.MemoryType(), plat::DDSCAPS_VIDEOMEMORY);
  // A size no back buffer can have fails, with the step's text kept.
  fw::RMClass bad;
  EXPECT_FALSE(bad.Start(0, 8, 0, 0));
  EXPECT_NE(bad.ERRORMessage.find("backbuffer"), std::string::npos);
  bad.Update(true, 7);  // nothing to render into, and no harm done
}

TEST_F(RMClassTest, DefaultLightsOnlyWhenAskedFor) {
  Start(true, true);
  ASSERT_TRUE(rm.D3DDirLight);
  EXPECT_EQ(rm.D3DDirLight->GetType(), plat::D3DRMLIGHT_DIRECTIONAL);
  EXPECT_EQ(rm.D3DAmbientLight->GetType(), plat::D3DRMLIGHT_AMBIENT);
  EXPECT_FLOAT_EQ(rm.D3DAmbientLight->GetColor().r, 0.2f);
  plat::D3DVECTOR dir, up;
  rm.D3DFrameDirLight->GetOrientation(nullptr, dir, up);
  const float k = 1.0f / std::sqrt(3.0f);
  EXPECT_NEAR(dir.x, -k, 1e-5f);
  EXPECT_NEAR(dir.z, k, 1e-5f);
  EXPECT_EQ(rm.D3DFrameAmbientLight, nullptr);

  fw::RMClass dark;
  dark.DefaultLight = false;
  ASSERT_TRUE(dark.Start(0, 8, 64, 48));
  EXPECT_TRUE(dark.D3DFrameScene->GetLights().empty());
  for (const auto& f : dark.D3DFrameScene->GetChildren()) EXPECT_TRUE(f->GetLights().empty());
  EXPECT_EQ(dark.D3DDirLight, nullptr);
}

TEST_F(RMClassTest, TickMovesFramesBySceneSpeedUnitsPerSecond) {
  Start();
  auto node = rm.Objects->Add("Mover", "Cube.x");
  ASSERT_TRUE(node);
  node->Frame->SetVelocity(nullptr, 1, 0, 0, false);
  node->Frame->SetRotation(nullptr, 0, 1, 0, 0.1f * kDegree);
  // The first tick only takes the time.
  rm.Tick();
  EXPECT_FLOAT_EQ(node->Frame->GetPosition(nullptr).x, 0.0f);
  plat::AdvanceClock(500);
  rm.Tick();
  EXPECT_NEAR(node->Frame->GetPosition(nullptr).x, 15.0f, 1e-4f);
  plat::AdvanceClock(1500);
  rm.Update(false, 0);
  EXPECT_NEAR(node->Frame->GetPosition(nullptr).x, 60.0f, 1e-3f);
  // Two seconds at 30 units: 60 turns of 0.1 degrees.
  plat::D3DVECTOR dir, up;
  node->Frame->GetOrientation(nullptr, dir, up);
  EXPECT_NEAR(std::atan2(dir.x, dir.z), 6.0f * kDegree, 1e-4f);
}

TEST_F(RMClassTest, NodesAreAddedFoundAndRemovedByKey) {
  Start();
  auto& objects = *rm.Objects;
  auto mesh = objects.Add("Tank1", "Cube.x");
  ASSERT_TRUE(mesh);
  EXPECT_EQ(mesh->Style, "Mesh");
  EXPECT_EQ(mesh->FileX, "Cube.x");
  EXPECT_EQ(mesh->Frame->GetName(), "Tank1");
  EXPECT_EQ(mesh->Frame->GetParent(), rm.D3DFrameScene);
  EXPECT_EQ(mesh->Mesh->GetFaceCount(), 12);
  EXPECT_EQ(objects.Item("TANK1"), mesh);
  EXPECT_EQ(objects.Item(1), mesh);
  EXPECT_EQ(objects.Item("WPLOOK"), nullptr);
  EXPECT_EQ(objects.Item(7), nullptr);
  // A taken key or an unreadable model adds nothing at all.
  const size_t frames = rm.D3DFrameScene->GetChildren().size();
  EXPECT_EQ(objects.Add("tank1", "Cube.x"), nullptr);
  folder.Write("Broken.x", "xof 0302txt 0032\nFrame A {\n");
  EXPECT_EQ(objects.Add("Bad", "Broken.x"), nullptr);
  EXPECT_EQ(objects.Add("Gone", "Missing.x"), nullptr);
  EXPECT_EQ(rm.D3DFrameScene->GetChildren().size(), frames);
  EXPECT_EQ(objects.Count(), 1);

  auto light = objects.AddLight("L2", plat::D3DRMLIGHT_SPOT, 0.5f, 1.0f, 1.0f);
  EXPECT_EQ(light->Style, "Light");
  EXPECT_EQ(light->Light->GetType(), plat::D3DRMLIGHT_SPOT);
  EXPECT_THROW(objects.AddLight("L2", 1, 1, 1, 1), plat::RuntimeError);
  EXPECT_THROW(objects.AddLight("L9", 9, 1, 1, 1), plat::RuntimeError);
  auto walker = objects.AddAnimation("Robot1", "Walker.x");
  EXPECT_EQ(walker->Style, "Animation");
  EXPECT_EQ(walker->Animation->GetId(), 0);
  EXPECT_EQ(walker->Frame->GetChildren().size(), 1u);
  EXPECT_THROW(objects.AddAnimation("Robot9", "Broken.x"), plat::RuntimeError);
  EXPECT_EQ(objects.AddAnimation("12", "Walker.x")->Animation->GetId(), 12);
  EXPECT_EQ(objects.Count(), 4);
  int seen = 0;
  for (const auto& n : objects) seen += n != nullptr;
  EXPECT_EQ(seen, 4);

  // Removing takes the content out; each frame stays in the scene, empty.
  objects.Remove("Tank1");
  EXPECT_TRUE(mesh->Frame->GetVisuals().empty());
  EXPECT_EQ(mesh->Frame->GetParent(), rm.D3DFrameScene);
  objects.Remove("L2");
  EXPECT_TRUE(light->Frame->GetLights().empty());
  EXPECT_EQ(light->Frame->GetParent(), rm.D3DFrameScene);
  objects.Remove("robot1");
  EXPECT_TRUE(walker->Frame->GetChildren().empty());
  EXPECT_EQ(walker->Frame->GetParent(), rm.D3DFrameScene);
  EXPECT_EQ(objects.Count(), 1);
  EXPECT_EQ(objects.Item("Tank1"), nullptr);
  EXPECT_THROW(objects.Remove("Tank1"), plat::RuntimeError);
  // The key is free again.
  EXPECT_TRUE(objects.Add("Tank1", "Cube.x"));
}

TEST_F(RMClassTest, ACloneMovesOnItsOwn) {
  Start();
  auto& objects = *rm.Objects;
  auto walker = objects.AddAnimation("Robot1", "Walker.x");
  walker->Frame->SetPosition(nullptr, 3, 0, 0);
  auto clone = objects.AddClone("Robot5", "Robot1");
  EXPECT_EQ(clone->Style, "Animation");
  EXPECT_EQ(clone->FileX, "Walker.x");
  EXPECT_FLOAT_EQ(clone->Frame->GetPosition(nullptr).x, 3.0f);
  clone->Animation->SetTime(40);
  walker->Animation->SetTime(0);
  EXPECT_NEAR(clone->Frame->GetChildren()[0]->GetPosition(nullptr).x, 4.0f, 1e-4f);
  EXPECT_NEAR(walker->Frame->GetChildren()[0]->GetPosition(nullptr).x, 0.0f, 1e-4f);
  EXPECT_THROW(objects.AddClone("Robot6", "Nobody"), plat::RuntimeError);
}

TEST_F(RMClassTest, UpdateDrawsTheSceneIntoTheBackBuffer) {
  Start();
  rm.Update(true, 7);
  EXPECT_EQ(Lit(), 0);
  auto cube = rm.Objects->Add("F", "Cube.x");
  ASSERT_TRUE(cube);
  rm.Update(true, 7);
  const int lit = Lit();
  EXPECT_GT(lit, 30 * 30);
  EXPECT_NE(rm.BackBuffer4->Row(60)[80], 0);
  // Clearing is the caller's choice.
  cube->Frame->SetPosition(nullptr, 100, 0, 0);
  rm.Update(false, 0);
  EXPECT_EQ(Lit(), lit);
  rm.Update(true, 7);
  EXPECT_EQ(Lit(), 0);
  // The picture can be copied out, also on every render.
  cube->Frame->SetPosition(nullptr, 0, 0, 0);
  auto seven = std::make_shared<plat::Surface>(160, 120);
  rm.UseBackBuffer7 = true;
  rm.BackBuffer7 = seven;
  rm.Update(true, 7);
  EXPECT_EQ(seven->Row(60)[80], rm.BackBuffer4->Row(60)[80]);
  auto other = std::make_shared<plat::Surface>(160, 120);
  rm.BltBackBuffer4Surface7(other);
  EXPECT_EQ(other->Row(60)[80], rm.BackBuffer4->Row(60)[80]);
  EXPECT_EQ(rm.PickTopMesh(80, 60), nullptr);
}

TEST_F(RMClassTest, DraggingTurnsTheRotateFrame) {
  Start();
  auto cube = rm.Objects->Add("F", "Cube.x");
  rm.RotateFrame = cube->Frame;
  rm.RotateMethod = 1;
  cube->Frame->SetPosition(nullptr, 1, 2, 3);
  rm.RotateFromXY(100, 50, true);
  rm.RotateFromXY(100 + 100, 50, false);
  // (100 - 200) * 3.14 / (100 * 10) about the vertical axis.
  plat::D3DVECTOR dir, up;
  cube->Frame->GetOrientation(nullptr, dir, up);
  EXPECT_NEAR(std::atan2(dir.x, dir.z), -0.314f, 1e-3f);
  EXPECT_NEAR(up.y, 1.0f, 1e-5f);
  const plat::D3DVECTOR at = cube->Frame->GetPosition(nullptr);
  EXPECT_NEAR(at.x, 1.0f, 1e-5f);
  EXPECT_NEAR(at.z, 3.0f, 1e-5f);
  // Free rotation: a vertical drag tips the frame about x, in place.
  rm.RotateMethod = 0;
  cube->Frame->AddRotation(plat::D3DRMCOMBINE_REPLACE, 0, 1, 0, 0);
  cube->Frame->SetPosition(nullptr, 1, 2, 3);
  rm.RotateFromXY(0, 0, true);
  rm.RotateFromXY(0, 50, false);
  cube->Frame->GetOrientation(nullptr, dir, up);
  EXPECT_NEAR(std::fabs(std::atan2(dir.y, dir.z)), 0.5f, 1e-3f);
  EXPECT_NEAR(cube->Frame->GetPosition(nullptr).y, 2.0f, 1e-5f);
}

}  // namespace

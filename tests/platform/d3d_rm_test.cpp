// The retained-mode layer: frame arithmetic, `.x` loading, animation keys,
// lighting and the picture a camera sees.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "platform/d3d/rm.hpp"
#include "platform/display/surface.hpp"
#include "tests/common/test_support.hpp"
#include "tests/platform/d3d_support.hpp"
#include "tools/mkdata/d3d_models.hpp"

namespace {

using namespace plat;
using d3dtest::Pack;
using d3dtest::Rgb;
using d3dtest::Split;

constexpr float kPi = 3.14159265f;

void ExpectNear(D3DVECTOR v, float x, float y, float z, float eps = 1e-4f) {
  EXPECT_NEAR(v.x, x, eps);
  EXPECT_NEAR(v.y, y, eps);
  EXPECT_NEAR(v.z, z, eps);
}

// A scene as the factory builds one: root, camera at (0, 0, -10), a 160x120
// target, models and textures in a scratch program folder.
class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rm.SetSearchPath(folder.Path());
    scene = rm.CreateFrame(nullptr);
    camera = rm.CreateFrame(scene);
    camera->SetPosition(nullptr, 0, 0, -10);
    target = std::make_shared<Surface>(160, 120);
    device = rm.CreateDeviceFromSurface(kRgbDeviceGuid, nullptr, target, 0);
    ASSERT_TRUE(device);
    viewport = rm.CreateViewport(device, camera, 0, 0, 160, 120);
    ASSERT_TRUE(viewport);
  }
  void WriteTexture(const std::string& name, uint16_t colour, int size = 8) {
    auto s = d3dtest::Solid(size, size, colour);
    ASSERT_TRUE(SaveBmp(s->Pixels(), size, size, size, folder.File(name)));
  }
  Direct3DRMFrame3Ptr AddModel(const std::string& file, const std::string& text) {
    folder.Write(file, text);
    auto mesh = rm.CreateMeshBuilder();
    EXPECT_EQ(mesh->Load(file, rm), D3DRM_OK);
    auto frame = rm.CreateFrame(scene);
    frame->AddVisual(mesh);
    return frame;
  }
  void Render() {
    viewport->Clear(D3DRMCLEAR_ALL);
    viewport->Render(scene);
  }

  fwtest::TempProgramFolder folder;
  Direct3DRM3 rm;
  Direct3DRMFrame3Ptr scene, camera;
  SurfacePtr target;
  std::shared_ptr<Direct3DRMDevice3> device;
  std::shared_ptr<Direct3DRMViewport2> viewport;
};

TEST(Frames, PositionsAndOrientationsAreRelativeToTheirReference) {
  Direct3DRM3 rm;
  auto root = rm.CreateFrame(nullptr);
  auto a = rm.CreateFrame(root);
  auto b = rm.CreateFrame(a);
  a->SetPosition(nullptr, 10, 0, 0);
  a->AddRotation(D3DRMCOMBINE_BEFORE, 0, 1, 0, kPi / 2);
  // Turned a quarter about y: a's x axis points along the world's -z.
  b->SetPosition(nullptr, 1, 0, 0);
  ExpectNear(b->GetPosition(root), 10, 0, -1);
  b->SetPosition(root, 0, 5, 0);
  ExpectNear(b->GetPosition(root), 0, 5, 0);
  ExpectNear(b->GetPosition(nullptr), 0, 5, -10);
  // The factory's "oriented" models: direction down, no up vector. The z
  // axis points down, y along z, x stays.
  auto m = rm.CreateFrame(root);
  m->AddScale(D3DRMCOMBINE_BEFORE, 2, 2, 2);
  ASSERT_EQ(m->SetOrientation(root, 0, -1, 0, 0, 0, 0), D3DRM_OK);
  const D3DMATRIX& t = m->GetTransform();
  ExpectNear(Vec(t.m[0][0], t.m[0][1], t.m[0][2]), 2, 0, 0);
  ExpectNear(Vec(t.m[1][0], t.m[1][1], t.m[1][2]), 0, 0, 2);
  ExpectNear(Vec(t.m[2][0], t.m[2][1], t.m[2][2]), 0, -2, 0);
  EXPECT_NE(m->SetOrientation(root, 0, 0, 0, 0, 1, 0), D3DRM_OK);
  // Look-at turns the z axis towards the target's origin.
  auto eye = rm.CreateFrame(root);
  eye->SetPosition(nullptr, 5, 5, -5);
  eye->LookAt(root, nullptr, D3DRMCONSTRAIN_Z);
  D3DVECTOR dir, up;
  eye->GetOrientation(nullptr, dir, up);
  const float k = 1.0f / std::sqrt(3.0f);
  ExpectNear(dir, -k, -k, k);
  EXPECT_NEAR(Dot(dir, up), 0.0f, 1e-5f);
  EXPECT_GT(up.y, 0.0f);
}

TEST(Frames, CombiningOrderDecidesWhereATurnApplies) {
  Direct3DRM3 rm;
  auto root = rm.CreateFrame(nullptr);
  auto f = rm.CreateFrame(root);
  f->SetPosition(nullptr, 4, 0, 0);
  // Before: in the frame's own space, so the position stays.
  f->AddRotation(D3DRMCOMBINE_BEFORE, 0, 1, 0, kPi);
  ExpectNear(f->GetPosition(nullptr), 4, 0, 0);
  // After: about the parent's origin, carrying the position round.
  f->AddRotation(D3DRMCOMBINE_AFTER, 0, 1, 0, kPi);
  ExpectNear(f->GetPosition(nullptr), -4, 0, 0);
  // Replace: the turn alone, the position gone.
  f->AddRotation(D3DRMCOMBINE_REPLACE, 0, 1, 0, 0.0f);
  ExpectNear(f->GetPosition(nullptr), 0, 0, 0);
  // A frame cannot become its own descendant.
  auto child = rm.CreateFrame(f);
  EXPECT_NE(child->AddChild(f), D3DRM_OK);
  EXPECT_EQ(f->GetParent(), root);
}

TEST(Frames, MoveAppliesSpinAndVelocityToTheWholeTree) {
  Direct3DRM3 rm;
  auto root = rm.CreateFrame(nullptr);
  auto spinner = rm.CreateFrame(root);
  spinner->SetPosition(nullptr, 5.6f, 0, 7);
  spinner->SetRotation(nullptr, 0, 1, 0, 0.1f * kPi / 180.0f);
  auto mover = rm.CreateFrame(spinner);
  mover->SetVelocity(nullptr, 1, 0, 0, false);
  root->Move(30.0f);
  // Spun 3 degrees about its own origin.
  ExpectNear(spinner->GetPosition(nullptr), 5.6f, 0, 7);
  D3DVECTOR dir, up;
  spinner->GetOrientation(nullptr, dir, up);
  EXPECT_NEAR(std::atan2(dir.x, dir.z), 3.0f * kPi / 180.0f, 1e-4f);
  ExpectNear(mover->GetPosition(nullptr), 30, 0, 0);
}

TEST_F(SceneTest, ACubeFillsTheRectangleTheCameraSees) {
  WriteTexture("Crate.bmp", 0xFFE0);
  AddModel("Cube.x", mkdata::models::CubeX("Crate.bmp"));
  device->SetQuality(D3DRMSHADE_GOURAUD | D3DRMLIGHT_OFF | D3DRMFILL_SOLID);
  Render();
  // Front face at distance 9, half size 1; the field 0.5 spans half of the
  // 160-pixel width at distance 1: 80 / 0.5 / 9 = 17.8 pixels each way.
  const float half = 80.0f / 0.5f / 9.0f;
  int x0, y0, x1, y1;
  ASSERT_TRUE(d3dtest::BoundsNot(*target, 0, x0, y0, x1, y1));
  EXPECT_NEAR(x0, 80 - half, 1.0);
  EXPECT_NEAR(x1 + 1, 80 + half, 1.0);
  EXPECT_NEAR(y0, 60 - half, 1.0);
  EXPECT_NEAR(y1 + 1, 60 + half, 1.0);
  // Lights off: the texture as it is.
  EXPECT_EQ(target->Row(60)[80], 0xFFE0);
  // The background is the scene's.
  scene->SetSceneBackgroundRGB(0, 0, 1);
  Render();
  EXPECT_EQ(target->Row(2)[2], 0x001F);
}

TEST_F(SceneTest, EachPartWearsTheMaterialItNamesNotTheFilesFirst) {
  // A booth as the hall has them: a plain-coloured part and a lettered
  // board, each naming one of the file's materials.
  WriteTexture("Board.bmp", 0xFFE0);
  using mkdata::models::BoxMeshText;
  using mkdata::models::MaterialText;
  AddModel("Booth.x", "xof 0302txt 0032\n\n" + MaterialText("Plain", 1, 0, 0, "") +
                          MaterialText("Board", 1, 1, 1, "Board.bmp") + "Frame Booth {\n" +
                          BoxMeshText("Sign", {0, 0, 0}, {1, 1, 1}, "Board") +
                          BoxMeshText("Post", {-3, 0, 0}, {0.5f, 0.5f, 0.5f}, "Plain") + "}\n");
  device->SetQuality(D3DRMSHADE_GOURAUD | D3DRMLIGHT_OFF | D3DRMFILL_SOLID);
  Render();
  EXPECT_EQ(target->Row(60)[80], 0xFFE0);  // the board's texture
  EXPECT_EQ(target->Row(60)[27], 0xF800);  // the post's own colour
}

TEST_F(SceneTest, ADirectionalLightLeavesFacesTurnedAwayDark) {
  auto cube = AddModel("White.x", mkdata::models::CubeX(""));
  // Turned 45 degrees: the left face and the right face both face the
  // camera.
  cube->AddRotation(D3DRMCOMBINE_REPLACE, 0, 1, 0, kPi / 4);
  auto lightFrame = rm.CreateFrame(scene);
  lightFrame->SetOrientation(nullptr, 1, 0, 0, 0, 1, 0);  // shining towards +x
  lightFrame->AddLight(rm.CreateLightRGB(D3DRMLIGHT_DIRECTIONAL, 1, 1, 1));
  Render();
  const Rgb left = Split(target->Row(60)[72]), right = Split(target->Row(60)[88]);
  // The left face looks towards -x, into the light: about 0.7 of white.
  EXPECT_NEAR(left.r, 31 * 0.707, 2);
  EXPECT_NEAR(left.g, 63 * 0.707, 3);
  EXPECT_EQ(right, (Rgb{0, 0, 0}));
  // Some ambient light lifts the dark side a little.
  scene->AddLight(rm.CreateLightRGB(D3DRMLIGHT_AMBIENT, 0.25f, 0.25f, 0.25f));
  Render();
  const Rgb lifted = Split(target->Row(60)[88]);
  EXPECT_NEAR(lifted.r, 31 * 0.25, 1);
  EXPECT_LT(lifted.r, Split(target->Row(60)[72]).r);
}

TEST_F(SceneTest, PointAndSpotLightsFadeWithDistanceAndAngle) {
  auto cube = AddModel("White.x", mkdata::models::CubeX(""));
  auto lamp = rm.CreateFrame(scene);
  lamp->SetPosition(nullptr, 0, 0, -3);
  auto point = rm.CreateLightRGB(D3DRMLIGHT_POINT, 1, 1, 1);
  lamp->AddLight(point);
  // Lit per vertex: the front face's corners are sqrt(6) from the lamp and
  // see it at cos = 2 / sqrt(6); the face's middle takes the corners' light.
  const float corner = 2.0f / std::sqrt(6.0f);
  Render();
  EXPECT_NEAR(Split(target->Row(60)[80]).g, 63 * corner, 1.5);
  point->SetLinearAttenuation(0.5f);
  Render();
  EXPECT_NEAR(Split(target->Row(60)[80]).g, 63 * corner / (1 + 0.5f * std::sqrt(6.0f)), 1.5);
  point->SetRange(2.0f);
  Render();
  EXPECT_EQ(Split(target->Row(60)[80]).g, 0);
  // A spot light lights what lies within its cone (the corners are 0.62
  // from its axis), nothing behind it.
  lamp->DeleteLight(point);
  auto spot = rm.CreateLightRGB(D3DRMLIGHT_SPOT, 1, 1, 1);
  lamp->AddLight(spot);
  lamp->SetOrientation(nullptr, 0, 0, 1, 0, 1, 0);
  Render();
  EXPECT_EQ(Split(target->Row(60)[80]).g, 0);  // the corners are outside the 0.5 penumbra
  spot->SetUmbra(0.7f);
  spot->SetPenumbra(0.8f);
  Render();
  EXPECT_NEAR(Split(target->Row(60)[80]).g, 63 * corner, 1.5);
  lamp->SetOrientation(nullptr, 0, 0, -1, 0, 1, 0);
  Render();
  EXPECT_EQ(Split(target->Row(60)[80]).g, 0);
}

TEST_F(SceneTest, NearAndFarPlanesCutTheScene) {
  auto cube = AddModel("White.x", mkdata::models::CubeX("", 20.0f));
  device->SetQuality(D3DRMSHADE_GOURAUD | D3DRMLIGHT_OFF | D3DRMFILL_SOLID);
  // One unit before the big cube's front face, the face fills the view.
  camera->SetPosition(nullptr, 0, 0, -21);
  ASSERT_EQ(viewport->SetFront(0.5f), D3DRM_OK);
  Render();
  EXPECT_EQ(d3dtest::CountNot(*target, 0xFFFF), 0);
  // With the front plane beyond it, the face is cut away, and the inner
  // sides of the others face away from the camera.
  ASSERT_EQ(viewport->SetBack(0.2f), D3DRMERR_BADVALUE);
  ASSERT_EQ(viewport->SetFront(1.5f), D3DRM_OK);
  Render();
  EXPECT_EQ(d3dtest::CountNot(*target, 0), 0);
  // Turned 60 degrees just before the face: on the left the face comes
  // nearer than the front plane and is cut away (showing the inside, whose
  // faces look away); on the right it stays.
  camera->SetPosition(nullptr, 0, 0, -20.05f);
  camera->AddRotation(D3DRMCOMBINE_BEFORE, 0, 1, 0, kPi / 3);
  ASSERT_EQ(viewport->SetFront(0.1f), D3DRM_OK);
  Render();
  EXPECT_EQ(target->Row(60)[2], 0);
  EXPECT_EQ(target->Row(60)[157], 0xFFFF);
  // Everything beyond the back plane.
  camera->AddRotation(D3DRMCOMBINE_REPLACE, 0, 1, 0, 0);
  camera->SetPosition(nullptr, 0, 0, -30);
  ASSERT_EQ(viewport->SetBack(5.0f), D3DRM_OK);
  Render();
  EXPECT_EQ(d3dtest::CountNot(*target, 0), 0);
}

TEST_F(SceneTest, AnAnimationSetMovesItsFramesAsItsKeysSay) {
  folder.Write("Walker.x", mkdata::models::WalkerX(""));
  auto parent = rm.CreateFrame(scene);
  auto walk = rm.CreateAnimationSet();
  ASSERT_EQ(walk->Load("Walker.x", D3DRMLOAD_INSTANCEBYREFERENCE, parent, rm, 7), D3DRM_OK);
  EXPECT_EQ(walk->GetId(), 7);
  EXPECT_EQ(walk->TrackCount(), 3u);
  ASSERT_EQ(walk->Frames().size(), 1u);
  Direct3DRMFrame3Ptr body = walk->Frames()[0];
  EXPECT_EQ(body->GetName(), "Body");
  EXPECT_EQ(body->GetParent(), parent);
  Direct3DRMFrame3Ptr arm;
  for (const auto& c : body->GetChildren())
    if (c->GetName() == "ArmL") arm = c;
  ASSERT_TRUE(arm);
  for (float t : {0.0f, 10.0f, 25.0f, 40.0f}) {
    walk->SetTime(t);
    ExpectNear(body->GetPosition(nullptr), mkdata::models::WalkerBodyX(t), 0, 0);
  }
  // Outside the keys, the first and last keys hold.
  walk->SetTime(-5);
  ExpectNear(body->GetPosition(nullptr), 0, 0, 0);
  walk->SetTime(100);
  ExpectNear(body->GetPosition(nullptr), 4, 0, 0);
  // The arm swings forward by the key's angle at time 10.
  walk->SetTime(10);
  D3DVECTOR dir, up;
  arm->GetOrientation(nullptr, dir, up);
  EXPECT_NEAR(std::atan2(up.z, up.y), mkdata::models::WalkerArmAngle(10), 1e-3f);
  ExpectNear(arm->GetPosition(nullptr), -0.9f, 2.3f, 0);
  // Half way between keys the turn is half way (slerp).
  walk->SetTime(5);
  arm->GetOrientation(nullptr, dir, up);
  EXPECT_NEAR(std::atan2(up.z, up.y), mkdata::models::WalkerArmAngle(10) / 2, 1e-3f);
  // A copy moves on its own.
  auto copy = walk->Clone(scene);
  copy->SetTime(40);
  walk->SetTime(0);
  ExpectNear(copy->Frames()[0]->GetPosition(nullptr), 4, 0, 0);
  ExpectNear(body->GetPosition(nullptr), 0, 0, 0);
  // Detached, the frames leave their parent.
  walk->Detach();
  EXPECT_TRUE(parent->GetChildren().empty());
}

TEST_F(SceneTest, ModelsTheReaderCannotReadLoadNothing) {
  auto mesh = rm.CreateMeshBuilder();
  EXPECT_EQ(mesh->Load("Missing.x", rm), D3DRMERR_FILENOTFOUND);
  const std::string good = mkdata::models::CubeX("Crate.bmp");
  const std::string broken[] = {"", "xof 0302txt 0032\n", "not a model at all", good.substr(0, good.size() / 2)};
  for (const std::string& bytes : broken) {
    folder.Write("Bad.x", bytes);
    EXPECT_NE(mesh->Load("Bad.x", rm), D3DRM_OK) << bytes.size();
    EXPECT_EQ(mesh->GetVertexCount(), 0);
  }
  auto anim = rm.CreateAnimationSet();
  EXPECT_NE(anim->Load("Bad.x", 0, scene, rm), D3DRM_OK);
  // A missing texture leaves the mesh untextured, not unloaded.
  folder.Write("Cube.x", good);
  ASSERT_EQ(mesh->Load("Cube.x", rm), D3DRM_OK);
  EXPECT_EQ(mesh->GetFaceCount(), 12);
  EXPECT_EQ(mesh->Groups()[0].texture, nullptr);
}

TEST_F(SceneTest, FilesAreFoundThroughTheSearchPathWhateverTheirCase) {
  WriteTexture("crate.BMP", 0x07E0);
  folder.Write("models/CUBE.X", mkdata::models::CubeX("textures\\Crate.bmp"));
  rm.SetSearchPath("/nowhere;" + folder.Path() + "\\models");
  rm.AddSearchPath(folder.Path());
  EXPECT_EQ(rm.FindFile("cube.x"), folder.File("models/CUBE.X"));
  auto mesh = rm.CreateMeshBuilder();
  ASSERT_EQ(mesh->Load("Cube.x", rm), D3DRM_OK);
  ASSERT_TRUE(mesh->Groups()[0].texture);
  EXPECT_EQ(mesh->Groups()[0].texture->Row(0)[0], 0x07E0);
  // Loaded once per root.
  EXPECT_EQ(rm.LoadTexture("CRATE.bmp"), rm.LoadTexture("crate.bmp"));
  // With no search path, the program folder, where the archives' members
  // are extracted.
  Direct3DRM3 bare;
  EXPECT_EQ(bare.FindFile("Crate.bmp"), folder.File("crate.BMP"));
  EXPECT_EQ(bare.FindFile("Nothing.bmp"), "");
}

}  // namespace

// The hall's content: its models, the player's tank on the turning
// platform, and the four lights with their dimming behind a page.
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "data/users.hpp"
#include "engine/pack.hpp"
#include "factory/factory_screen.hpp"
#include "platform/d3d/xfile.hpp"

namespace fw {

namespace {
constexpr float kRadian = 3.141592653589f / 180.0f;
constexpr float kPlatformX = 5.6f, kPlatformZ = 7.0f, kTankHeight = 3.4f;
constexpr float kSpin = 0.1f;  // degrees per tick of the scene's clock
constexpr const char* kPreviewFrameModel = "ACMR-6.x";

// The first texture a model names that cannot be read; "" when all can (or
// the model itself cannot be read, which its loading tells).
std::string UnreadableTexture(const plat::Direct3DRM3& root, const std::string& file) {
  const std::string path = root.FindFile(file);
  if (path.empty()) return "";
  const std::optional<plat::xfile::Scene> scene = plat::xfile::Load(path);
  if (!scene) return "";
  for (const plat::xfile::Material& m : scene->materials)
    if (!m.textureFile.empty() && !root.LoadTexture(m.textureFile)) return m.textureFile;
  return "";
}
}  // namespace

bool FrmFactoryClass::TexturesReadable(const std::string& key, const std::string& file) {
  const std::string texture = UnreadableTexture(*RM.D3DRM3, file);
  if (texture.empty()) return true;
  ++missing_;
  std::fprintf(stderr, "factory: the texture \"%s\" of \"%s\" cannot be read; \"%s\" is left out\n", texture.c_str(),
               file.c_str(), key.c_str());
  return false;
}

Node3DPtr FrmFactoryClass::AddModel(const std::string& key, const std::string& file, bool placed, float x, float y,
                                    float z) {
  DataPack->Extract(file);
  if (!TexturesReadable(key, file)) return nullptr;
  Node3DPtr node = RM.Objects->Add(key, file);
  if (!node) {
    ++missing_;
    std::fprintf(stderr, "factory: the hall model \"%s\" cannot be read; \"%s\" is left out\n", file.c_str(),
                 key.c_str());
    return nullptr;
  }
  // The hall's models stand with their z axis pointing down.
  node->Frame->SetOrientation(RM.D3DFrameScene, 0, -1, 0, 0, 0, 0);
  if (placed) node->Frame->SetPosition(RM.D3DFrameScene, x, y, z);
  return node;
}

void FrmFactoryClass::Spin(const Node3DPtr& node, float degreesPerTick) {
  if (node) node->Frame->SetRotation(RM.D3DFrameScene, 0, 1, 0, degreesPerTick * kRadian);
}

// The factory's own frame also stands in the preview scene, at a hundredth
// of its size; a data set without it only loses that model.
void FrmFactoryClass::AddPreviewFrame() {
  Node3DPtr node;
  try {
    DataPack->Extract(kPreviewFrameModel);
    if (TexturesReadable("F", kPreviewFrameModel)) node = mPreviewRM.Objects->Add("F", kPreviewFrameModel);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "factory: %s\n", e.what());
  }
  if (!node) {
    ++missing_;
    std::fprintf(stderr, "factory: the preview model \"%s\" cannot be read; \"F\" is left out\n", kPreviewFrameModel);
    return;
  }
  node->Frame->AddScale(plat::D3DRMCOMBINE_BEFORE, 0.01f, 0.01f, 0.01f);
}

void FrmFactoryClass::ADDObjects() {
  RM.D3DRM3->SetSearchPath(DataPack->TempPath);
  AddPreviewFrame();
  AddModel("F", "maintenance.x", false, 0, 0, 0);
  LoadingText(120, "Add Factory Main Frame to Scene");
  static const struct {
    const char* file;
    const char* text;
    int32_t y;
    const char* key;
  } kShops[] = {{"Weapon.x", "Add Weapon Area to Scene", 140, "Weap"},
                {"Engine.x", "Add Engine Area to Scene", 160, "Eng"},
                {"Shield.x", "Add Shield Area to Scene", 180, "Shd"},
                {"Reactor.x", "Add Reactor Area to Scene", 200, "ReA"}};
  for (const auto& s : kShops) {
    LoadingText(s.y, s.text);
    AddModel(s.key, s.file, false, 0, 0, 0);
  }
  LoadingText(220, "Add Assemble Area to Scene");
  AddModel("EQUTank", "arm.x", true, -20, 0, 7);
  AddModel("EXITOUT", "exit.x", true, -20, 0, 7);
  LoadingText(240, "Add Tank Area to Scene");
  AddModel("Tank", "tank.x", true, kPlatformX, 0, kPlatformZ);
  Spin(AddModel("TankFrame", "tankPP.x", true, kPlatformX, 0, kPlatformZ), kSpin);
  AddShowTank();

  LoadingText(260, "Add Robots to Scene");
  // Only robots whose model could be read walk: an unseen robot would still
  // make the others turn aside from nothing.
  struct Robot {
    std::string key;
    int32_t station;
    float modelTurn;
  };
  std::vector<Robot> robots;
  DataPack->Extract("Root01.x");
  try {
    if (TexturesReadable("Robot1", "Root01.x")) {
      RM.Objects->AddAnimation("Robot1", "Root01.x");
      robots.push_back({"Robot1", 1, 180.0f});
    }
  } catch (const std::exception& e) {
    ++missing_;
    std::fprintf(stderr, "factory: the robot \"Root01.x\" cannot be read (%s); it is left out\n", e.what());
  }
  DataPack->Extract("Car.x");
  for (int32_t n = 2; n <= 4; ++n) {
    const std::string key = "Robot" + std::to_string(n);
    if (!TexturesReadable(key, "Car.x")) continue;
    if (RM.Objects->Add(key, "Car.x")) {
      robots.push_back({key, n, -90.0f});
    } else {
      ++missing_;
      std::fprintf(stderr, "factory: the robot \"Car.x\" cannot be read; \"%s\" is left out\n", key.c_str());
    }
  }
  if (!robots.empty()) {
    robots_.mMotions.Count(static_cast<int32_t>(robots.size()) - 1);
    for (size_t i = 0; i < robots.size(); ++i)
      robots_.AddRobot(robots[i].key, static_cast<int32_t>(i), robots[i].modelTurn, robots[i].station);
  }
  DataPack->RemoveTempFile();
}

void FrmFactoryClass::AddShowTank() {
  std::string name;
  for (const auto& item : *Users->NowEQU)
    if (item->Index == kKindTank) {
      name = item->ID;
      break;
    }
  if (RM.Objects->Item("Tank1")) RM.Objects->Remove("Tank1");
  if (name.empty()) return;
  const std::string model = catalogs_.Model(kKindTank, name);
  if (model.empty()) return;
  DataPack->Extract(model);
  const bool textured = TexturesReadable("Tank1", model);
  Node3DPtr tank = textured ? RM.Objects->Add("Tank1", model) : nullptr;
  if (textured && !tank) {
    ++missing_;
    std::fprintf(stderr, "factory: the tank model \"%s\" cannot be read; the platform turns empty\n", model.c_str());
  } else if (tank) {
    tank->Frame->SetPosition(RM.D3DFrameScene, kPlatformX, kTankHeight, kPlatformZ);
    Spin(tank, kSpin);
  }
  if (auto frame = RM.Objects->Item("TankFrame")) {
    frame->Frame->AddRotation(plat::D3DRMCOMBINE_REPLACE, 0, 1, 0, 0);
    frame->Frame->SetOrientation(RM.D3DFrameScene, 0, -1, 0, 0, 0, 0);
    Spin(frame, kSpin);
    frame->Frame->SetPosition(RM.D3DFrameScene, kPlatformX, 0, kPlatformZ);
  }
}

void FrmFactoryClass::AddLight() {
  try {
    auto& objects = *RM.Objects;
    objects.AddLight("L1", plat::D3DRMLIGHT_POINT, 0.8f, 0.8f, 0.8f);
    auto l2 = objects.AddLight("L2", plat::D3DRMLIGHT_SPOT, 0.5f, 1.0f, 1.0f);
    l2->Light->SetPenumbra(1.0f);
    objects.AddLight("L3", plat::D3DRMLIGHT_AMBIENT, 0, 0, 0);
    auto l5 = objects.AddLight("L5", plat::D3DRMLIGHT_DIRECTIONAL, 0.6f, 0.6f, 0.6f);
    l2->Frame->SetRotation(RM.D3DFrameScene, 0, 1, 0, 0.2f);
    l5->Frame->AddRotation(plat::D3DRMCOMBINE_BEFORE, 1, 1, 0, 60.0f * kRadian);
    l5->Frame->SetPosition(RM.D3DFrameScene, 10, 50, 10);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "factory: the hall's lights: %s\n", e.what());
  }
}

void FrmFactoryClass::SetLight(bool on) {
  auto set = [this](const char* key, float r, float g, float b) {
    if (auto l = RM.Objects->Item(key)) l->Light->SetColorRGB(r, g, b);
  };
  if (on) {
    set("L1", 0.6f, 0.6f, 0.6f);
    set("L2", 0.5f, 1.0f, 1.0f);
    set("L5", 0.6f, 0.6f, 0.6f);
  } else {
    set("L1", 0.1f, 0.1f, 0.1f);
    set("L2", 0, 0, 0);
    set("L3", 0, 0, 0);
    set("L5", 0.2f, 0.2f, 0.2f);
  }
}

}  // namespace fw

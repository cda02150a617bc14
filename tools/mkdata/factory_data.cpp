// The factory's goods: the weapon catalogue "UserWeapon.ini" and the
// equipment catalogue "Equment.ini" with a model for every item, the model
// index "Index.txt" that ties each model to its textures, and a starting
// kit for the first profile.
#include <array>
#include <string>
#include <vector>

#include "platform/runtime/text_records.hpp"
#include "tools/mkdata/canvas.hpp"
#include "tools/mkdata/d3d_models.hpp"
#include "tools/mkdata/factory_hall_data.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {
namespace {

using models::BoxMeshText;
using models::MaterialText;
using models::MatrixText;
using models::Translation;

struct Box {
  std::array<float, 3> centre, half;
  int material;  // index into the model's textures
};

// A model of boxes, each textured with one of the model's textures.
std::string BoxModel(const std::string& frame, const std::vector<std::string>& textures, const std::vector<Box>& boxes) {
  std::string out = "xof 0302txt 0032\n\n";
  for (size_t i = 0; i < textures.size(); ++i) out += MaterialText(frame + "Mat" + std::to_string(i), 1, 1, 1, textures[i]);
  out += "Frame " + frame + " {\n FrameTransformMatrix {\n  " + MatrixText(Translation(0, 0, 0)) + "\n }\n";
  for (size_t i = 0; i < boxes.size(); ++i)
    out += BoxMeshText(frame + "Mesh" + std::to_string(i), boxes[i].centre, boxes[i].half,
                       frame + "Mat" + std::to_string(boxes[i].material));
  return out + "}\n";
}

// Plates of armour: a base colour with riveted seams.
Canvas PlateTexture(Rgb base, uint32_t seed) {
  Canvas c(64, 64, base);
  c.Noise(0, 0, 64, 64, 0.1f, seed);
  const Rgb seam = Mix(base, {20, 20, 20}, 0.5f);
  for (int k = 0; k <= 64; k += 32) {
    c.Line(static_cast<float>(k), 0, static_cast<float>(k), 64, seam, 2);
    c.Line(0, static_cast<float>(k), 64, static_cast<float>(k), seam, 2);
  }
  for (int x = 6; x < 64; x += 16)
    for (int y = 6; y < 64; y += 16) c.Disc(static_cast<float>(x), static_cast<float>(y), 1.5f, Mix(base, {230, 230, 220}, 0.5f));
  return c;
}

Canvas TrackTexture() {
  Canvas c(64, 16, {48, 46, 44});
  for (int x = 0; x < 64; x += 8) c.Rect(x, 2, 5, 12, {86, 82, 76});
  return c;
}

Canvas GlowTexture(Rgb core) {
  Canvas c(32, 32, {20, 24, 30});
  c.Disc(16, 16, 13, Mix(core, {20, 24, 30}, 0.5f));
  c.Disc(16, 16, 8, core);
  c.Disc(14, 14, 3, {250, 250, 250});
  return c;
}

struct Hull {
  const char* name;
  const char* model;
  int rows;
  float agile;
  int price, capacity;
  float scale;
};
const Hull kHulls[] = {
    {"Scout Tank", "FacScout.x", 2, 3.0f, 500, 120, 0.8f},
    {"Medium Tank", "FacMedium.x", 4, 2.4f, 1500, 220, 1.0f},
    {"Heavy Tank", "FacHeavy.x", 6, 1.8f, 3200, 360, 1.2f},
    {"Fortress Tank", "FacFortress.x", 9, 1.2f, 6000, 520, 1.45f},
};

// Weapons fired by energy, carrying weapons that fire what is loaded into
// them (no energy), and the ammunition.
struct Gun {
  const char* name;
  float speed, agile;
  int range, power;
  float fireSpeed, energy;
  int angle, path, rounds, price, weight, shot;
  const char* model;
};
const Gun kGuns[] = {
    {"Pulse Laser", 12, 0, 450, 14, 0.08f, 5, 30, 1, 0, 200, 15, 1, "FacLaser.x"},
    {"Twin Laser", 13, 0, 470, 12, 0.12f, 6, 30, 1, 0, 450, 20, 3, "FacLaser.x"},
    {"Ion Gun", 8, 0, 420, 30, 0.06f, 10, 30, 1, 0, 700, 30, 12, "FacIon.x"},
    {"Flame Gun", 5, 0, 220, 10, 0.12f, 3, 40, 1, 0, 300, 20, 41, "FacFlame.x"},
    {"Light Cannon", 10, 0, 500, 20, 0.02f, 0, 20, 1, 0, 350, 25, 31, "FacCannon.x"},
    {"Heavy Cannon", 9, 0, 560, 30, 0.015f, 0, 20, 1, 0, 900, 45, 33, "FacCannon.x"},
    {"Missile Launcher", 6, 0, 700, 10, 0.012f, 0, 60, 1, 0, 800, 35, 21, "FacLauncher.x"},
    {"Rocket Launcher", 9, 0, 600, 10, 0.015f, 0, 45, 1, 0, 600, 30, 22, "FacLauncher.x"},
    {"Cannon Artillery Shell", 10, 0, 520, 24, 0, 0, 0, 1, 40, 100, 10, 31, "FacShell.x"},
    {"Heavy Cannon Artillery", 9, 0, 600, 36, 0, 0, 0, 1, 25, 220, 15, 33, "FacShell.x"},
    {"Homing Missile", 6, 4, 760, 32, 0, 0, 0, 2, 12, 300, 12, 21, "FacMissile.x"},
    {"Cruise Missile", 7, 2, 900, 40, 0, 0, 0, 3, 8, 450, 16, 21, "FacMissile.x"},
    {"Swarm Rocket", 9, 3, 620, 22, 0, 0, 0, 1, 30, 180, 10, 22, "FacRocket.x"},
    {"Guided Rocket", 9, 3, 650, 26, 0, 0, 0, 4, 20, 260, 12, 22, "FacRocket.x"},
};

// Shields, engines and reactors: value A and B are the limit and rate of a
// shield or reactor, the top speed and acceleration of an engine.
struct Part {
  const char* name;
  const char* model;
  float a, b;
  int price, weight;
};
const Part kParts[] = {
    {"Light Shield", "FacShield.x", 60, 0.05f, 250, 20},
    {"Heavy Shield", "FacShield.x", 120, 0.08f, 900, 45},
    {"Prism Shield", "FacShield.x", 180, 0.12f, 2000, 60},
    {"Basic Engine", "FacEngine.x", 3.0f, 0.08f, 200, 25},
    {"Turbo Engine", "FacEngine.x", 4.0f, 0.1f, 800, 35},
    {"Jet Engine", "FacEngine.x", 4.8f, 0.13f, 1800, 45},
    {"Small Reactor", "FacReactor.x", 80, 0.5f, 250, 20},
    {"Fusion Reactor", "FacReactor.x", 150, 1.1f, 1000, 35},
    {"Quantum Reactor", "FacReactor.x", 220, 1.8f, 2400, 50},
};

void Models(Context& ctx, plat::TextRecordWriter& index) {
  const struct {
    const char* file;
    Canvas picture;
  } textures[] = {
      {"FacHull.bmp", PlateTexture({96, 118, 72}, 3)},   {"FacTrack.bmp", TrackTexture()},
      {"FacMetal.bmp", PlateTexture({130, 134, 140}, 5)}, {"FacBrass.bmp", PlateTexture({170, 140, 70}, 7)},
      {"FacShield.bmp", GlowTexture({90, 170, 255})},     {"FacEngine.bmp", PlateTexture({150, 70, 50}, 9)},
      {"FacReactor.bmp", GlowTexture({120, 255, 120})},
  };
  for (const auto& t : textures) {
    const auto bmp = t.picture.Bmp();
    ctx.Member("Data", t.file, bmp.data(), bmp.size());
  }
  auto add = [&](const std::string& file, const std::vector<std::string>& tex, const std::vector<Box>& boxes) {
    ctx.Member("Data", file, BoxModel(file.substr(0, file.size() - 2), tex, boxes));
    index.String(file).Number(static_cast<int64_t>(tex.size()));
    for (const auto& t : tex) index.String(t);
    index.EndRecord();
  };
  for (const Hull& h : kHulls) {
    const float s = h.scale;
    add(h.model, {"FacHull.bmp", "FacTrack.bmp"},
        {{{0, 0.6f * s, 0}, {1.0f * s, 0.35f * s, 1.6f * s}, 0},
         {{-1.1f * s, 0.35f * s, 0}, {0.25f * s, 0.35f * s, 1.7f * s}, 1},
         {{1.1f * s, 0.35f * s, 0}, {0.25f * s, 0.35f * s, 1.7f * s}, 1},
         {{0, 1.2f * s, -0.2f * s}, {0.6f * s, 0.25f * s, 0.7f * s}, 0},
         {{0, 1.2f * s, 1.2f * s}, {0.1f * s, 0.1f * s, 0.8f * s}, 0}});
  }
  // The goods other than hulls are seen only in the 300 x 200 previews,
  // from about 15 units away: built at a size that fills them.
  auto item = [&](const std::string& file, const std::vector<std::string>& tex, std::vector<Box> boxes) {
    constexpr float kPreviewScale = 3.0f;
    for (Box& b : boxes)
      for (int k = 0; k < 3; ++k) {
        b.centre[static_cast<size_t>(k)] *= kPreviewScale;
        b.half[static_cast<size_t>(k)] *= kPreviewScale;
      }
    add(file, tex, boxes);
  };
  item("FacLaser.x", {"FacMetal.bmp"}, {{{0, 0, 0}, {0.3f, 0.3f, 0.6f}, 0}, {{0, 0, 1.1f}, {0.08f, 0.08f, 0.6f}, 0}});
  item("FacIon.x", {"FacMetal.bmp", "FacShield.bmp"},
      {{{0, 0, 0}, {0.4f, 0.4f, 0.5f}, 0}, {{0, 0, 0.8f}, {0.25f, 0.25f, 0.3f}, 1}});
  item("FacFlame.x", {"FacEngine.bmp"}, {{{0, 0, 0}, {0.35f, 0.3f, 0.5f}, 0}, {{0, 0, 0.9f}, {0.15f, 0.15f, 0.4f}, 0}});
  item("FacCannon.x", {"FacMetal.bmp"}, {{{0, 0, 0}, {0.45f, 0.4f, 0.6f}, 0}, {{0, 0, 1.4f}, {0.12f, 0.12f, 0.9f}, 0}});
  item("FacLauncher.x", {"FacMetal.bmp"},
      {{{0, 0, 0}, {0.6f, 0.35f, 0.6f}, 0}, {{-0.3f, 0.45f, 0}, {0.2f, 0.1f, 0.6f}, 0}, {{0.3f, 0.45f, 0}, {0.2f, 0.1f, 0.6f}, 0}});
  item("FacShell.x", {"FacBrass.bmp"}, {{{0, 0, 0}, {0.15f, 0.15f, 0.45f}, 0}});
  item("FacMissile.x", {"FacMetal.bmp", "FacEngine.bmp"},
      {{{0, 0, 0}, {0.15f, 0.15f, 0.9f}, 0}, {{0, 0, -0.9f}, {0.3f, 0.05f, 0.15f}, 1}});
  item("FacRocket.x", {"FacBrass.bmp"}, {{{0, 0, 0}, {0.12f, 0.12f, 0.6f}, 0}, {{0, 0, -0.6f}, {0.22f, 0.04f, 0.1f}, 0}});
  item("FacShield.x", {"FacShield.bmp"}, {{{0, 0, 0}, {0.9f, 0.9f, 0.1f}, 0}});
  item("FacEngine.x", {"FacEngine.bmp", "FacMetal.bmp"},
      {{{0, 0, 0}, {0.6f, 0.4f, 0.8f}, 0}, {{0, 0.55f, -0.4f}, {0.15f, 0.15f, 0.15f}, 1}});
  item("FacReactor.x", {"FacReactor.bmp"}, {{{0, 0, 0}, {0.5f, 0.7f, 0.5f}, 0}});
}

void FactoryGoods(Context& ctx) {
  plat::TextRecordWriter weapons;
  for (const Gun& g : kGuns)
    weapons.String(g.name).Single(g.speed).Single(g.agile).Number(g.range).Number(g.power).Single(g.fireSpeed)
        .Single(g.energy).Number(g.angle).Number(g.path).Number(g.rounds).Number(g.price).Number(g.weight)
        .Number(g.shot).String(g.model).EndRecord();
  ctx.Member("Data", "UserWeapon.ini", weapons.Text());

  plat::TextRecordWriter equipment;
  // The hulls share the player's battle picture.
  for (const Hull& h : kHulls)
    equipment.String(h.name).String(h.model).Number(h.rows).Single(h.agile).Number(h.price).Number(h.capacity)
        .String("Tank01").EndRecord();
  for (const Part& p : kParts)
    equipment.String(p.name).String(p.model).Single(p.a).Single(p.b).Number(p.price).Number(p.weight).String("")
        .EndRecord();
  ctx.Member("Data", "Equment.ini", equipment.Text());

  plat::TextRecordWriter index;
  Models(ctx, index);
  HallModels(ctx, index);
  ctx.Member("Data", "Index.txt", index.Text());

  // The first profile starts with a scout fitted and ready, within its
  // capacity (115 of its 120), and a spare shell. A kit already there is the
  // player's own and stays as it is.
  plat::TextRecordWriter kit;
  kit.String("Scout Tank").Number(5).Number(0).EndRecord();
  kit.String("Cannon Artillery Shell").Number(1).Number(0).EndRecord();
  kit.String("Scout Tank").Number(15).Number(0).EndRecord();
  kit.String("Pulse Laser").Number(11).Number(1).EndRecord();
  kit.String("Light Cannon").Number(11).Number(2).EndRecord();
  kit.String("Light Shield").Number(13).Number(0).EndRecord();
  kit.String("Basic Engine").Number(12).Number(0).EndRecord();
  kit.String("Small Reactor").Number(14).Number(0).EndRecord();
  kit.String("Cannon Artillery Shell").Number(11).Number(12).EndRecord();
  ctx.Loose("save/user1.DAT", kit.Text());
}

Step goods("factory catalogues, models and starting kit", 45, FactoryGoods);

}  // namespace
}  // namespace mkdata

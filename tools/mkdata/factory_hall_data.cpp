// The maintenance hall: a floored and walled hall with four shop booths in
// the directions the player turns to, the assembly arm, the exit door, the
// tank platform with its turntable, the walking robot and the cart; their
// textures; the loading picture and the popup help sheet.
#include "tools/mkdata/factory_hall_data.hpp"

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "tools/mkdata/canvas.hpp"
#include "tools/mkdata/d3d_models.hpp"

namespace mkdata {
namespace {

using models::BoxMeshText;
using models::MaterialText;
using models::MatrixText;
using models::Translation;
using Vec = std::array<float, 3>;

// A box in hall coordinates (y up) with one of the model's materials.
struct Part {
  Vec centre, half;
  int material;
};
struct Material {
  Rgb colour;
  std::string texture;  // "" for a plain colour
};

std::string Model(const std::string& frame, const std::vector<Material>& materials, const std::vector<Part>& parts,
                  bool turnedDown) {
  std::string out = "xof 0302txt 0032\n\n";
  for (size_t i = 0; i < materials.size(); ++i) {
    const Rgb c = materials[i].colour;
    out += MaterialText(frame + "Mat" + std::to_string(i), c.r / 255.0f, c.g / 255.0f, c.b / 255.0f,
                        materials[i].texture);
  }
  out += "Frame " + frame + " {\n FrameTransformMatrix {\n  " + MatrixText(Translation(0, 0, 0)) + "\n }\n";
  for (size_t i = 0; i < parts.size(); ++i) {
    const Part& p = parts[i];
    // The hall's fixed models are turned on loading so that their z axis
    // points down.
    out += BoxMeshText(frame + "Part" + std::to_string(i), p.centre, p.half, frame + "Mat" + std::to_string(p.material),
                       turnedDown);
  }
  return out + "}\n";
}

Canvas Tiles(Rgb base, Rgb line, int cells) {
  Canvas c(256, 256, base);
  c.Noise(0, 0, 256, 256, 0.08f, 11);
  const float step = 256.0f / static_cast<float>(cells);
  for (int k = 0; k <= cells; ++k) {
    const float at = static_cast<float>(k) * step;
    c.Line(at, 0, at, 256, line, 2);
    c.Line(0, at, 256, at, line, 2);
  }
  return c;
}

// A booth's sign: the shop's name on a lit panel.
Canvas Sign(const std::string& text, Rgb panel) {
  Canvas c(128, 64, panel);
  c.Frame(0, 0, 128, 64, {240, 240, 200}, 3);
  c.TextCentered(64, 20, text, 20, {255, 255, 255}, true);
  return c;
}

struct Booth {
  const char* file;
  const char* sign;
  float yaw;  // the middle of the turn that opens the shop
  Rgb colour;
};
// The hall's camera stands at (-8.8, 11, 6) and turns by yaw (degrees from
// +z towards +x); the shops open while it looks a few degrees below the
// level (pitch 271 to 281). Each booth stands sixty units away in the
// middle of its shop's turn, a counter as tall as the camera stands high,
// so that seen from there it spans about the shop's pitches and the label
// shows while the counter is in the middle of the view.
const Booth kBooths[] = {
    {"Weapon.x", "WEAPONS", 27.5f, {170, 50, 40}},
    {"Engine.x", "ENGINES", 197.5f, {190, 120, 30}},
    {"Shield.x", "SHIELDS", 153.0f, {40, 90, 180}},
    {"Reactor.x", "REACTORS", 343.0f, {40, 150, 70}},
};
constexpr float kCameraX = -8.8f, kCameraZ = 6.0f, kBoothDistance = 60.0f;
// The boards of the tank platform and the assembly arm, which are looked
// down on rather than met at the level.
constexpr Rgb kTankShopColour{110, 60, 150}, kAssemblyColour{30, 110, 120};

}  // namespace

void HallModels(Context& ctx, plat::TextRecordWriter& index) {
  auto texture = [&](const std::string& file, const Canvas& picture) {
    const auto bmp = picture.Bmp();
    ctx.Member("Data", file, bmp.data(), bmp.size());
  };
  auto model = [&](const std::string& file, const std::vector<Material>& materials, const std::vector<Part>& parts,
                   bool turnedDown) {
    ctx.Member("Data", file, Model(file.substr(0, file.size() - 2), materials, parts, turnedDown));
    std::vector<std::string> textures;
    for (const Material& m : materials)
      if (!m.texture.empty()) textures.push_back(m.texture);
    index.String(file).Number(static_cast<int64_t>(textures.size()));
    for (const auto& t : textures) index.String(t);
    index.EndRecord();
  };

  texture("HallFloor.bmp", Tiles({92, 96, 100}, {60, 62, 66}, 16));
  texture("HallWall.bmp", Tiles({120, 112, 96}, {80, 74, 62}, 4));
  texture("HallStripe.bmp", [] {
    Canvas c(64, 64, {230, 190, 30});
    for (int k = -64; k < 128; k += 16) c.Line(static_cast<float>(k), 64, static_cast<float>(k + 64), 0, {30, 30, 30}, 5);
    return c;
  }());
  texture("HallExit.bmp", [] {
    Canvas c(128, 128, {60, 70, 80});
    c.Rect(10, 30, 108, 98, {40, 48, 56});
    c.Line(64, 30, 64, 128, {20, 24, 28}, 3);
    c.Rect(24, 4, 80, 22, {30, 160, 60});
    c.TextCentered(64, 6, "EXIT", 16, {255, 255, 255}, true);
    return c;
  }());

  // The hall, with a ceiling: wide enough for the robots' far station and
  // for robots that swing round one another far off their ways (x -145 to
  // 225, z -95 to 175).
  model("maintenance.x", {{{255, 255, 255}, "HallFloor.bmp"}, {{255, 255, 255}, "HallWall.bmp"}},
        {{{40, -0.5f, 40}, {185, 0.5f, 135}, 0},
         {{40, 20, -95}, {185, 20, 0.5f}, 1},
         {{40, 20, 175}, {185, 20, 0.5f}, 1},
         {{-145, 20, 40}, {0.5f, 20, 135}, 1},
         {{225, 20, 40}, {0.5f, 20, 135}, 1},
         {{40, 40.5f, 40}, {185, 0.5f, 135}, 1}},
        true);
  // The factory's frame for the preview scene, which shows it at a
  // hundredth of these sizes.
  model("ACMR-6.x", {{{150, 150, 160}, ""}, {{90, 90, 100}, ""}},
        {{{0, 100, 0}, {300, 100, 200}, 0}, {{0, 250, 0}, {320, 50, 220}, 1}}, true);
  for (const Booth& b : kBooths) {
    const std::string sign = std::string(b.file).substr(0, std::string(b.file).size() - 2) + "Sign.bmp";
    texture(sign, Sign(b.sign, b.colour));
    const float yaw = b.yaw * 3.14159265f / 180.0f;
    const float x = kCameraX + kBoothDistance * std::sin(yaw), z = kCameraZ + kBoothDistance * std::cos(yaw);
    // The counter wears its lettered signboard as its own face: a board
    // laid over it would flicker into it at this distance.
    model(b.file, {{b.colour, ""}, {{255, 255, 255}, sign}, {{255, 255, 255}, "HallStripe.bmp"}},
          {{{x, 6, z}, {10, 6, 3}, 1},
           {{x, 0.1f, z}, {12, 0.1f, 5}, 2},
           {{x, 12.3f, z}, {10.5f, 0.3f, 3.5f}, 0}},
          true);
  }
  // Placed at (-20, 0, 7): the assembly arm stands a little beyond, where
  // the camera looks down to open the assembly (yaw 286, pitch 305), the
  // exit door far across the hall beyond the tank platform. The arm's beam
  // reaches sideways, so that the lettered board on the column's face
  // stays in view however far down the camera looks to pick the arm.
  const float ax = -0.8f, az = 2.45f;
  texture("ArmSign.bmp", Sign("ASSEMBLY", kAssemblyColour));
  model("arm.x",
        {{{200, 160, 40}, ""}, {{90, 90, 100}, ""}, {{255, 255, 255}, "HallStripe.bmp"},
         {{255, 255, 255}, "ArmSign.bmp"}},
        {{{ax, 0.1f, az}, {5, 0.1f, 5}, 2},
         {{ax, 1.5f, az}, {2.5f, 1.5f, 2.5f}, 1},
         {{ax, 5, az}, {0.6f, 3, 0.6f}, 0},
         {{ax, 8, az + 1.8f}, {0.5f, 0.5f, 2.4f}, 0},
         {{ax, 6.5f, az + 4}, {0.4f, 1.5f, 0.4f}, 1},
         {{ax + 0.65f, 4, az}, {0.05f, 1, 2}, 3}},
        true);
  model("exit.x", {{{255, 255, 255}, "HallExit.bmp"}, {{70, 70, 80}, ""}},
        {{{79, 7, 0}, {0.6f, 7, 6}, 0}, {{79.5f, 14.5f, 0}, {0.8f, 0.5f, 7}, 1}}, true);
  // Placed at (5.6, 0, 7): the platform's pit and its turning table, and
  // before the pit, clear of the table's turning corners, a lettered board
  // on two legs, low enough to stay in view however far down the camera
  // looks to pick the platform.
  texture("TankSign.bmp", Sign("TANKS", kTankShopColour));
  model("tank.x", {{{80, 84, 90}, ""}, {{255, 255, 255}, "HallStripe.bmp"}, {{255, 255, 255}, "TankSign.bmp"}},
        {{{0, 1, 0}, {6, 1, 6}, 0},
         {{0, 2.05f, 0}, {6.2f, 0.05f, 6.2f}, 1},
         {{-6.5f, 1.35f, -2.8f}, {0.1f, 1.35f, 0.1f}, 0},
         {{-6.5f, 1.35f, 1.2f}, {0.1f, 1.35f, 0.1f}, 0},
         {{-6.5f, 3.8f, -0.8f}, {0.05f, 1.1f, 2.2f}, 2}},
        true);
  model("tankPP.x", {{{150, 156, 165}, ""}, {{230, 190, 30}, ""}},
        {{{0, 2.7f, 0}, {4.5f, 0.7f, 4.5f}, 0}, {{0, 3.42f, 3.5f}, {0.6f, 0.03f, 0.8f}, 1}}, true);

  // The robots stand upright, 2.1 above the floor at their origin. The
  // walker faces -z and walks in place over the key times 0 to 40.
  texture("RobotBody.bmp", [] {
    Canvas c(32, 32, {200, 200, 210});
    c.Rect(8, 6, 16, 8, {40, 160, 220});
    return c;
  }());
  {
    std::string out = "xof 0302txt 0032\n\n" + MaterialText("RobotMat", 1, 1, 1, "RobotBody.bmp");
    out += "Frame Robot {\n FrameTransformMatrix {\n  " + MatrixText(Translation(0, 0, 0)) + "\n }\n";
    out += BoxMeshText("RobotBody", {0, 0.6f, 0}, {0.8f, 1.0f, 0.5f}, "RobotMat");
    out += BoxMeshText("RobotHead", {0, 2.0f, 0}, {0.4f, 0.35f, 0.4f}, "RobotMat");
    const char* legs[] = {"LegL", "LegR"};
    for (int i = 0; i < 2; ++i) {
      const float x = i == 0 ? -0.4f : 0.4f;
      out += " Frame " + std::string(legs[i]) + " {\n  FrameTransformMatrix {\n   " +
             MatrixText(Translation(x, -0.4f, 0)) + "\n  }\n" +
             BoxMeshText(std::string(legs[i]) + "Mesh", {0, -0.85f, 0}, {0.25f, 0.85f, 0.25f}, "RobotMat") + " }\n";
    }
    out += "}\n\nAnimationSet Walk {\n";
    for (int i = 0; i < 2; ++i) {
      const float x = i == 0 ? -0.4f : 0.4f;
      out += " Animation Swing" + std::string(legs[i]) + " {\n  { " + legs[i] + " }\n  AnimationKey {\n   4;\n   5;\n";
      for (int k = 0; k <= 4; ++k) {
        const float swing = (k % 2 == 0 ? 0.0f : (k == 1 ? 0.5f : -0.5f)) * (i == 0 ? 1.0f : -1.0f);
        out += "   " + std::to_string(k * 10) + ";16;" + MatrixText(models::TurnXThenMove(swing, x, -0.4f, 0)) +
               (k < 4 ? ",\n" : ";\n");
      }
      out += "  }\n }\n";
    }
    out += "}\n";
    ctx.Member("Data", "Root01.x", out);
    index.String("Root01.x").Number(1).String("RobotBody.bmp").EndRecord();
  }
  // The cart faces +x.
  model("Car.x", {{{220, 120, 30}, ""}, {{40, 40, 44}, ""}, {{255, 255, 255}, "RobotBody.bmp"}},
        {{{0, -0.9f, 0}, {1.8f, 0.6f, 1.1f}, 0},
         {{0.9f, 0.1f, 0}, {0.5f, 0.5f, 0.8f}, 2},
         {{-1.1f, -1.6f, 1.1f}, {0.45f, 0.45f, 0.15f}, 1},
         {{1.1f, -1.6f, 1.1f}, {0.45f, 0.45f, 0.15f}, 1},
         {{-1.1f, -1.6f, -1.1f}, {0.45f, 0.45f, 0.15f}, 1},
         {{1.1f, -1.6f, -1.1f}, {0.45f, 0.45f, 0.15f}, 1}},
        false);

  // The loading screen and the help sheet (one column of seven cells, in
  // the order weapon, shield, engine, reactor, tank, assembly, exit).
  {
    Canvas c(640, 480, {10, 14, 18});
    c.VerticalGradient(0, 0, 640, 480, {16, 24, 30}, {4, 6, 8});
    c.Frame(40, 30, 560, 420, {40, 120, 60}, 2);
    c.TextCentered(320, 400, "MAINTENANCE FACTORY", 28, {60, 200, 90}, true);
    const auto jpg = c.Jpg();
    ctx.Member("Data", "ProcessPic.jpg", jpg.data(), jpg.size());
  }
  {
    const char* lines[] = {"Weapon Shop", "Shield Shop", "Engine Shop", "Reactor Shop",
                           "Tank Shop",   "Assembly",    "Exit Factory"};
    Canvas c(120, 7 * 20, {0, 0, 0});
    for (int i = 0; i < 7; ++i) {
      c.Rect(1, i * 20 + 1, 118, 18, {20, 60, 30});
      c.Frame(1, i * 20 + 1, 118, 18, {60, 200, 90});
      c.Text(6, i * 20 + 3, lines[i], 13, {230, 255, 230}, true);
    }
    const auto bmp = c.Bmp();
    ctx.Member("Data", "PopupHelp2.bmp", bmp.data(), bmp.size());
  }
}

}  // namespace mkdata

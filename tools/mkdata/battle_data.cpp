// The battle's tables and pictures in "Data" (the sound table, the enemy
// weapons, the unit and shot picture catalogues, unit, shot, effect, wreck
// and panel pictures) and the first mission map "MapA" in "MissionPack"
// (land mask, description and background tiles). Sprites are drawn on
// black, the colour key of the battle's pictures; effects are bright on
// black, as they are added onto the frame.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/runtime/text_records.hpp"
#include "tools/mkdata/canvas.hpp"
#include "tools/mkdata/map_writer.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {
namespace {

constexpr float kPi = 3.14159265f;
constexpr int kCols = 256, kRows = 192, kCell = 20;

// A sheet of cols x rows cells of w x h, each drawn by draw(cell, n) with
// n counted from 0 row by row.
Canvas Sheet(int cols, int rows, int w, int h, const std::function<void(Canvas&, int)>& draw) {
  Canvas sheet(cols * w, rows * h);
  for (int n = 0; n < cols * rows; ++n) {
    Canvas one(w, h);
    draw(one, n);
    sheet.Paste(one, (n % cols) * w, (n / cols) * h);
  }
  return sheet;
}

void Bmp(Context& ctx, const std::string& member, const Canvas& c) {
  const auto bytes = c.Bmp();
  ctx.Member("Data", member, bytes.data(), bytes.size());
}

Rgb Scale(Rgb c, float k) {
  auto s = [k](uint8_t v) { return static_cast<uint8_t>(std::clamp(v * k, 0.0f, 255.0f)); };
  return {s(c.r), s(c.g), s(c.b)};
}

// A shape on the ground turned by `deg` about (cx, cy) and seen at the
// battle's half-height perspective.
std::vector<std::pair<float, float>> Ground(const std::vector<std::pair<float, float>>& pts, float cx, float cy,
                                            float deg) {
  const float a = deg * kPi / 180, c = std::cos(a), s = std::sin(a);
  std::vector<std::pair<float, float>> out;
  for (auto [x, y] : pts) out.emplace_back(cx + x * c - y * s, cy + (x * s + y * c) * 0.5f);
  return out;
}

// ---------------------------------------------------------------- tables

std::string Rows(const std::function<void(plat::TextRecordWriter&)>& fill) {
  plat::TextRecordWriter w;
  fill(w);
  return w.Text();
}

const char* const kSoundKeys[] = {"Laser01",  "Laser02",  "Laser03",  "Laser04",  "Ball01",   "Ball02",
                                  "Ball03",   "Ball04",   "Rocket01", "Rocket02", "CANNON01", "CANNON02",
                                  "CANNON03", "CANNON04", "EXP01",    "EXP02",    "EXP03",    "EXP04",
                                  "EXP05",    "EXP06",    "EXP07",    "Shield01", "Shield02", "Hit01",
                                  "Bleep01"};

struct EnemyWeapon {
  const char* key;
  int speed, agile, range, power;
  float fireSpeed;
  int energy, angle, path, clip;
};

// Every enemy weapon spends energy: the table has no ammunition column.
// A rebel's gun reaches less far than the player's first laser and hurts
// less per second than a light shield recovers in a long fight alone: a
// new player who takes the rebels one or two at a time comes through.
const EnemyWeapon kEnemyWeapons[] = {
    {"Laser Gun", 12, 0, 340, 4, 0.03f, 4, 30, 1, 1},     {"Twin Laser", 13, 0, 360, 4, 0.035f, 4, 30, 1, 3},
    {"Heavy Laser", 12, 0, 400, 9, 0.025f, 8, 30, 1, 7},  {"Ion Gun", 8, 0, 330, 8, 0.03f, 6, 30, 1, 12},
    {"Cannon", 10, 0, 400, 12, 0.015f, 6, 20, 1, 31},     {"Heavy Cannon", 9, 0, 450, 18, 0.012f, 10, 20, 1, 33},
    {"Missile", 6, 4, 600, 16, 0.01f, 12, 60, 2, 21},     {"Rocket", 9, 3, 500, 12, 0.012f, 10, 45, 3, 22},
    {"Flame Gun", 5, 0, 200, 4, 0.08f, 3, 40, 1, 41},     {"Short Laser", 12, 0, 260, 2, 0.022f, 3, 30, 1, 1},
};

struct UnitPicture {
  const char* key;
  Rgb hull, turret;
};
const UnitPicture kUnits[] = {
    {"Tank01", {84, 120, 70}, {110, 150, 90}},   // the player's side: olive
    {"Tank02", {150, 70, 60}, {190, 96, 80}},    // enemy light: red
    {"Tank03", {120, 110, 130}, {150, 140, 165}},  // enemy heavy: grey violet
    {"Tank04", {180, 150, 70}, {210, 180, 100}},   // enemy scout: sand
};
constexpr int kUnitAcross = 12, kUnitDown = 6, kUnitW = 80, kUnitH = 60;

// A unit seen from above at heading `deg` (0 along +x, clockwise on
// screen), centred in its 80 x 60 cell.
void DrawUnit(Canvas& c, float deg, const UnitPicture& u, bool heavy) {
  const float cx = 40, cy = 32;
  const float len = heavy ? 30 : 26, wid = heavy ? 19 : 16;
  c.Polygon(Ground({{-len, -wid}, {len, -wid}, {len, wid}, {-len, wid}}, cx, cy + 3, deg), {16, 16, 16});  // shadow
  for (float side : {-1.0f, 1.0f}) {  // tracks
    c.Polygon(Ground({{-len, side * wid}, {len, side * wid}, {len, side * (wid - 6)}, {-len, side * (wid - 6)}}, cx,
                     cy, deg),
              {54, 52, 48});
  }
  c.Polygon(Ground({{-len + 3, -wid + 5}, {len - 2, -wid + 5}, {len + 2, 0}, {len - 2, wid - 5}, {-len + 3, wid - 5}},
                   cx, cy - 3, deg),
            u.hull);
  c.Polygon(Ground({{-len + 6, -wid + 8}, {len - 6, -wid + 8}, {len - 6, -wid + 10}, {-len + 6, -wid + 10}}, cx, cy - 3,
                   deg),
            Scale(u.hull, 1.3f));
  const float a = deg * kPi / 180;
  const float bx = std::cos(a), by = std::sin(a) * 0.5f;
  c.Line(cx, cy - 8, cx + bx * (len + 10), cy - 8 + by * (len + 10), {40, 40, 40}, heavy ? 4.0f : 3.0f);
  c.Disc(cx, cy - 8, heavy ? 10.0f : 8.5f, Scale(u.turret, 0.7f));
  c.Disc(cx - 1, cy - 9, heavy ? 8.5f : 7.0f, u.turret);
  c.Disc(cx - 3, cy - 11, 2.5f, Scale(u.turret, 1.35f));
}

// ---------------------------------------------------------------- shots and effects

Rgb LaserColour(int k) {
  const Rgb colours[] = {{255, 60, 60},  {255, 140, 40}, {255, 230, 60}, {80, 255, 80}, {60, 220, 255},
                         {90, 120, 255}, {200, 90, 255}, {255, 90, 200}, {255, 255, 255}};
  return colours[k % 9];
}

void DrawLaser(Canvas& c, int cell, int kind) {
  const float a = cell * 6.0f * kPi / 180;
  const float dx = std::cos(a) * 10, dy = std::sin(a) * 7;
  const Rgb col = LaserColour(kind);
  c.Line(12 - dx, 9 - dy, 12 + dx, 9 + dy, Scale(col, 0.5f), 4.0f);
  c.Line(12 - dx, 9 - dy, 12 + dx, 9 + dy, col, 2.0f);
  c.Line(12 - dx * 0.8f, 9 - dy * 0.8f, 12 + dx * 0.8f, 9 + dy * 0.8f, {255, 255, 255});
}

void DrawBall(Canvas& c, int cell) {
  const Rgb col[] = {{80, 200, 255}, {120, 255, 120}, {255, 220, 80}, {255, 120, 60}, {220, 120, 255}, {255, 255, 255}};
  c.Disc(9, 9, 8, Scale(col[cell % 6], 0.45f));
  c.Disc(9, 9, 6, col[cell % 6]);
  c.Disc(8, 8, 3, {255, 255, 255});
}

void DrawMissile(Canvas& c, int cell, bool big) {
  const float deg = cell * 6.0f;
  const float l = big ? 12 : 9, w = big ? 3 : 2.2f;
  c.Polygon(Ground({{-l, -w}, {l - 3, -w}, {l + 2, 0}, {l - 3, w}, {-l, w}}, 16, 12, deg), {210, 210, 200});
  c.Polygon(Ground({{l - 3, -w}, {l + 2, 0}, {l - 3, w}}, 16, 12, deg), {220, 60, 40});
  c.Polygon(Ground({{-l, -w - 3}, {-l + 4, -w}, {-l + 4, w}, {-l, w + 3}}, 16, 12, deg), {120, 120, 120});
  const float a = deg * kPi / 180;
  c.Disc(16 - std::cos(a) * (l + 2), 12 - std::sin(a) * (l + 2) * 0.5f, 2.5f, {255, 200, 80});
}

void DrawShell(Canvas& c, int cell) {
  const float r = 3.0f + cell * 0.8f;
  c.Disc(16, 12, r + 2, {120, 70, 20});
  c.Disc(16, 12, r, {255, 190, 90});
  c.Disc(15, 11, r * 0.4f, {255, 255, 220});
}

// A fireball of 30 frames: it grows, then cools to smoke.
void DrawExplosion(Canvas& c, int frame, Rgb hot, float size) {
  const float t = frame / 29.0f;
  const float cx = c.Width() / 2.0f, cy = c.Height() / 2.0f;
  const float r = (0.25f + 0.75f * std::sqrt(t)) * size;
  const float heat = 1.0f - t;
  for (int k = 0; k < 7; ++k) {
    const float a = k * 0.9f + frame * 0.07f;
    const float d = r * 0.45f;
    c.Disc(cx + std::cos(a) * d, cy + std::sin(a) * d, r * 0.55f, Scale(Mix({90, 40, 20}, hot, heat), 0.3f + 0.7f * heat));
  }
  if (heat > 0.3f) c.Disc(cx, cy, r * 0.5f * heat, Mix(hot, {255, 255, 220}, heat));
}

void DrawSmoke(Canvas& c, int frame, Rgb tone) {
  const float t = frame / 29.0f;
  const float cx = c.Width() / 2.0f, cy = c.Height() / 2.0f - t * 8;
  const float r = 6 + 16 * t;
  const float k = 0.9f * (1.0f - t) + 0.1f;
  for (int i = 0; i < 5; ++i) {
    const float a = i * 1.3f;
    c.Disc(cx + std::cos(a) * r * 0.4f, cy + std::sin(a) * r * 0.3f, r * 0.6f, Scale(tone, k));
  }
}

void DrawFlame(Canvas& c, int frame, float height) {
  const float cx = c.Width() / 2.0f, base = c.Height() * 0.8f;
  for (int i = 0; i < 6; ++i) {
    const float phase = (frame + i * 5) % 30 / 30.0f;
    const float y = base - phase * height;
    const float r = (1 - phase) * height * 0.3f + 2;
    const float sway = std::sin(frame * 0.4f + i) * 3;
    c.Disc(cx + sway, y, r, Mix({255, 230, 120}, {200, 40, 10}, phase));
  }
}

void DrawShockwave(Canvas& c, int frame) {
  const float t = frame / 29.0f;
  const float r = 4 + t * (c.Width() / 2.0f - 6);
  c.Ring(c.Width() / 2.0f, c.Height() / 2.0f, r, 3, Scale({180, 220, 255}, 1.0f - t * 0.8f));
}

struct Effect {
  std::string key;
  int across, down, w, h;
  std::function<void(Canvas&, int)> draw;
};

std::vector<Effect> AllTextures() {
  std::vector<Effect> e;
  for (int k = 0; k < 9; ++k) {
    char key[16];
    std::snprintf(key, sizeof key, "LASER%02d", k + 1);
    e.push_back({key, 10, 3, 24, 18, [k](Canvas& c, int n) { DrawLaser(c, n, k); }});
  }
  e.push_back({"BALL01", 6, 1, 18, 18, DrawBall});
  e.push_back({"MIS01", 10, 6, 32, 24, [](Canvas& c, int n) { DrawMissile(c, n, false); }});
  e.push_back({"MIS02", 10, 6, 32, 24, [](Canvas& c, int n) { DrawMissile(c, n, true); }});
  e.push_back({"AC01", 5, 1, 32, 24, DrawShell});
  const struct {
    const char* key;
    Rgb hot;
    float size;
  } blasts[] = {{"EXP01", {255, 170, 60}, 20},
                {"EXP02", {255, 120, 40}, 22},
                {"EXP03", {255, 220, 90}, 18},
                {"EXP04", {255, 90, 30}, 23},
                {"EXP05", {120, 200, 255}, 21}};
  for (const auto& b : blasts)
    e.push_back({b.key, 6, 5, 48, 48, [b](Canvas& c, int n) { DrawExplosion(c, n, b.hot, b.size); }});
  e.push_back({"FOG01", 6, 5, 48, 48, [](Canvas& c, int n) { DrawSmoke(c, n, {120, 118, 112}); }});
  e.push_back({"FOG03", 6, 5, 48, 48, [](Canvas& c, int n) { DrawSmoke(c, n, {70, 66, 60}); }});
  e.push_back({"ENG01", 6, 5, 48, 48, [](Canvas& c, int n) { DrawFlame(c, n, 18); }});
  e.push_back({"SHOCKWAVE", 6, 5, 48, 48, DrawShockwave});
  e.push_back({"FIRE01", 6, 5, 48, 48, [](Canvas& c, int n) { DrawFlame(c, n, 34); }});
  return e;
}

// ---------------------------------------------------------------- panel

// The panel picture is drawn with its top at screen y 229; every well below
// lies exactly under what the battle draws over it (screen positions minus
// 229), so the bars, gauges, boxes, portrait, icon and radar fill their
// wells and the help hot spots cover what they name.
constexpr int kPanelTop = 229;
constexpr Rgb kWell{22, 24, 28};
constexpr Rgb kRadarWell{8, 28, 12};

void Well(Canvas& c, int x, int screenY, int w, int h, Rgb frame) {
  const int y = screenY - kPanelTop;
  c.Frame(x - 2, y - 2, w + 4, h + 4, frame, 1);
  c.Rect(x, y, w, h, kWell);
}

void Panel(Canvas& c, bool second) {
  const Rgb edge{90, 96, 100}, label{170, 200, 170};
  c.VerticalGradient(0, 0, c.Width(), c.Height(), second ? Rgb{50, 58, 70} : Rgb{58, 62, 66}, {30, 32, 36});
  c.Rect(0, 0, c.Width(), 140, {});  // the battlefield shows through above the console
  c.Rect(0, 140, c.Width(), 3, {120, 126, 130});
  // The picked target's energy, shield and hull bars (screen y 307, 324,
  // 341) on a small plate over the battlefield.
  c.VerticalGradient(14, 305 - kPanelTop, 108, 46, {58, 62, 66}, {40, 42, 46});
  c.Frame(14, 305 - kPanelTop, 108, 46, edge, 1);
  const char* targetLabels[] = {"E", "S", "H"};
  for (int k = 0; k < 3; ++k) {
    Well(c, 30, 307 + 17 * k, 90, 6, edge);
    c.Text(18, 305 + 17 * k - kPanelTop, targetLabels[k], 9, label);
  }
  // The player's hull, shield and energy bars, 12 x 64 from screen y 401.
  const struct {
    int x;
    const char* name;
  } bars[] = {{15, "H"}, {51, "S"}, {87, "E"}};
  for (const auto& b : bars) {
    Well(c, b.x, 401, 12, 64, edge);
    c.Text(b.x + 2, 388 - kPanelTop, b.name, 9, label);
  }
  Well(c, 130, 390, 60, 72, edge);  // the pilot
  // The weapons: the class icon between the two groups of boxes.
  c.Frame(204, 381 - kPanelTop, 232, 44, edge, 2);
  c.Text(208, 370 - kPanelTop, second ? "WEAPONS - 2" : "WEAPONS", 9, label);
  Well(c, 298, 386, 60, 30, edge);
  const int boxes[][2] = {{254, 390}, {222, 401}, {258, 401}, {212, 413}, {261, 413},
                          {366, 389}, {363, 400}, {398, 400}, {359, 412}};
  for (const auto& b : boxes) c.Rect(b[0], b[1] - kPanelTop, 30, 6, kWell);
  // Throttle (screen y 451) and speed (465) gauges, zero at x 477.
  c.Text(447, 437 - kPanelTop, "THROTTLE / SPEED", 9, label);
  Well(c, 447, 451, 131, 8, edge);
  Well(c, 447, 465, 131, 8, edge);
  c.Rect(477, 448 - kPanelTop, 1, 1, {230, 230, 230});
  c.Rect(477, 476 - kPanelTop, 1, 1, {230, 230, 230});
  // The radar, 60 x 70 at (560, 381); its own background is transparent.
  // The throttle gauge starts right under it, so its frame stops there.
  c.Frame(557, 378 - kPanelTop, 66, 451 - 378, edge, 2);
  c.Rect(560, 381 - kPanelTop, 60, 70, kRadarWell);
}

void Portrait(Canvas& c, int n) {
  const float blink = (n % 11 == 5) ? 0.2f : 1.0f;
  const float talk = (n / 3) % 2 ? 3.0f : 1.0f;
  c.VerticalGradient(0, 0, c.Width(), c.Height(), {40, 60, 90}, {20, 30, 50});
  c.Disc(30, 64, 24, {60, 80, 70});                          // shoulders
  c.Disc(30, 30, 15, {230, 190, 160});                       // face
  c.Disc(30, 20, 15, {90, 50, 30});                          // hair
  c.Rect(17, 24, 26, 8, {230, 190, 160});
  c.Rect(23, 29, 4, std::max(1, static_cast<int>(3 * blink)), {30, 30, 40});
  c.Rect(33, 29, 4, std::max(1, static_cast<int>(3 * blink)), {30, 30, 40});
  c.Rect(27, 37, 6, static_cast<int>(talk), {160, 70, 70});
  c.Line(14, 22, 14, 40, {50, 50, 50}, 2);  // headset
  c.Disc(14, 36, 3, {60, 60, 60});
}

void PanelPictures(Context& ctx) {
  Canvas p1(640, 251), p2(640, 251);
  Panel(p1, false);
  Panel(p2, true);
  Bmp(ctx, "Panel1.bmp", p1);
  Bmp(ctx, "Panel2.bmp", p2);
  // Energy, shield and hull bars: three cells across.
  Bmp(ctx, "grid1.bmp", Sheet(3, 1, 12, 64, [](Canvas& c, int n) {
        const Rgb col[] = {{240, 210, 60}, {60, 220, 240}, {80, 230, 90}};
        c.VerticalGradient(1, 0, 10, 64, col[n], Scale(col[n], 0.45f));
      }));
  // Throttle gauge: column 30 is zero, 30 pixels backwards, 100 forwards.
  {
    Canvas g(131, 8);
    for (int x = 0; x < 131; ++x) {
      const Rgb col = x < 30 ? Mix({240, 80, 60}, {120, 40, 30}, x / 30.0f) : Mix({60, 120, 60}, {120, 255, 120}, (x - 30) / 100.0f);
      if (x != 30) g.Rect(x, 1, 1, 6, col);
    }
    Bmp(ctx, "grid2.bmp", g);
  }
  Bmp(ctx, "grid3.bmp", Sheet(1, 3, 90, 6, [](Canvas& c, int n) {
        const Rgb col[] = {{240, 210, 60}, {60, 220, 240}, {80, 230, 90}};
        c.Rect(0, 1, 90, 4, col[n]);
      }));
  Bmp(ctx, "Target.bmp", Sheet(7, 2, 80, 60, [](Canvas& c, int n) {
        const Rgb col = n < 7 ? Rgb{255, 70, 60} : Rgb{255, 230, 90};
        const int inset = 2 + (n % 7);
        const int l = 10;
        for (auto [x, y, dx, dy] : {std::array<int, 4>{inset, inset, 1, 1}, {79 - inset, inset, -1, 1},
                                    {inset, 59 - inset, 1, -1}, {79 - inset, 59 - inset, -1, -1}}) {
          c.Line(x, y, x + dx * l, y, col, 2);
          c.Line(x, y, x, y + dy * l, col, 2);
        }
      }));
  // In the order of the panel's hot spots.
  const char* help[] = {"Radar", "Target: energy / shield / hull", "Weapons", "Throttle and speed",
                        "Hull", "Shield", "Energy"};
  Bmp(ctx, "Popuphelp1.bmp", Sheet(1, 7, 200, 20, [&help](Canvas& c, int n) {
        c.Rect(0, 0, 200, 20, {250, 240, 200});
        c.Frame(0, 0, 200, 20, {90, 80, 60});
        c.Text(5, 3, help[n], 12, {30, 30, 30});
      }));
  const char* classes[] = {"LASER", "CANNON", "MISSILE", "ROCKET", "ION", "FLAME"};
  Bmp(ctx, "WeaponIndex1.bmp", Sheet(1, 6, 60, 30, [&classes](Canvas& c, int n) {
        c.Rect(1, 1, 58, 28, {20, 40, 24});
        c.Frame(1, 1, 58, 28, {80, 200, 90});
        c.TextCentered(30, 9, classes[n], 11, {120, 255, 130}, true);
      }));
  Bmp(ctx, "Hgirl.bmp", Sheet(33, 1, 60, 72, Portrait));
}

// ---------------------------------------------------------------- MapA

// Terrain areas of MapA in file order (1 to N), laid out for the first
// mission: the player starts in the west (2), the leader waits to the north
// (9, under the radar's first mark), and the appointed spot lies beyond the
// rebels' base at the east edge (3, under the second mark). The others are
// where the rebels come in. Land-mask value m selects area m + 1, so the
// kinds of areas 2 to 6 act on the patches painted below, wherever those
// areas' own rectangles lie.
const MapArea kAreas[] = {
    {1700, 250, 1950, 390, 9, 0},       // 1: rebels north of the ford, off the road
    {300, 1700, 560, 1960, 0, 0.5f},    // 2 (mask 1): the player's start; mud halves progress
    {4760, 1820, 5000, 2060, 1, 0.5f},  // 3 (mask 2): the appointed spot; drift towards -x
    {3900, 2700, 4200, 2820, 2, 0.5f},  // 4 (mask 3): the base's reinforcements; drift towards +x
    {3550, 960, 3800, 1100, 3, 0.5f},   // 5 (mask 4): north wall guard; drift towards -y
    {3550, 2850, 3850, 3050, 4, 0.5f},  // 6 (mask 5): south wall guard; drift towards +y
    {3000, 1250, 3250, 1450, 9, 0},     // 7: east gate guard
    {3900, 760, 4100, 880, 9, 0},       // 8: the raiders of the attack road
    {600, 400, 860, 640, 9, 0},         // 9: where the leader waits
};

// The mud and drift patches: mask values 1 to 5, away from the start and
// the appointed spot so the player is neither slowed nor pushed there.
const MapArea kPatches[] = {
    {1500, 400, 1900, 800, 1, 0},    // mud
    {1400, 2000, 1800, 2200, 2, 0},  // drift towards -x
    {1400, 2400, 1800, 2600, 3, 0},  // drift towards +x
    {3000, 1200, 3200, 1600, 4, 0},  // drift towards -y
    {3300, 1200, 3500, 1600, 5, 0},  // drift towards +y
};

bool InRiver(int col, int row) {
  // A river from north to south, bent a little, with two fords; the
  // northern one is wide enough that the straight way from where the
  // leader waits to the appointed spot runs through it.
  const int centre = 120 + static_cast<int>(4 * std::sin(row / 18.0));
  const bool ford = (row >= 44 && row < 62) || (row >= 140 && row < 150);
  return !ford && col >= centre && col < centre + 4;
}

std::vector<uint8_t> MapAMask() {
  std::vector<uint8_t> m(kCols * kRows, 0);
  auto set = [&m](int c, int r, uint8_t v) {
    if (c >= 0 && c < kCols && r >= 0 && r < kRows) m[r * kCols + c] = v;
  };
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c)
      if (InRiver(c, r)) set(c, r, 255);
  // A wall one cell thick, and rock outcrops.
  for (int r = 70; r < 120; ++r) set(60, r, 255);
  for (int r = 150; r < 165; ++r)
    for (int c = 30; c < 40; ++c)
      if ((c - 35) * (c - 35) + (r - 157) * (r - 157) < 26) set(c, r, 255);
  for (int r = 20; r < 30; ++r)
    for (int c = 190; c < 205; ++c)
      if ((c - 197) * (c - 197) / 2 + (r - 25) * (r - 25) < 20) set(c, r, 255);
  for (const MapArea& p : kPatches)
    for (int r = p.t / kCell; r < p.b / kCell; ++r)
      for (int c = p.l / kCell; c < p.r / kCell; ++c) set(c, r, static_cast<uint8_t>(p.kind));
  return m;
}


// The ground at a map pixel, from the mask cell under it, in a map's own
// colours.
Rgb GroundAt(const std::vector<uint8_t>& mask, const GroundStyle& g, int x, int y) {
  const int c = x / kCell, r = y / kCell;
  const uint8_t v = mask[r * kCols + c];
  const float n = 0.6f * SmoothNoise(x / 90.0f, y / 60.0f, g.seed) + 0.4f * SmoothNoise(x / 14.0f, y / 10.0f, g.seed + 2);
  if (v == 255) {
    if (InRiver(c, r)) {
      const float ripple = std::fmod(y / 3.0f + 4 * std::sin(x / 30.0f), 10.0f) < 1.0f ? 0.25f : 0.0f;
      return Mix(Mix(g.waterLow, g.waterHigh, n), g.ripple, ripple);
    }
    return Mix(g.rockLow, g.rockHigh, n);
  }
  switch (v) {
    case 1: return Mix(g.mudLow, g.mudHigh, n);
    case 2: case 3: case 4: case 5: {
      // Drift strips: chevrons pointing the way they carry.
      Rgb base = Mix(g.driftLow, g.driftHigh, n);
      const int along = (v == 2 || v == 3) ? x : y;
      const int across = (v == 2 || v == 3) ? y : x;
      const bool plus = v == 3 || v == 5;
      const int p = ((plus ? -along : along) + std::abs(across % 40 - 20)) % 40;
      if (p >= 0 && p < 6) base = Mix(base, g.chevron, 0.6f);
      return base;
    }
    default: break;
  }
  Rgb ground = Mix(g.groundLow, g.groundHigh, n);
  if (g.streaks) {
    // Long wind-blown bands across the open ground.
    const float band = SmoothNoise(x / 400.0f, y / 40.0f, g.seed + 5);
    if (band > 0.62f) ground = Mix(ground, g.speck, (band - 0.62f) * 1.5f);
  }
  if (Hash(x / 2, y / 2, g.seed + 6) > 0.96f) ground = Mix(ground, g.speck, 0.6f);
  return ground;
}

// Map A: grass, a blue river, grey rocks, brown mud and sand strips.
const GroundStyle kGrassland{{58, 104, 44}, {112, 156, 70}, {180, 210, 90}, {30, 64, 120}, {60, 110, 170},
                             {200, 225, 250}, {80, 76, 70}, {150, 144, 134}, {92, 70, 44}, {130, 100, 64},
                             {190, 168, 110}, {226, 204, 146}, {120, 90, 50}, 3, false};

}  // namespace

std::vector<uint8_t> SampleGroundMask() { return MapAMask(); }

std::vector<std::string> GroundTiles(const std::string& map) {
  std::vector<std::string> tiles;
  for (int tr = 0; tr < 4; ++tr)
    for (int tc = 0; tc < 4; ++tc) tiles.push_back(map + std::to_string(tr) + std::to_string(tc) + ".jpg");
  return tiles;
}

std::vector<std::string> SampleTiles() { return GroundTiles("MapA"); }

std::vector<std::string> WriteGround(Context& ctx, const std::string& map, const std::vector<uint8_t>& mask,
                                     const GroundStyle& style) {
  // 4 x 4 tiles of 640 x 480, each pixel 2 x 2 map pixels.
  const std::vector<std::string> tiles = GroundTiles(map);
  for (int tr = 0; tr < 4; ++tr)
    for (int tc = 0; tc < 4; ++tc) {
      Canvas t(640, 480);
      for (int py = 0; py < 480; ++py)
        for (int px = 0; px < 640; ++px) t.Set(px, py, GroundAt(mask, style, 1280 * tc + 2 * px, 960 * tr + 2 * py));
      const auto jpg = t.Jpg(88);
      ctx.Member("MissionPack", tiles[static_cast<size_t>(tr * 4 + tc)], jpg.data(), jpg.size());
    }
  return tiles;
}

const std::vector<MapModel>& SampleModels() {
  // Slower than the player's first engine, so a player can choose where
  // to fight; shields that a first laser wears down.
  static const std::vector<MapModel> models = {
      {"Scout", "Tank04", 2.6f, 2.5f, 0.1f, 0, 0.0f, 80, 0.6f, {{"Laser Gun", 0}}},
      {"Light", "Tank02", 2.6f, 2.2f, 0.08f, 20, 0.03f, 100, 0.5f, {{"Twin Laser", -2}, {"Twin Laser", 2}}},
      {"Medium", "Tank02", 2.4f, 1.8f, 0.07f, 50, 0.05f, 140, 0.6f, {{"Cannon", 0}, {"Ion Gun", 3}}},
      {"Heavy", "Tank03", 2.0f, 1.4f, 0.05f, 100, 0.08f, 200, 0.8f,
       {{"Heavy Cannon", 0}, {"Missile", -3}, {"Rocket", 3}}},
      {"Ally", "Tank01", 3.0f, 2.2f, 0.09f, 90, 0.08f, 120, 0.6f, {{"Laser Gun", 0}, {"Flame Gun", 2}}},
  };
  return models;
}

const std::vector<MapModel>& FirstModels() {
  static const std::vector<MapModel> models = [] {
    std::vector<MapModel> m = SampleModels();
    m[0].weapons = {{"Short Laser", 0}};
    m[1].weapons = {{"Short Laser", -2}, {"Short Laser", 2}};
    m[2] = m[1];
    m[2].key = "Medium";
    m[2].shield = 25;
    m[2].shieldSpeed = 0.03f;
    m[3] = m[1];
    m[3].key = "Heavy";
    m[3].clip = "Tank03";
    m[3].shield = 40;
    m[3].shieldSpeed = 0.04f;
    m[3].weapons = {{"Laser Gun", 0}};
    // Rebels on one map, the player's allies on another.
    m[4].shield = 40;
    m[4].weapons = {{"Laser Gun", 0}, {"Short Laser", 2}};
    return m;
  }();
  return models;
}

const std::vector<MapModel>& MidModels() {
  static const std::vector<MapModel> models = [] {
    std::vector<MapModel> m = SampleModels();
    m[0].shield = 20;
    m[0].shieldSpeed = 0.03f;
    m[1].shield = 30;
    m[2].weapons = {{"Cannon", 0}, {"Laser Gun", 3}};
    m[3].shield = 80;
    m[3].weapons = {{"Heavy Laser", 0}, {"Cannon", 3}};
    return m;
  }();
  return models;
}

void WriteMap(Context& ctx, const std::string& name, const std::vector<uint8_t>& given, const MapTables& map) {
  std::vector<uint8_t> mask = given;
  for (size_t i = static_cast<size_t>(kReachBottom / kCell) * kCols; i < mask.size(); ++i) mask[i] = 255;
  ctx.Member("MissionPack", name + ".msk", mask.data(), mask.size());
  plat::TextRecordWriter w;
  // Sections in an order of their own: the reader takes any.
  w.String("Terrain").Number(static_cast<int64_t>(map.areas.size())).EndRecord();
  for (const MapArea& a : map.areas)
    w.Number(a.l).Number(a.t).Number(a.r).Number(a.b).Number(a.kind).Single(a.value).EndRecord();

  w.String("Map").Number(4).Number(4).EndRecord();
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) w.String(map.tiles[static_cast<size_t>(r * 4 + c)]);
    w.EndRecord();
  }

  w.String("Building").Number(static_cast<int64_t>(map.buildings.size())).EndRecord();
  for (const MapBuilding& b : map.buildings) w.String(b.type).Number(b.x).Number(b.y).EndRecord();

  w.String("Tank Model").Number(static_cast<int64_t>(map.models.size())).EndRecord();
  for (const MapModel& m : map.models) {
    w.String(m.key).String(m.clip).Single(m.top).Single(m.agile).Single(m.accel).Number(m.shield).Single(m.shieldSpeed)
        .Number(m.energy).Single(m.energySpeed).Number(static_cast<int64_t>(m.weapons.size())).EndRecord();
    for (const auto& [key, offset] : m.weapons) w.String(key).Number(offset).EndRecord();
  }

  w.String("Navigation Spot").Number(static_cast<int64_t>(map.spots.size())).EndRecord();
  for (const MapSpot& s : map.spots) {
    w.String(s.name).Number(static_cast<int64_t>(s.points.size())).EndRecord();
    for (auto [x, y] : s.points) w.Number(x).Number(y).EndRecord();
  }
  ctx.Member("MissionPack", name + ".Inf", w.Text());
}

namespace {

void MapA(Context& ctx) {
  const std::vector<uint8_t> mask = MapAMask();
  const std::vector<std::string> tiles = WriteGround(ctx, "MapA", mask, kGrassland);

  MapTables map;
  map.areas.assign(std::begin(kAreas), std::end(kAreas));
  map.tiles = tiles;
  map.buildings = {{"580", 4400, 1900}, {"550", 4000, 1500}, {"540", 4100, 2350}, {"510", 3800, 1800},
                   {"510", 3800, 2100}, {"560", 4650, 1450}, {"530", 4700, 2400}, {"501", 1000, 2900},
                   {"502", 1200, 3050}};
  // The first map's rebels are slower than a first tank, so that a
  // newcomer who runs for the appointed spot is not worn down on the way.
  map.models = FirstModels();
  for (MapModel& m : map.models) m.top = std::min(m.top, 2.4f);
  // The first mission's patrols. Every leg keeps to the land: the river is
  // crossed only at its fords (rows 44 to 61 and 140 to 149 of the mask).
  map.spots = {
      {"Ford patrol", {{1600, 300}, {2250, 300}, {2250, 380}, {1600, 380}}},
      {"Goal guard", {{4560, 1760}, {5020, 1760}, {5020, 2160}, {4560, 2160}}},
      {"Base ring", {{3550, 1250}, {4900, 1250}, {4900, 2650}, {3550, 2650}}},
      {"Attack road", {{3600, 900}, {2500, 900}, {1500, 1300}, {800, 1300}, {1500, 1300}, {2500, 900}}},
      {"East gate", {{3400, 1400}, {3400, 1700}, {3100, 1700}}},
      {"North wall", {{3500, 800}, {4000, 900}, {3900, 1100}}},
      {"South wall", {{3600, 2900}, {4100, 3000}, {3800, 3200}}},
  };
  WriteMap(ctx, "MapA", mask, map);
}

// ---------------------------------------------------------------- tables and pictures

void BattleTables(Context& ctx) {
  ctx.Member("Data", "sound.ini", Rows([](plat::TextRecordWriter& w) {
               for (const char* key : kSoundKeys) w.String(key).String(std::string(key) + ".wav").EndRecord();
             }));
  ctx.Member("Data", "EnemyWeapon.ini", Rows([](plat::TextRecordWriter& w) {
               for (const EnemyWeapon& e : kEnemyWeapons)
                 w.String(e.key).Number(e.speed).Number(e.agile).Number(e.range).Number(e.power).Single(e.fireSpeed)
                     .Number(e.energy).Number(e.angle).Number(e.path).Number(e.clip).EndRecord();
             }));

  plat::TextRecordWriter units;
  for (size_t u = 0; u < std::size(kUnits); ++u) {
    const UnitPicture& p = kUnits[u];
    const int cells = kUnitAcross * kUnitDown;
    // Cell k (from 1) shows the heading k x 360 / cells.
    const Canvas sheet = Sheet(kUnitAcross, kUnitDown, kUnitW, kUnitH, [&](Canvas& c, int n) {
      DrawUnit(c, (n + 1) * 360.0f / cells, p, u == 2);
    });
    const std::string file = std::string(p.key) + ".bmp";
    Bmp(ctx, file, sheet);
    units.String(p.key).Number(kUnitAcross).Number(kUnitDown).String(file).Number(kUnitW).Number(kUnitH).EndRecord();
  }
  ctx.Member("Data", "tank.ini", units.Text());

  plat::TextRecordWriter shots;
  for (const Effect& e : AllTextures()) {
    const std::string file = e.key + ".bmp";
    Bmp(ctx, file, Sheet(e.across, e.down, e.w, e.h, e.draw));
    shots.String(e.key).Number(e.across).Number(e.down).String(file).Number(e.w).Number(e.h).EndRecord();
  }
  ctx.Member("Data", "Weapon.ini", shots.Text());

  // Wrecks: a building's rubble in four variants, a burnt-out hull.
  Bmp(ctx, "BrokenBuild1.bmp", Sheet(1, 4, 160, 80, [](Canvas& c, int n) {
        for (int k = 0; k < 14; ++k) {
          const float x = 20 + Hash(k, n, 1) * 120, y = 20 + Hash(k, n, 2) * 40;
          c.Disc(x, y, 6 + Hash(k, n, 3) * 12, Mix({40, 36, 32}, {90, 84, 76}, Hash(k, n, 4)));
        }
      }));
  {
    Canvas hull(80, 40);
    hull.Disc(40, 20, 18, {30, 28, 26});
    hull.Polygon({{10, 14}, {66, 10}, {72, 26}, {14, 30}}, {52, 48, 44});
    hull.Disc(38, 18, 8, {24, 22, 20});
    Bmp(ctx, "BrokenHold1.bmp", hull);
  }
  PanelPictures(ctx);
}

Step tables("battle tables and pictures", 40, BattleTables);
Step mapA("mission map A", 41, MapA);

}  // namespace
}  // namespace mkdata

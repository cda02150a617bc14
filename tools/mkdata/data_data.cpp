// The map tables of the "Data" archive: the tile sheets of "MapInfo.ini",
// the terrain index "map.ini", the picture catalogue "obj.ini" and the
// building types "objinfo.ini", with every picture they name. Pictures are
// drawn on black, the colour key of the battles' sprites.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/mkdata/canvas.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {
namespace {

constexpr int kTileW = 80;
constexpr int kTileH = 40;
constexpr int kVariants = 4;  // interchangeable tiles per edge code

// Corner flags (up, down, left, right) of edge codes 1 to 15: "1" where the
// sheet's first terrain lies.
constexpr const char* kEdgeFlags[16] = {"0000", "1111", "0101", "0100", "0110", "0111", "1001", "1101",
                                        "1010", "0001", "0010", "1110", "1000", "1011", "1100", "0011"};

struct Terrain {
  const char* code;
  const char* name;
  Rgb light, dark;
  int radar;  // RGB565 colour on the map index
  float resistance;
};

const Terrain kTerrains[] = {
    {"GR", "Grass", {112, 156, 70}, {58, 104, 44}, 0x3CE8, 1.0f},
    {"SA", "Sand", {226, 204, 146}, {184, 156, 100}, 0xDE52, 1.4f},
    {"RO", "Rock", {150, 144, 134}, {96, 90, 84}, 0x9CB0, 2.0f},
    {"WA", "Water", {78, 128, 190}, {36, 70, 132}, 0x3B37, 9.0f},
};

const Terrain& TerrainOf(const std::string& code) {
  for (const Terrain& t : kTerrains)
    if (code == t.code) return t;
  return kTerrains[0];
}


// The ground of a terrain at a map pixel, with its own grain.
Rgb Ground(const Terrain& t, float x, float y, uint32_t seed) {
  const float n = 0.6f * SmoothNoise(x / 9, y / 5, seed) + 0.4f * Hash(static_cast<int>(x), static_cast<int>(y), seed);
  Rgb c = Mix(t.dark, t.light, n);
  if (std::string(t.code) == "WA") {
    // Ripples: short bright strokes.
    if (std::fmod(y + 3 * std::sin(x / 7 + seed), 9.0f) < 1.0f && Hash(static_cast<int>(x / 6), static_cast<int>(y), seed) > 0.5f)
      c = Mix(c, {200, 225, 250}, 0.5f);
  } else if (std::string(t.code) == "RO") {
    if (SmoothNoise(x / 4, y / 2, seed + 7) > 0.82f) c = Mix(c, {60, 56, 52}, 0.6f);  // cracks
  } else if (std::string(t.code) == "GR") {
    if (Hash(static_cast<int>(x), static_cast<int>(y), seed + 3) > 0.93f) c = Mix(c, {180, 210, 90}, 0.7f);
  }
  return c;
}

// One diamond tile whose corners carry the first terrain where flags has
// "1"; black outside the diamond.
void DrawTile(Canvas& c, int ox, int oy, const Terrain& first, const Terrain& second, const char* flags,
              uint32_t seed) {
  const float cornerX[4] = {40, 40, 0, 80}, cornerY[4] = {0, 40, 20, 20};
  for (int j = 0; j < kTileH; ++j)
    for (int i = 0; i < kTileW; ++i) {
      const float x = i + 0.5f, y = j + 0.5f;
      const float edge = std::fabs(x - 40) / 40 + std::fabs(y - 20) / 20;
      if (edge > 1.0f) continue;
      float sum = 0, weight = 0;
      for (int k = 0; k < 4; ++k) {
        const float dx = x - cornerX[k], dy = 2 * (y - cornerY[k]);
        const float w = 1.0f / (dx * dx + dy * dy + 1.0f);
        sum += (flags[k] == '1' ? w : 0.0f);
        weight += w;
      }
      // Where the terrains meet, the border wanders a little.
      const float v = sum / weight + 0.18f * (SmoothNoise((ox + x) / 7, (oy + y) / 4, 11) - 0.5f);
      const float t = std::clamp((v - 0.46f) / 0.08f, 0.0f, 1.0f);
      Rgb p = Mix(Ground(second, ox + x, oy + y, seed), Ground(first, ox + x, oy + y, seed), t);
      if (edge > 0.94f) p = Mix(p, {0, 0, 0}, 0.15f);  // a faint grid line
      c.Set(ox + i, oy + j, p);
    }
}

struct Sheet {
  int keyByte;
  std::string key;  // terrain code, or two joined
};

const Sheet kSheets[] = {{1, "GR"}, {2, "SA"}, {3, "RO"}, {4, "WA"}, {5, "GRSA"},
                         {6, "GRRO"}, {7, "SAWA"}, {8, "GRWA"}, {9, "SARO"}};

std::string SheetFile(const Sheet& s) { return "Tile" + s.key + ".bmp"; }

std::string SheetName(const Sheet& s) {
  if (s.key.size() == 2) return TerrainOf(s.key).name;
  return std::string(TerrainOf(s.key.substr(0, 2)).name) + " to " + TerrainOf(s.key.substr(2)).name;
}

void TileSheets(Context& ctx) {
  std::vector<std::string> info, index;
  for (const Sheet& s : kSheets) {
    const bool plain = s.key.size() == 2;
    const int rows = plain ? 1 : 15;
    const Terrain& first = TerrainOf(s.key.substr(0, 2));
    const Terrain& second = plain ? first : TerrainOf(s.key.substr(2));
    Canvas c(kVariants * kTileW, rows * kTileH);
    for (int r = 1; r <= rows; ++r)
      for (int v = 0; v < kVariants; ++v)
        DrawTile(c, v * kTileW, (r - 1) * kTileH, first, second, kEdgeFlags[r], static_cast<uint32_t>(s.keyByte * 16 + v));
    const auto bmp = c.Bmp();
    ctx.Member("Data", SheetFile(s), bmp.data(), bmp.size());
    info.push_back(std::to_string(s.keyByte) + "," + Quote(s.key) + "," + std::to_string(kVariants) + "," +
                   std::to_string(rows) + "," + Quote(SheetFile(s)) + "," + Quote(SheetName(s)));
  }
  int n = 1;
  for (const Terrain& t : kTerrains) {
    char resistance[16];
    std::snprintf(resistance, sizeof resistance, "%g", t.resistance);
    index.push_back(std::to_string(n++) + "," + Quote(t.code) + "," + Quote(t.name) + "," + std::to_string(t.radar) +
                    "," + resistance);
  }
  ctx.Member("Data", "MapInfo.ini", Records(info));
  ctx.Member("Data", "map.ini", Records(index));
}

// ---------------------------------------------------------------------------
// Buildings, drawn in the same diamond projection as the tiles: a ground
// square of half-width a is a diamond a wide each way and a/2 deep.

Rgb Shade(Rgb c, float f) {
  auto s = [f](uint8_t v) { return static_cast<uint8_t>(std::clamp(std::lround(v * f), 12L, 255L)); };
  return {s(c.r), s(c.g), s(c.b)};
}

void Ellipse(Canvas& c, float cx, float cy, float rx, float ry, Rgb col) {
  for (int y = static_cast<int>(cy - ry - 1); y <= static_cast<int>(cy + ry + 1); ++y)
    for (int x = static_cast<int>(cx - rx - 1); x <= static_cast<int>(cx + rx + 1); ++x) {
      const float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
      if (dx * dx + dy * dy <= 1.0f) c.Set(x, y, col);
    }
}

// A dark patch on the ground under a building, so it stands out of any
// terrain; never pure black, which would be transparent.
void Shadow(Canvas& c, float cx, float gy, float a) {
  c.Polygon({{cx - a - 6, gy + 2}, {cx + 4, gy - a / 2 - 2}, {cx + a + 10, gy + 2}, {cx + 4, gy + a / 2 + 6}},
            {34, 38, 32});
}

// A box on the ground diamond centred at (cx, gy), h high; returns the roof
// centre's y.
float Block(Canvas& c, float cx, float gy, float a, float h, Rgb wall, Rgb roof) {
  const float d = a / 2;
  c.Polygon({{cx - a, gy}, {cx, gy + d}, {cx, gy + d - h}, {cx - a, gy - h}}, Shade(wall, 0.72f));
  c.Polygon({{cx, gy + d}, {cx + a, gy}, {cx + a, gy - h}, {cx, gy + d - h}}, Shade(wall, 0.92f));
  c.Polygon({{cx - a, gy - h}, {cx, gy - d - h}, {cx + a, gy - h}, {cx, gy + d - h}}, roof);
  c.Line(cx, gy + d, cx, gy + d - h, Shade(wall, 0.55f));
  return gy - h;
}

// Windows along the two visible walls of a block.
void Windows(Canvas& c, float cx, float gy, float a, float h, int perWall, Rgb glass, float sill = 0.35f) {
  const float d = a / 2;
  for (int side = 0; side < 2; ++side)
    for (int i = 0; i < perWall; ++i) {
      const float s = (i + 0.5f) / perWall;
      // Along the left wall from its outer corner to the front corner, or
      // along the right wall from the front corner outwards.
      const float x = side == 0 ? cx - a + a * s : cx + a * s;
      const float y = side == 0 ? gy + d * s : gy + d - d * s;
      const float wx = a / perWall * 0.28f, slope = side == 0 ? 0.5f : -0.5f;
      const float y0 = y - h * sill, y1 = y - h * (sill + 0.3f);
      c.Polygon({{x - wx, y0 - slope * wx}, {x + wx, y0 + slope * wx}, {x + wx, y1 + slope * wx}, {x - wx, y1 - slope * wx}},
                side == 0 ? Shade(glass, 0.8f) : glass);
    }
}

// A vertical cylinder standing at (cx, gy).
void Cylinder(Canvas& c, float cx, float gy, float r, float h, Rgb col) {
  Ellipse(c, cx, gy, r, r / 2, Shade(col, 0.7f));
  for (int x = static_cast<int>(cx - r); x < static_cast<int>(cx + r); ++x) {
    const float t = (x + 0.5f - cx) / r;
    c.Rect(x, static_cast<int>(gy - h), 1, static_cast<int>(h), Shade(col, 0.95f - 0.35f * std::fabs(t + 0.3f)));
  }
  Ellipse(c, cx, gy - h, r, r / 2, Shade(col, 1.1f));
}

void Smoke(Canvas& c, float x, float y, int frame) {
  for (int i = 0; i < 4; ++i) {
    const float rise = static_cast<float>((i * 10 + frame * 5) % 40);
    const float r = 3 + rise / 6;
    const uint8_t g = static_cast<uint8_t>(150 + rise * 1.5f);
    c.Disc(x + rise / 5 + (i % 2) * 3, y - rise, r, {g, g, g});
  }
}

void Flag(Canvas& c, float x, float y, Rgb colour) {
  c.Line(x, y, x, y - 22, {70, 70, 70});
  c.Polygon({{x + 1, y - 22}, {x + 12, y - 19}, {x + 1, y - 15}}, colour);
}

void Label(Canvas& c, float cx, float y, const std::string& text, int size, Rgb col) {
  c.TextCentered(static_cast<int>(cx), static_cast<int>(y), text, size, col, true);
}

// A picture of frames stacked top to bottom, each drawn by draw(canvas,
// frame origin y, frame number 0..n-1).
template <typename Fn>
Canvas Frames(int w, int h, int n, Fn draw) {
  Canvas c(w, h * n);
  for (int f = 0; f < n; ++f) {
    Canvas one(w, h);
    draw(one, f);
    c.Paste(one, 0, f * h);
  }
  return c;
}

void DrawHouse(Canvas& c, int) {
  const float cx = 50, gy = 60, a = 30, h = 22;
  Shadow(c, cx, gy, a);
  Block(c, cx, gy, a, h, {222, 206, 168}, {170, 70, 50});
  Windows(c, cx, gy, a, h, 2, {120, 170, 210});
  // A pitched roof over the box.
  const float top = gy - h, apex = top - 20;
  c.Polygon({{cx - a, top}, {cx, top + a / 2}, {cx, apex + a / 4}, {cx - a / 2, apex}}, {150, 62, 44});
  c.Polygon({{cx, top + a / 2}, {cx + a, top}, {cx + a / 2, apex - a / 4}, {cx, apex + a / 4}}, {186, 82, 56});
  c.Polygon({{cx - a / 2, apex}, {cx, apex + a / 4}, {cx + a / 2, apex - a / 4}}, {120, 50, 36});
}

void DrawBunker(Canvas& c, int) {
  const float cx = 40, gy = 44, a = 28, h = 10;
  Shadow(c, cx, gy, a);
  const float roof = Block(c, cx, gy, a, h, {150, 150, 138}, {126, 126, 116});
  Ellipse(c, cx, roof - 4, 15, 9, {112, 114, 104});
  Ellipse(c, cx - 3, roof - 7, 7, 4, {150, 152, 140});
  c.Line(cx + 4, gy + 6 - h / 2, cx + 20, gy - 2 - h / 2, {30, 30, 28}, 2.5f);  // gun slit
  c.Line(cx + 8, roof - 6, cx + 30, roof - 16, {60, 62, 58}, 3);                // barrel
}

void DrawTower(Canvas& c, int) {
  const float cx = 30, gy = 86, a = 10, h = 58;
  Shadow(c, cx, gy, 16);
  Block(c, cx, gy, a, h, {134, 118, 96}, {110, 96, 80});
  const float top = Block(c, cx, gy - h, 18, 9, {104, 92, 74}, {150, 132, 100});
  c.Line(cx - 18, top, cx - 18, top - 8, {70, 60, 50}, 2);
  c.Line(cx + 18, top, cx + 18, top - 8, {70, 60, 50}, 2);
  c.Line(cx - 18, top - 8, cx, top - 17, {70, 60, 50}, 2);
  c.Line(cx, top - 17, cx + 18, top - 8, {70, 60, 50}, 2);
  Flag(c, cx + 2, top - 14, {200, 40, 40});
}

void DrawFuelTank(Canvas& c, int) {
  Shadow(c, 50, 62, 38);
  Cylinder(c, 34, 62, 18, 30, {200, 200, 196});
  Cylinder(c, 66, 58, 18, 30, {200, 200, 196});
  c.Line(42, 46, 58, 42, {90, 90, 90}, 3);  // pipe
  Label(c, 34, 38, "FUEL", 9, {190, 40, 30});
  Label(c, 66, 34, "FUEL", 9, {190, 40, 30});
}

void DrawRadar(Canvas& c, int frame) {
  const float cx = 50, gy = 82, a = 26, h = 20;
  Shadow(c, cx, gy, a);
  const float roof = Block(c, cx, gy, a, h, {176, 180, 170}, {140, 146, 136});
  Windows(c, cx, gy, a, h, 2, {100, 150, 190});
  c.Line(cx, roof, cx, roof - 26, {90, 94, 90}, 3);
  // The dish turns: a quarter turn over the four frames.
  const float angle = frame * 3.14159265f / 4;
  const float rx = 4 + 20 * std::fabs(std::cos(angle));
  Ellipse(c, cx, roof - 36, rx, 14, {222, 226, 220});
  Ellipse(c, cx + (std::cos(angle) > 0 ? -2.0f : 2.0f) * std::sin(angle), roof - 36, rx * 0.6f, 8, {170, 176, 172});
  c.Line(cx, roof - 36, cx + 12 * std::sin(angle), roof - 44, {80, 80, 80}, 2);
}

void DrawPowerPlant(Canvas& c, int frame) {
  const float cx = 80, gy = 122, a = 50, h = 30;
  Shadow(c, cx, gy, a);
  const float roof = Block(c, cx, gy, a, h, {170, 160, 140}, {120, 116, 108});
  Windows(c, cx, gy, a, h, 3, {240, 220, 120});
  Cylinder(c, cx - 14, roof + 4, 8, 36, {186, 176, 160});
  Cylinder(c, cx + 14, roof - 2, 8, 44, {186, 176, 160});
  c.Rect(static_cast<int>(cx - 22), static_cast<int>(roof - 22), 16, 3, {190, 40, 40});
  Smoke(c, cx - 14, roof - 36, frame);
  Smoke(c, cx + 14, roof - 50, (frame + 2) % 4);
}

void DrawBarracks(Canvas& c, int) {
  const float cx = 60, gy = 70, a = 42, h = 20;
  Shadow(c, cx, gy, a);
  Block(c, cx, gy, a, h, {150, 156, 112}, {104, 112, 78});
  Windows(c, cx, gy, a, h, 4, {230, 220, 150});
  Flag(c, cx + 20, gy - h - 8, {60, 80, 190});
}

void DrawDepot(Canvas& c, int) {
  const float cx = 80, gy = 88, a = 56, h = 26;
  Shadow(c, cx, gy, a);
  const float roof = Block(c, cx, gy, a, h, {160, 140, 108}, {94, 124, 84});
  c.Polygon({{cx + 10, gy + 23}, {cx + 34, gy + 11}, {cx + 34, gy - 7}, {cx + 10, gy + 5}}, {92, 80, 62});  // door
  Block(c, cx - 38, gy + 10, 8, 10, {176, 136, 84}, {204, 166, 110});  // crates
  Block(c, cx - 24, gy + 16, 8, 10, {176, 136, 84}, {204, 166, 110});
  Label(c, cx, roof - 8, "SUPPLY", 11, {250, 240, 200});
}

// Saw-tooth roof sheds, a chimney with smoke, and a sign.
void DrawWorks(Canvas& c, int frame, Rgb wall, Rgb roof, const std::string& sign) {
  const float cx = 120, gy = 140, a = 80, h = 42;
  Shadow(c, cx, gy, a);
  const float top = Block(c, cx, gy, a, h, wall, Shade(roof, 0.8f));
  Windows(c, cx, gy, a, h, 5, {230, 210, 130});
  for (int i = 0; i < 4; ++i) {
    const float x = cx + (-0.6f + i * 0.4f) * a;
    c.Polygon({{x - 16, top + 8}, {x + 16, top - 8}, {x + 16, top - 24}}, Shade(roof, 1.05f));
    c.Polygon({{x - 16, top + 8}, {x + 16, top - 24}, {x - 16, top - 8}}, {150, 190, 210});  // north lights
  }
  Cylinder(c, cx + 46, top + 6, 9, 54, {160, 150, 140});
  Smoke(c, cx + 46, top - 50, frame);
  Label(c, cx - 30, gy - 4, sign, 13, {250, 240, 200});
}

void DrawFactory(Canvas& c, int frame) { DrawWorks(c, frame, {176, 166, 150}, {120, 120, 130}, "FACTORY"); }
void DrawTankWorks(Canvas& c, int frame) { DrawWorks(c, frame, {132, 140, 100}, {96, 104, 72}, "TANKS"); }

void DrawCommand(Canvas& c, int) {
  const float cx = 120, gy = 150, a = 84, h = 30;
  Shadow(c, cx, gy, a);
  const float base = Block(c, cx, gy, a, h, {190, 186, 176}, {150, 146, 140});
  Windows(c, cx, gy, a, h, 6, {120, 170, 220});
  const float mid = Block(c, cx, base, 52, 30, {200, 196, 186}, {120, 124, 130});
  Windows(c, cx, base, 52, 30, 4, {120, 170, 220});
  c.Line(cx + 20, mid, cx + 20, mid - 40, {80, 80, 80}, 2);
  c.Disc(cx + 20, mid - 41, 3, {230, 60, 50});
  Flag(c, cx - 26, mid + 4, {200, 40, 40});
  Label(c, cx - 4, mid - 14, "HQ", 18, {250, 230, 90});
}

void DrawHelipad(Canvas& c, int) {
  const float cx = 80, gy = 56, a = 64;
  Shadow(c, cx, gy, a);
  Block(c, cx, gy, a, 4, {110, 110, 104}, {88, 90, 86});
  Ellipse(c, cx, gy - 4, 40, 20, {226, 196, 60});
  Ellipse(c, cx, gy - 4, 35, 17, {88, 90, 86});
  Label(c, cx, gy - 18, "H", 20, {236, 236, 230});
}

void DrawHangar(Canvas& c, int) {
  const float cx = 100, gy = 104, a = 70, h = 24;
  Shadow(c, cx, gy, a);
  const float top = Block(c, cx, gy, a, h, {150, 158, 160}, {126, 134, 136});
  // A vaulted roof: arcs across the building's depth.
  for (int i = 0; i <= 40; ++i) {
    const float t = i / 40.0f, s = std::sin(t * 3.14159265f);
    const float x = cx - a + a * t, y = top + a / 2 * t - 26 * s;
    c.Line(x, y, x + a, y - a / 2, Shade({170, 178, 182}, 0.8f + 0.3f * s), 2);
  }
  c.Polygon({{cx + 16, gy + 27}, {cx + 56, gy + 7}, {cx + 56, gy - 13}, {cx + 16, gy + 7}}, {70, 74, 78});  // door
}

void DrawControlTower(Canvas& c, int) {
  const float cx = 50, gy = 122, a = 24, h = 62;
  Shadow(c, cx, gy, a);
  const float base = Block(c, cx, gy, a, h, {200, 196, 188}, {170, 166, 160});
  Windows(c, cx, gy, a, h, 2, {120, 170, 210}, 0.2f);
  const float cab = Block(c, cx, base, 30, 18, {90, 150, 190}, {110, 110, 116});
  c.Line(cx, cab, cx, cab - 20, {80, 80, 80}, 2);
  c.Disc(cx, cab - 21, 2.5f, {230, 60, 50});
}

struct Picture {
  const char* key;
  int frames;  // stacked one per row
  int w, h;    // one frame
  void (*draw)(Canvas&, int);
};

const Picture kPictures[] = {
    {"House", 1, 100, 80, DrawHouse},          {"Bunker", 1, 80, 60, DrawBunker},
    {"Tower", 1, 60, 100, DrawTower},          {"FuelTank", 1, 100, 80, DrawFuelTank},
    {"Radar", 4, 100, 100, DrawRadar},         {"PowerPlant", 4, 160, 150, DrawPowerPlant},
    {"Barracks", 1, 120, 90, DrawBarracks},    {"Depot", 1, 160, 110, DrawDepot},
    {"Factory", 4, 240, 170, DrawFactory},     {"TankWorks", 4, 240, 170, DrawTankWorks},
    {"Command", 1, 240, 180, DrawCommand},     {"Helipad", 1, 160, 100, DrawHelipad},
    {"Hangar", 1, 200, 130, DrawHangar},       {"ControlTower", 1, 100, 140, DrawControlTower},
};

const Picture& PictureOf(const std::string& key) {
  for (const Picture& p : kPictures)
    if (key == p.key) return p;
  return kPictures[0];
}

// A building type: its key is its type number, which the missions count by.
struct Type {
  std::string key;
  const char* picture;
  const char* kind;
  std::string name;
  int footprint;
  const char* speed;  // animation frames per step
  int hp, shieldFull;
  const char* shieldSpeed;
};

std::vector<Type> Types() {
  std::vector<Type> t = {
      {"501", "House", "Civil", "House", 1, "0", 200, 0, "0"},
      {"502", "House", "Civil", "Farmhouse", 1, "0", 200, 0, "0"},
      {"510", "Bunker", "Defence", "Bunker", 1, "0", 450, 0, "0"},
      {"520", "Tower", "Defence", "Guard Tower", 1, "0", 300, 0, "0"},
      {"530", "FuelTank", "Supply", "Fuel Tanks", 1, "0", 250, 0, "0"},
      {"540", "Radar", "Base", "Radar Station", 1, "0.08", 350, 100, "0.05"},
      {"550", "PowerPlant", "Base", "Power Plant", 4, "0.06", 800, 200, "0.1"},
      {"560", "Barracks", "Base", "Barracks", 1, "0", 500, 0, "0"},
      {"570", "Depot", "Supply", "Supply Depot", 4, "0", 600, 0, "0"},
      {"577", "Factory", "Factory", "Weapons Factory", 9, "0.05", 900, 100, "0.1"},
      {"578", "Factory", "Factory", "Ammunition Plant", 9, "0.05", 900, 100, "0.1"},
      {"579", "Factory", "Factory", "Assembly Plant", 9, "0.05", 900, 100, "0.1"},
      {"580", "Command", "Base", "Command Centre", 9, "0", 1200, 200, "0.2"},
      {"587", "Command", "Base", "司令部", 9, "0", 2000, 500, "0.2"},  // headquarters
  };
  // The helicopter base and the tank factory come in numbered parts.
  const struct {
    const char* picture;
    const char* name;
  } heliParts[] = {{"Helipad", "Helipad"}, {"Hangar", "Hangar"}, {"ControlTower", "Control Tower"}};
  for (int i = 0; i < 12; ++i) {
    const auto& part = heliParts[i / 4];
    const bool big = i / 4 == 1;
    t.push_back({std::to_string(601 + i), part.picture, "Heliport", std::string(part.name) + " " + std::to_string(i % 4 + 1),
                 big ? 4 : 1, "0", big ? 1000 : 600, big ? 200 : 0, big ? "0.1" : "0"});
  }
  for (int i = 0; i < 12; ++i) {
    const bool works = i < 8;
    t.push_back({std::to_string(661 + i), works ? "TankWorks" : "Depot", "Tank Factory",
                 std::string(works ? "Tank Works " : "Tank Depot ") + std::to_string(i + 1), works ? 9 : 4,
                 works ? "0.05" : "0", works ? 900 : 600, works ? 100 : 0, works ? "0.1" : "0"});
  }
  return t;
}

void Buildings(Context& ctx) {
  std::vector<std::string> catalogue, types;
  for (const Picture& p : kPictures) {
    const Canvas c = Frames(p.w, p.h, p.frames, p.draw);
    const std::string file = std::string("Build") + p.key + ".bmp";
    const auto bmp = c.Bmp();
    ctx.Member("Data", file, bmp.data(), bmp.size());
    catalogue.push_back(Quote(p.key) + ",1," + std::to_string(p.frames) + "," + Quote(file) + "," + std::to_string(p.w) +
                        "," + std::to_string(p.h));
  }
  for (const Type& t : Types()) {
    const Picture& p = PictureOf(t.picture);
    // The frames are the picture's cells, numbered from 1; a still picture
    // has the one.
    std::string frames;
    for (int i = 1; i <= 5; ++i) frames.append(",").append(std::to_string(i <= p.frames ? i : 0));
    types.push_back(Quote(t.key) + "," + Quote(t.picture) + "," + Quote(t.kind) + "," + Quote(t.name) + "," +
                    std::to_string(p.w) + "," + std::to_string(p.h) + "," + std::to_string(t.footprint) + "," + t.speed +
                    "," + std::to_string(p.frames) + frames + "," + std::to_string(t.hp) + "," +
                    std::to_string(t.shieldFull) + "," + t.shieldSpeed);
  }
  ctx.Member("Data", "obj.ini", Records(catalogue));
  ctx.Member("Data", "objinfo.ini", Records(types));
}

Step tiles("map tile sheets", 30, TileSheets);
Step buildings("building types", 31, Buildings);

}  // namespace
}  // namespace mkdata

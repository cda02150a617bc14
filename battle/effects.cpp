// Effects, debris particles and wrecks: the spawners that the steps call,
// and the effects' life from frame to frame.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "battle/battle_sim.hpp"
#include "battle/roster.hpp"
#include "battle/sim_math.hpp"
#include "engine/helpers.hpp"
#include "platform/runtime/random.hpp"

namespace fw {
namespace {

constexpr int32_t kEffectFrames = 30;
// Background tiles show the map at half scale, 640 x 480 tile pixels each.
constexpr int32_t kTileWidth = 640;
constexpr int32_t kTileHeight = 480;
constexpr int32_t kBuildingWreck = 1;
constexpr int32_t kTankWreck = 2;

// The texture index of an effect picture. The spawners name a handful of
// pictures thousands of times a frame in a battle of many shots, so the
// last answer for each name is kept while the list it came from stands
// (the texture list is filled when the map loads and not changed after).
int32_t TextureNamed(const BattleState& world, const char* picture) {
  struct Known {
    const char* picture;
    const ImageRecord* list;
    size_t size;
    int32_t index;
    size_t length;  // of the name found
  };
  static thread_local Known known[16] = {};
  static thread_local size_t next = 0;
  const auto& list = world.Textures;
  for (const Known& k : known) {
    if (k.picture == picture && k.list == list.data() && k.size == list.size() && k.index > 0 &&
        static_cast<size_t>(k.index) < list.size() && list[static_cast<size_t>(k.index)].Name.size() == k.length)
      return k.index;
  }
  const int32_t index = FindRecordIndexByName(picture, list);
  known[next++ % std::size(known)] = Known{picture, list.data(), list.size(), index, std::strlen(picture)};
  return index;
}

EffectRecord& NewEffect(BattleState& world, int32_t x, int32_t y, int32_t ox, int32_t oy, float speed, int32_t size,
                        const char* picture) {
  EffectRecord& e = world.Effects[static_cast<size_t>(GetEXPIndex(world))];
  e.X = static_cast<float>(x);
  e.Y = static_cast<float>(y);
  e.FrameSpeed = speed;
  e.FrameTotal = kEffectFrames;
  e.DrawRect = RECT{0, 0, size, size};
  e.DrawOffsetX = static_cast<float>(ox - size / 2.0);
  e.DrawOffsetY = static_cast<float>(oy - size / 2.0);
  e.ImageIndex = TextureNamed(world, picture);
  return e;
}

// Paints a wreck centred on a map point into every background tile its
// rectangle covers: the tiles show the map at half scale, and a wreck near
// a tile's edge would otherwise be cut off where the next tile begins.
void PaintWreckAt(BattleOutput& out, const BattleState& world, int32_t x, int32_t y, double halfWidth,
                  double halfHeight, int32_t wreck, int32_t cell) {
  const int32_t hx = RoundL(x / 2.0);
  const int32_t hy = RoundL(y / 2.0);
  const RECT whole{RoundL(hx - halfWidth), RoundL(hy - halfHeight), RoundL(hx + halfWidth), RoundL(hy + halfHeight)};
  const auto tileOf = [](int32_t v, int32_t size) { return static_cast<int32_t>(plat::Int(static_cast<double>(v) / size)); };
  const int32_t c0 = tileOf(whole.Left, kTileWidth), c1 = tileOf(std::max(whole.Left, whole.Right - 1), kTileWidth);
  const int32_t r0 = tileOf(whole.Top, kTileHeight), r1 = tileOf(std::max(whole.Top, whole.Bottom - 1), kTileHeight);
  for (int32_t r = r0; r <= r1; ++r) {
    for (int32_t c = c0; c <= c1; ++c) {
      if (c < 0 || r < 0) continue;
      if (c >= world.TileColumns || r >= world.TileRows) continue;
      const RECT dest{whole.Left - c * kTileWidth, whole.Top - r * kTileHeight, whole.Right - c * kTileWidth,
                      whole.Bottom - r * kTileHeight};
      out.PaintWreck(c, r, wreck, cell, dest);
    }
  }
}

}  // namespace

int32_t GetEXPIndex(BattleState& world) { return AppendRecord(world.Effects); }
int32_t GetEXP2Index(BattleState& world) { return AppendRecord(world.Debris); }

void SpawnFog(BattleState& world, int32_t x, int32_t y, int32_t ox, int32_t oy, float speed, int16_t size, uint8_t kind) {
  NewEffect(world, x, y, ox, oy, speed, size, kind == 2 ? "FOG03" : "FOG01");
}

void SpawnExplosion(BattleState& world, int32_t x, int32_t y, int32_t ox, int32_t oy, float speed, int16_t size,
                    int32_t tag, uint8_t kind) {
  plat::Randomize();
  static constexpr const char* kNames[] = {"EXP04", "EXP01", "EXP02", "EXP03", "EXP04", "EXP05"};
  EffectRecord& e = NewEffect(world, x, y, ox, oy, speed, size, kNames[kind <= 5 ? kind : 0]);
  e.Tag = tag;
}

void SpawnEngineFx(BattleState& world, int32_t x, int32_t y, int32_t ox, int32_t oy, float speed, int16_t size,
                   uint8_t /*kind*/) {
  NewEffect(world, x, y, ox, oy, speed, size, "ENG01");
}

void SpawnShockwave(BattleState& world, int32_t x, int32_t y, int32_t ox, int32_t oy, float speed, int32_t grow,
                    int16_t size) {
  NewEffect(world, x, y, ox, oy, speed, size, "SHOCKWAVE").Grow = grow;
}

void SpawnFire(BattleState& world, int32_t x, int32_t y, int32_t ox, int32_t oy, int32_t width, int32_t height,
               float life, int32_t tag) {
  plat::Randomize();
  EffectRecord& e = NewEffect(world, x, y, ox, oy, 0.0f, 0, "FIRE01");
  e.Tag = tag;
  e.FrameSpeed = plat::Rnd() * 0.4f + 0.2f;
  e.FramePos = plat::Rnd() * -20.0f;  // a random delay before the flames show
  e.Looping = 1;
  e.Life = life;
  e.DrawRect = RECT{0, 0, width, height};
  e.DrawOffsetX = static_cast<float>(ox - width / 2.0);
  e.DrawOffsetY = static_cast<float>(oy - height / 2.0);
}

void SpawnDebris(BattleState& world, int32_t x, int32_t y, float spreadX, float rate, int32_t count, float duration,
                 int32_t size, float lift) {
  plat::Randomize();
  for (int32_t j = 0; j <= count; ++j) {
    WeaponSlot& p = world.Debris[static_cast<size_t>(GetEXP2Index(world))];
    p.HeadAngle = plat::Rnd() * 360.0f;
    p.Speed = rate;
    p.PosX = static_cast<float>(x);
    p.PosY = static_cast<float>(y);
    const CosSinPair& cs = CosSinAt(p.HeadAngle);
    p.VelocityX = spreadX * cs.Cos;
    p.VelocityY = rate * cs.Sin;
    p.Agile = plat::Rnd() * lift + 1.0f;
    p.Energy = plat::Rnd() * duration;
    p.FirePower = RoundTo<int16_t>(size);
    p.FireCharge = plat::Rnd() * -10.0f;  // some particles wait before they fly
  }
}

void PutBrokenTank(const BattleState& world, BattleOutput& out, int32_t x, int32_t y, int32_t width) {
  PaintWreckAt(out, world, x, y, width / 4.0, width / 8.0, kTankWreck, 1);
}

void PutBrokenBuild(const BattleState& world, BattleOutput& out, int32_t x, int32_t y, int32_t width) {
  plat::Randomize();
  const int32_t cell = static_cast<int32_t>(plat::Int(plat::Rnd() * 4.0)) + 1;
  PaintWreckAt(out, world, x, y, width / 8.0, width / 16.0, kBuildingWreck, cell);
}

void StepEffects(BattleState& world, const std::function<void(const EffectRecord&, float, float)>& draw) {
  const float f = world.FrameFactor;
  for (EffectRecord& e : world.Effects) {
    if (e.Grow > 0) {
      const int32_t w = RoundL(e.Grow * f + e.DrawRect.Right);
      const int32_t h = RoundL(e.Grow * f + e.DrawRect.Bottom);
      e.DrawOffsetX = -e.DrawRect.Right / 2.0f;
      e.DrawOffsetY = -e.DrawRect.Bottom / 2.0f;
      e.DrawRect = RECT{0, 0, w, h};
    }
    if (plat::Int(e.FramePos) == 0) e.Tag = 0;
    if (draw && e.FramePos > 0.0f)
      draw(e, e.DrawOffsetX + e.X - static_cast<float>(world.ScrollX), e.DrawOffsetY + e.Y - static_cast<float>(world.ScrollY));
    e.FramePos += e.FrameSpeed * f;
  }
  for (size_t i = world.Effects.size() - 1; i >= 1 && i < world.Effects.size(); --i) {
    EffectRecord& e = world.Effects[i];
    bool done = false;
    if (e.Looping == 0) {
      done = e.FramePos >= static_cast<float>(e.FrameTotal);
    } else {
      if (e.FramePos >= static_cast<float>(e.FrameTotal)) e.FramePos = 0.0f;
      e.Life -= f;
      if (e.Life <= 100.0f) {
        // Shrinks towards its bottom centre as it dies down.
        const float w = e.Life * e.DrawRect.Right / 100.0f;
        const float h = e.Life * e.DrawRect.Bottom / 100.0f;
        e.DrawOffsetX += (e.DrawRect.Right - w) / 2.0f;
        e.DrawOffsetY += e.DrawRect.Bottom - h;
        e.DrawRect.Right = RoundL(w);
        e.DrawRect.Bottom = RoundL(h);
      }
      done = e.Life <= 0.0f;
    }
    if (!done) continue;
    if (world.Effects.size() <= 2) {
      world.Effects.assign(1, EffectRecord{});
      break;
    }
    if (i != world.Effects.size() - 1) world.Effects[i] = world.Effects.back();
    world.Effects.pop_back();
  }
}

}  // namespace fw

// libs: fw_battle
// A land mask from arbitrary bytes: anything but 49,152 bytes is refused;
// the input repeated to that size is read, and units driven over it by the
// terrain test, with areas of every kind, keep finite positions.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "battle/loaders.hpp"
#include "battle/masks.hpp"
#include "battle/roster.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::BattleState world;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (size != static_cast<size_t>(fw::kMaskBytes) && fw::ParseLandMask(bytes, world.LandMask)) __builtin_trap();
  if (size == 0) return 0;
  std::string tiled;
  while (tiled.size() < static_cast<size_t>(fw::kMaskBytes)) tiled += bytes;
  tiled.resize(fw::kMaskBytes);
  if (!fw::ParseLandMask(tiled, world.LandMask)) __builtin_trap();
  for (int k = 0; k < 8; ++k) fw::AddTerrain(world, fw::RECT{}, static_cast<uint8_t>(k % 6), 0.25f * (k + 1));
  world.FrameFactor = 1.0f + data[0] % 4;
  world.Units.resize(4);
  for (size_t i = 0; i < world.Units.size(); ++i) {
    fw::BattleUnit& u = world.Units[i];
    u.CenterX = 40;
    u.CenterY = 30;
    u.PosX = static_cast<float>((data[i % size] * 37 + i * 1111) % 5200) - 40;
    u.PosY = static_cast<float>((data[(i + 1) % size] * 29 + i * 777) % 3900) - 30;
    u.VelocityX = static_cast<float>(data[(i + 2) % size] % 41) / 2 - 10;
    u.VelocityY = static_cast<float>(data[(i + 3) % size] % 41) / 4 - 5;
  }
  for (int frame = 0; frame < 64; ++frame)
    for (int32_t i = 0; i < static_cast<int32_t>(world.Units.size()); ++i) {
      fw::CheckTerrain(world, i);
      const fw::BattleUnit& u = world.Units[i];
      if (!std::isfinite(u.PosX) || !std::isfinite(u.PosY)) __builtin_trap();
    }
  return 0;
}

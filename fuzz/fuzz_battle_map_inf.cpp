// libs: fw_battle
// A mission map description from arbitrary text, parsed and applied to a
// world with a few known building types, pictures and weapons: a bad file
// is refused, a good one leaves a consistent world.
#include <cstddef>
#include <cstdint>
#include <string>

#include "battle/loaders.hpp"
#include "platform/runtime/error.hpp"

namespace {

class SizedPictures : public fw::BattlePictures {
 public:
  std::optional<Size> Load(fw::PictureList, int32_t, const std::string& path, fw::PictureArchive) override {
    if (path.size() % 7 == 3) return std::nullopt;  // some pictures are missing
    return Size{static_cast<int32_t>(20 + path.size() * 13 % 300), 100};
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  plat::TextRecordReader reader(std::string(reinterpret_cast<const char*>(data), size));
  fw::MapDescription d;
  try {
    d = fw::ParseMapDescription(reader);
  } catch (const plat::RuntimeError&) {
    return 0;
  }
  fw::BattleState world;
  world.Catalogue.Add("Tank01", fw::kUnitPictures, 12, 6, "Tank01", "Tank01.bmp", 80, 60);
  world.Catalogue.Add("House", fw::kObjectPictures, 1, 1, "House", "House.bmp", 100, 80);
  world.Catalogue.Add("Radar", fw::kObjectPictures, 1, 4, "Radar", "Radar.bmp", 100, 100);
  world.BuildingTypes.Add("501", 0, 1, 1, fw::RECT{0, 0, 100, 80}, "House");
  world.BuildingTypes.Add("540", 0, 1, 4, fw::RECT{0, 0, 100, 100}, "Radar");
  world.EnemyWeapons.Add("Laser Gun")->Range = 400;
  SizedPictures pictures;
  fw::NullLoadProgress progress;
  const fw::LoadResult r = fw::ApplyMapDescription(world, pictures, progress, d, "Fuzz.Inf");
  if (!r) {
    if (r.Message.find("Fuzz.Inf, line ") != 0) __builtin_trap();
    return 0;
  }
  if (world.Builds.size() != d.BuildingRows.size()) __builtin_trap();
  if (world.Terrains.size() != d.Terrains.size() + 1) __builtin_trap();
  for (uint8_t c : world.BuildMask)
    if (c > world.Builds.size()) __builtin_trap();
  return 0;
}

#pragma once
// The picture store of a battle: real surfaces, loaded the way every screen
// loads pictures (a loose file first, else the archive member), with the
// black colour key of the battle's sprites. The battle screen draws from
// it; a headless world may keep only the sizes.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "battle/battle_sinks.hpp"
#include "platform/display/surface.hpp"

namespace fw {

class SurfacePictures : public BattlePictures {
 public:
  // keepSurfaces false: the pictures are decoded (so a bad one is still
  // found) and dropped, for worlds that are never drawn.
  explicit SurfacePictures(bool keepSurfaces = true) : keep_(keepSurfaces) {}

  std::optional<Size> Load(PictureList list, int32_t index, const std::string& gamePath,
                           PictureArchive archive) override;
  // Null when the slot holds nothing.
  plat::SurfacePtr Surface(PictureList list, int32_t index) const;
  void Clear() { surfaces_.clear(); }

 private:
  bool keep_;
  std::map<std::pair<PictureList, int32_t>, plat::SurfacePtr> surfaces_;
};

}  // namespace fw

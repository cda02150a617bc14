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
#include "engine/surfaces.hpp"
#include "platform/display/surface.hpp"

namespace fw {

class SurfacePictures : public BattlePictures {
 public:
  // keepSurfaces false: the pictures are decoded (so a bad one is still
  // found) and dropped, for worlds that are never drawn.
  explicit SurfacePictures(bool keepSurfaces = true) : keep_(keepSurfaces) {}

  std::optional<Size> Load(PictureList list, int32_t index, const std::string& gamePath,
                           PictureArchive archive) override;
  // Decodes the pictures ahead on worker threads; Load takes them in turn.
  void Expect(const std::vector<Expected>& pictures) override;
  void ForgetExpected() override { ahead_.Clear(); }
  // Null when the slot holds nothing.
  plat::SurfacePtr Surface(PictureList list, int32_t index) const;
  void Clear() {
    surfaces_.clear();
    ahead_.Clear();
  }

 private:
  bool keep_;
  SurfacePrefetch ahead_;
  std::map<std::pair<PictureList, int32_t>, plat::SurfacePtr> surfaces_;
};

}  // namespace fw

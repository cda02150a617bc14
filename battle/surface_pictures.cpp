#include "battle/surface_pictures.hpp"

#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "engine/surfaces.hpp"
#include "platform/runtime/error.hpp"

namespace fw {
namespace {
qelPackage& PackOf(PictureArchive archive) { return archive == PictureArchive::MissionPack ? *MissionPack : *DataPack; }
}  // namespace

void SurfacePictures::Expect(const std::vector<Expected>& pictures) {
  for (const Expected& p : pictures) ahead_.Begin(PackOf(p.Archive), p.GamePath);
}

std::optional<BattlePictures::Size> SurfacePictures::Load(PictureList list, int32_t index,
                                                          const std::string& gamePath, PictureArchive archive) {
  plat::SurfacePtr s;
  try {
    if (ahead_.Finish(PackOf(archive), gamePath, s, DDraw)) {
    } else if (archive == PictureArchive::MissionPack) {
      LoadSurfaceFromMissionPack(gamePath, s, DDraw, false, 0, 0, true);
    } else {
      LoadSurfaceFromPack(gamePath, s, DDraw);
    }
  } catch (const plat::RuntimeError&) {
    return std::nullopt;
  }
  if (!s) return std::nullopt;
  s->SetColorKey(plat::DDCKEY_SRCBLT, 0, 0);
  const Size size{s->Width(), s->Height()};
  if (keep_) surfaces_[{list, index}] = std::move(s);
  return size;
}

plat::SurfacePtr SurfacePictures::Surface(PictureList list, int32_t index) const {
  const auto it = surfaces_.find({list, index});
  return it == surfaces_.end() ? nullptr : it->second;
}

}  // namespace fw

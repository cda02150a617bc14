#include "data/map_tables.hpp"

namespace fw {

void MapClipIndex::ClearCheck() {
  for (const auto& c : *this) c->Check = 0;
}

MapClipIndex::Ptr MapClipIndex::Add(const std::string& key, int32_t index, int32_t repeatX, int32_t repeatY,
                                    const std::string& clipID, const std::string& fileName, int32_t width,
                                    int32_t height) {
  if (key.empty())
    throw plat::RuntimeError(plat::ErrorCode::KeyNotFound, "Invalid procedure call or argument: a sheet needs a key");
  auto c = std::make_shared<MapClip>();
  c->Key = key;
  c->Index = index;
  c->RepeatX = repeatX;
  c->RepeatY = repeatY;
  c->ClipID = clipID;
  c->FileName = fileName;
  c->mWidth = width;
  c->mHeight = height;
  return Insert(c, key);
}

void MapIndexClass::ClearCheck() {
  for (const auto& m : *this) m->Check = 0;
}

MapIndexClass::Ptr MapIndexClass::Add(const std::string& key, int32_t index, const std::string& id, int32_t color) {
  auto m = std::make_shared<MapIndex>();
  m->Key = key;
  m->Index = index;
  m->ID = id;
  m->color = color;
  return Insert(m, key);
}

}  // namespace fw

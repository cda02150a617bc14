#include "data/map_control.hpp"

#include <cmath>

#include "data/table_reader.hpp"
#include "engine/helpers.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/random.hpp"
#include "platform/runtime/strings.hpp"

namespace fw {

Lazy<MapControl> MapCtl;
Lazy<MapClipIndex> ObjClips;

namespace {
// Tiles are 80 x 40 pixels.
constexpr int32_t kTileW = 80;
constexpr int32_t kTileH = 40;

// Edge code n (1..15) has the flags of entry n.
constexpr const char* kEdgeFlags[16] = {"0000", "1111", "0101", "0100", "0110", "0111", "1001", "1101",
                                        "1010", "0001", "0010", "1110", "1000", "1011", "1100", "0011"};

}  // namespace

std::string MapControl::CheckUsedMap(const std::string& a, const std::string& b) {
  if (a.empty()) return "";
  if (b.empty() || b == a) {
    for (const auto& sheet : *UsedMap)
      if (sheet->Key.substr(0, 2) == a) return sheet->Key;
  }
  const std::string ab = a + b, ba = b + a;
  for (const auto& sheet : *UsedMap)
    if (sheet->Key == ab) return ab;
  for (const auto& sheet : *UsedMap)
    if (sheet->Key == ba) return ba;
  return "";
}

void MapControl::SetKeyIndex(int32_t k, const std::string& sheetKey) { keyIndex_.Set(k, sheetKey); }

std::string MapControl::GetKeyIndex(int32_t k) const { return keyIndex_.Get(k); }

int16_t MapControl::TransFormIndex(const std::string& key, uint8_t code) {
  plat::Randomize();
  std::shared_ptr<MapClip> sheet;
  if (key.size() == 2) {
    const std::string wanted = plat::UCase(key);
    for (const auto& s : *UsedMap)
      if (plat::UCase(s->Key.substr(0, 2)) == wanted) {
        sheet = s;
        break;
      }
  } else if (key.size() == 4) {
    sheet = UsedMap->Item(key);
  }
  if (!sheet) return 0;
  const int32_t keyByte = sheet->Index >= 0 && sheet->Index <= 255 ? sheet->Index : 0;
  const double repeat = sheet->RepeatX;
  double frame = std::floor(plat::Rnd() * repeat) + (code - 1.0) * repeat + 1.0;
  if (!(frame >= 0 && frame <= 255)) frame = 0;
  // The product is 16-bit: from key byte 128 up it overflows and the
  // result stays 0.
  if (keyByte >= 128) return 0;
  return static_cast<int16_t>(keyByte * 256 + static_cast<int32_t>(frame) - 32768);
}

std::shared_ptr<ConnectMap> MapControl::Add(const std::string& key, int32_t x, int32_t y, const CellMap& map) {
  auto c = std::make_shared<ConnectMap>();
  c->Key = key;
  struct Source {
    int32_t i, j;
    int64_t x, y;
  };
  const int64_t cx = x, cy = y;
  Source sources[4] = {{1, 1, cx, cy}, {0, 0, cx, cy - 2}, {}, {}};
  if (y % 2 != 0) {
    sources[2] = {0, 1, cx, cy - 1};
    sources[3] = {1, 0, cx + 1, cy - 1};
  } else {
    sources[2] = {1, 0, cx, cy - 1};
    sources[3] = {0, 1, cx - 1, cy - 1};
  }
  for (const Source& s : sources) {
    std::string sheetKey;
    int16_t edge = 0;
    if (map.Contains(s.x, s.y)) {
      const int32_t v = map.At(s.x, s.y);
      sheetKey = keyIndex_.Of(HiByte(v));
      if (!sheetKey.empty()) {
        auto sheet = UsedMap->Item(sheetKey);
        if (sheet && sheet->RepeatX != 0) {
          const double row = std::floor(static_cast<double>(LoByte(v - 1)) / sheet->RepeatX) + 1;
          if (row >= -32768 && row <= 32767) edge = static_cast<int16_t>(row);
        }
      }
    }
    c->SetMap(s.i, s.j, edge);
    c->SetMapKey(s.i, s.j, sheetKey);
  }
  if (!Find(key)) Insert(c, key);
  return c;
}

int16_t MapControl::UDLR2Index(std::string_view flags) {
  if (flags.size() != 4) return 0;
  for (int16_t code = 1; code < 16; ++code)
    if (flags == kEdgeFlags[code]) return code;
  return 0;
}

std::string MapControl::Index2UDRL(int16_t code) {
  if (code < 1 || code > 15) return "";
  return kEdgeFlags[code];
}

void ReadMapInfoRows(plat::TextRecordReader& reader, MapControl& control) {
  while (!reader.AtEnd()) {
    const int32_t keyByte = reader.ReadLong();
    const std::string key = reader.ReadString();
    const int32_t repeatX = reader.ReadLong();
    const int32_t repeatY = reader.ReadLong();
    const std::string fileName = reader.ReadString();
    const std::string clipID = reader.ReadString();
    const int32_t width = plat::CLng(static_cast<double>(repeatX) * kTileW);
    const int32_t height = plat::CLng(static_cast<double>(repeatY) * kTileH);
    // Validated before anything is stored, so a bad row stores nothing.
    control.GetKeyIndex(plat::CByte(keyByte));
    control.MapClips->Add(key, keyByte, repeatX, repeatY, clipID, fileName, width, height);
    control.SetKeyIndex(keyByte, key);
  }
}

void ReadMapRows(plat::TextRecordReader& reader, MapControl& control) {
  while (!reader.AtEnd()) {
    const int32_t number = reader.ReadLong();
    const std::string key = reader.ReadString();
    const std::string id = reader.ReadString();
    const int32_t colour = reader.ReadLong();
    const float resistance = reader.ReadSingle();
    // The entry is found again by its key, which an unkeyed entry has not.
    if (key.empty()) throw plat::RuntimeError(plat::ErrorCode::KeyNotFound, "Invalid procedure call or argument: empty key");
    auto entry = control.MapIndexs->Add(key, number, id, 0);
    entry->color = colour;
    entry->Resistance = resistance;
  }
}

void ReadObjRows(plat::TextRecordReader& reader, MapClipIndex& clips) {
  while (!reader.AtEnd()) {
    const std::string key = reader.ReadString();
    const int32_t repeatX = reader.ReadLong();
    const int32_t repeatY = reader.ReadLong();
    const std::string fileName = reader.ReadString();
    const int32_t width = reader.ReadLong();
    const int32_t height = reader.ReadLong();
    clips.Add(key, clips.Count(), repeatX, repeatY, "", fileName, width, height);
  }
}

bool ReadMapInfoIni(MapControl& control) {
  return ReadDataTable("MapInfo.ini", "Unable to Read MapINFO.ini", [&](plat::TextRecordReader& reader) {
    control.MapClips->RemoveAll();
    ReadMapInfoRows(reader, control);
  }) == TableRead::Read;
}

bool ReadMapIni(MapControl& control) {
  return ReadDataTable("map.ini", "Unable to Read Map.ini", [&](plat::TextRecordReader& reader) {
    control.MapIndexs->RemoveAll();
    ReadMapRows(reader, control);
  }) == TableRead::Read;
}

bool ReadObjIni(MapClipIndex& clips) {
  return ReadDataTable("obj.ini", "Unable to Read OBJ.ini", [&](plat::TextRecordReader& reader) {
    clips.RemoveAll();
    ReadObjRows(reader, clips);
  }) == TableRead::Read;
}

void LoadMapData() {
  ReadMapInfoIni(*MapCtl);
  ReadMapIni(*MapCtl);
  ReadObjIni(*ObjClips);
}

}  // namespace fw

#pragma once
// The battle's tables and the mission map, read from the archives before a
// battle. Each loader either fills its part of the world in full or reports
// what was wrong (file and line) and leaves the battle unstarted: a missing
// member, a short row, a duplicate catalogue key, a mask of the wrong size
// or a map that names a picture, template, spot or building type that does
// not exist.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "battle/battle_sinks.hpp"
#include "battle/battle_state.hpp"
#include "platform/runtime/text_records.hpp"

namespace fw {

struct LoadResult {
  bool Ok = true;
  std::string Message;  // names the file and the line when not Ok
  explicit operator bool() const { return Ok; }
  static LoadResult Fail(std::string message) { return {false, std::move(message)}; }
};

// The map description as it stands in its file, before anything is looked
// up. Sections may come in any order; a missing one stays empty.
struct MapDescription {
  struct BuildingRow {
    std::string TypeKey;
    int16_t X = 0, Y = 0;
    int Line = 0;
  };
  struct WeaponRow {
    std::string Key;
    int32_t OffsetX = 0;
    int Line = 0;
  };
  struct TankModelRow {
    std::string Key, ClipID;
    float TopSpeed = 0, Agile = 0, Accelerate = 0;
    int16_t ShieldFull = 0;
    float ShieldSpeed = 0;
    int16_t EnergyFull = 0;
    float EnergySpeed = 0;
    std::vector<WeaponRow> Weapons;
    int Line = 0;
  };
  struct TerrainRow {
    RECT Area{};
    uint8_t Kind = 0;
    float Value = 0;
    int Line = 0;
  };
  bool HasMap = false;
  int16_t Columns = 0, Rows = 0;
  std::vector<std::string> Tiles;  // row by row, the column fastest
  std::vector<int> TileLines;
  std::vector<BuildingRow> BuildingRows;
  bool HasTankModels = false;
  std::vector<TankModelRow> TankModels;
  bool HasSpots = false;
  std::vector<NavigationSpot> Spots;  // the file's spots, first at 0
  std::vector<TerrainRow> Terrains;
};

// Limits that keep a damaged file from asking for absurd amounts of memory.
// Each tile is a full-size picture: the campaign's maps have at most 22.
inline constexpr int32_t kMaxMapTiles = 64;
inline constexpr int32_t kMaxSectionRows = 100000;

// --- parsers of the file texts (no archives): raise plat::RuntimeError at
// the first bad field, with the line in the message ---
void ParseSoundTable(plat::TextRecordReader& reader, std::vector<SoundRow>& rows);
void ParseEnemyWeapons(plat::TextRecordReader& reader, WeaponClass& weapons);
// Adds the rows to the catalogue under `group`; a key already present in
// any group raises.
void ParseCatalogue(plat::TextRecordReader& reader, MapClipIndex& catalogue, int32_t group);
MapDescription ParseMapDescription(plat::TextRecordReader& reader);
// Exactly kMaskBytes bytes, else an error.
LoadResult ParseLandMask(std::string_view bytes, std::vector<uint8_t>& mask);

// The sections of a parsed description applied to the world: tiles,
// buildings (stamped into the building mask), templates, spots and terrain
// areas. Every name is looked up before anything is placed; `inf` names the
// file in errors.
LoadResult ApplyMapDescription(BattleState& world, BattlePictures& pictures, LoadProgress& progress,
                               const MapDescription& d, const std::string& inf);

// --- the loaders, in the order the battle calls them ---
// sound.ini into world.Sounds.
LoadResult LoadSound(BattleState& world);
// The sound table's waves into the sound device's channels.
LoadResult LoadSoundChannels(const BattleState& world);
// EnemyWeapon.ini into world.EnemyWeapons.
LoadResult LoadEmyWeap(BattleState& world);
// tank.ini, Weapon.ini and obj.ini into world.Catalogue.
LoadResult LoadImageInfo(BattleState& world);
// objinfo.ini into world.BuildingTypes.
LoadResult LoadBuildingTypes(BattleState& world);
// One mission map, for instance AppPath & "\MapA\MapA": the mask, the
// description (tiles, buildings, templates, spots, terrain), then the fixed
// pictures, the effect textures and the wreck pictures.
// A machine that joins a network battle places the host's buildings, as
// they stand there, in place of the file's rows: `received` then gives
// every building's type, map position, hull and shield, and the file's
// "Building" rows are read and dropped.
struct PlacedBuilding {
  std::string Key;
  int32_t MapX = 0;
  int32_t MapY = 0;
  int16_t HP = 0;
  float Shield = 0.0f;
};
LoadResult ReadAllImage(BattleState& world, BattlePictures& pictures, LoadProgress& progress,
                        const std::string& mapPath, const std::vector<PlacedBuilding>* received = nullptr);

// Appends a picture record to a list and returns its index; -1 when the
// picture cannot be loaded (nothing appended).
int32_t LoadSurfList(std::vector<ImageRecord>& list, PictureList which, BattlePictures& pictures,
                     const std::string& gamePath, int32_t repeatX, int32_t repeatY, const std::string& name,
                     PictureArchive archive = PictureArchive::Data);

// The tables and one map ("MapA") into a fresh world, as the campaign
// battle loads them; the archives must be open.
LoadResult LoadBattleWorld(BattleState& world, BattlePictures& pictures, LoadProgress& progress,
                           const std::string& mapName);
// The same without a window: pictures are checked and only their sizes
// kept, nothing is drawn. For replays, property tests and benchmarks.
LoadResult LoadHeadlessWorld(BattleState& world, const std::string& mapName);

}  // namespace fw

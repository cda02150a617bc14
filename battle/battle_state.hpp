#pragma once
// The world of one battle as a single value: the roster and its arrays, the
// tables and picture records the loaders fill, the masks, the view and the
// per-battle counters. The steps take it by reference together with the
// sinks and rules of battle_sinks.hpp, so a test builds a world in a few
// lines, a replay compares two worlds, and the network battle runs the same
// steps on the same value.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "battle/battle_records.hpp"
#include "data/building.hpp"
#include "data/map_tables.hpp"
#include "data/tank.hpp"
#include "data/weapon.hpp"

namespace fw {

// The mask grid: one byte per 20 x 20 map pixels, column fastest.
inline constexpr int32_t kMaskColumns = 256;
inline constexpr int32_t kMaskRows = 192;
inline constexpr int32_t kMaskCell = 20;
inline constexpr int32_t kMaskBytes = kMaskColumns * kMaskRows;
// A frame longer than this many factor units (60 ms) counts as this long:
// the movement and shot steps look one mask cell ahead, so a longer step
// would carry units and shots through walls after a stall.
inline constexpr float kMaxFrameFactor = 4.0f;

// Land-mask value that no unit or shot enters.
inline constexpr uint8_t kBlockedLand = 255;

// Groups of the picture catalogue: which table an entry came from.
enum CatalogueGroup : int32_t { kUnitPictures = 1, kShotPictures = 2, kObjectPictures = 3 };

// A sound table row.
struct SoundRow {
  std::string Key;
  std::string WaveFile;
  bool operator==(const SoundRow&) const = default;
};

// Indices of the fixed battle pictures in the image list, and of the named
// effect textures in the texture list; 0 until loaded.
struct NamedPictures {
  int32_t Panel = 0;
  int32_t Panel2 = 0;
  int32_t Grid1 = 0;
  int32_t Grid2 = 0;
  int32_t Grid3 = 0;
  int32_t Target = 0;
  int32_t Popup1 = 0;
  int32_t WeaponID = 0;
  std::array<int32_t, 9> Laser{};  // LASER01..LASER09
  int32_t Ball01 = 0;
  int32_t AC01 = 0;
  int32_t MIS01 = 0;
  int32_t MIS02 = 0;
  int32_t EXP02 = 0;
  bool operator==(const NamedPictures&) const = default;
};

class BattleState {
 public:
  // --- the mission and the run ---
  int32_t Mission = 0;         // the current user's mission number mod 20
  std::string RunState;        // "Loop" while the battle runs, "EXIT" to end it

  // --- tables (filled by the loaders, read by the steps) ---
  // Shared records: a copied world shares them, which is safe because
  // nothing changes them once the battle runs.
  MapClipIndex Catalogue;       // tank.ini, Weapon.ini, obj.ini
  std::vector<SoundRow> Sounds;  // sound.ini, in file order
  WeaponClass EnemyWeapons;     // EnemyWeapon.ini
  Buildings BuildingTypes;      // objinfo.ini
  Tanks Templates;              // the map's "Tank Model" section

  // --- pictures: records only; the pixels live in the screen's store ---
  std::vector<ImageRecord> Images{ImageRecord{}};  // element 0 empty
  std::vector<ImageRecord> Wrecks{ImageRecord{}};  // 1 building wrecks, 2 unit wreck
  std::vector<ImageRecord> Textures{ImageRecord{}};  // shot and effect pictures
  ImageRecord Girl;                                // the panel's animated face
  NamedPictures Named;

  // --- the map ---
  std::vector<uint8_t> LandMask = std::vector<uint8_t>(kMaskBytes, 0);
  std::vector<uint8_t> BuildMask = std::vector<uint8_t>(kMaskBytes, 0);
  int32_t TileColumns = 4;
  int32_t TileRows = 4;
  std::vector<std::string> TileNames;  // row by row, the column fastest
  std::vector<ImageRecord> Tiles;      // same order; sizes of the tile pictures
  int32_t ViewWidth = 640;
  int32_t ViewHeight = 480;
  int32_t ScreenWidth = 640;
  int32_t ScreenHeight = 480;
  int32_t MapWidth = 5120;
  int32_t MapHeight = 3840;
  int32_t ScrollX = 0;  // map position of the view's top-left corner
  int32_t ScrollY = 0;
  int32_t ScrollStep = 8;
  int16_t BackDivisor = 2;

  // --- the roster ---
  std::vector<BattleUnit> Units;                 // empty until the first unit
  std::vector<BuildingInstance> Builds;          // kept in order: objectives hold indices
  std::vector<WeaponSlot> Shots{WeaponSlot{}};   // element 0 always present
  std::vector<WeaponSlot> Debris{WeaponSlot{}};  // element 0 never used
  std::vector<EffectRecord> Effects{EffectRecord{}};
  std::vector<TerrainArea> Terrains{TerrainArea{}};  // the map's areas are 1..N
  std::vector<NavigationSpot> Spots;                 // the map's spots are 1..N

  // --- per frame ---
  float FrameFactor = 0.0f;  // elapsed milliseconds of the last frame / 15
  float FramesPerSecond = 0.0f;
  bool ShotSwitch = false;  // shots test the land mask only while set
  float MouseX = 0.0f;      // last cursor position in the battle, screen pixels
  float MouseY = 0.0f;
  bool FreeScroll = false;
  int32_t HoveredUnit = -1;
  int32_t PickedUnit = -1;
  int32_t PlayerUnit = -1;
  float ScreenShake = 0.0f;  // remaining shake time, counted down by the view
  float MessageTime = 0.0f;
  std::string MessageText;
  int16_t StickSwitch = 0;
  uint8_t WeaponClassIndex = 0;  // class 1..6 of the last weapon toggled
  bool PanelSwitch = false;
  uint8_t RadarLevel = 2;
  int32_t GoalX = 0;  // (0, 0) marks nothing
  int32_t GoalY = 0;

  // --- the mission's objectives: from position 1 up, indices; -1 destroyed.
  // Element 0 holds the count of live objective units, resp. the last
  // position of a destroyed objective building.
  std::vector<int32_t> ObjectiveBuilds{0};
  std::vector<int32_t> ObjectiveUnits;

  // --- bookings of this battle ---
  int32_t KillTank = 0;  // enemy units destroyed by the player's shots

  bool operator==(const BattleState& o) const { return SameWorld(o); }
  // The simulated part of the world: roster, masks, view, counters and
  // picture records; not the shared tables, nor the frame factor, which is
  // the frame's input.
  bool SameWorld(const BattleState& o) const;

  // Cell access of the two grids; callers check the bounds.
  static constexpr int32_t CellIndex(int32_t column, int32_t row) { return row * kMaskColumns + column; }
  static constexpr bool InGrid(int32_t column, int32_t row) {
    return column >= 0 && column < kMaskColumns && row >= 0 && row < kMaskRows;
  }
};

}  // namespace fw

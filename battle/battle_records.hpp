#pragma once
// The fixed-layout records of a battle (plain values, all zero when made): units, their weapons (the same
// layout holds flying shots and debris particles), effects, terrain areas,
// named pictures, placed buildings and navigation spots. Both the campaign
// and the network battle keep their world in arrays of these, numbered from
// 0, so mission scripts and game messages can address them by index.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/rects.hpp"

namespace fw {

// A map point of a way-point list or navigation spot.
struct PointL {
  int32_t X = 0;
  int32_t Y = 0;
  bool operator==(const PointL&) const = default;
};

// A unit's weapon; also a flying shot and a debris particle.
struct WeaponSlot {
  std::string Key;
  int16_t ClipID = 0;  // shot kind: picture, drawing and launch sound
  float PosX = 0.0f;
  float PosY = 0.0f;
  float VelocityX = 0.0f;
  float VelocityY = 0.0f;
  int16_t OffsetX = 0;  // launch position on the unit, in steps of 4 degrees
  int32_t TargetX = 0;
  int32_t TargetY = 0;
  int32_t TargetTank = 0;  // a unit index; -1 none
  float Speed = 0.0f;
  float HeadAngle = 0.0f;
  float Agile = 0.0f;
  int32_t Range = 0;
  int16_t FirePower = 0;
  float FireSpeed = 0.0f;
  float Energy = 0.0f;  // 0: the weapon fires from Ammo
  int16_t Ammo = 0;
  uint8_t Path = 0;
  float FireCharge = 0.0f;
  uint8_t Enabled = 0;
  int16_t FireAngle = 0;
  int32_t TrailCount = 0;
  float PastRange = 0.0f;
  int32_t FireTank = 0;  // a unit index; -1 none
  // Who fired, as the battle's rules name players (a network player's id);
  // it outlives the shooter's unit. 0 where nobody is named.
  int32_t FireOwner = 0;

  bool operator==(const WeaponSlot&) const = default;
};

// A unit of a battle.
struct BattleUnit {
  std::string Key;  // the unit's name; in the network battle its player's
  float HeadAngle = 0.0f;
  float VelocityX = 0.0f;
  float VelocityY = 0.0f;
  float PosOffsetX = 0.0f;
  float PosOffsetY = 0.0f;
  float PosX = 0.0f;  // top-left corner of the unit's box, map pixels
  float PosY = 0.0f;
  float AimX = 0.0f;
  float AimY = 0.0f;
  int16_t HP = 0;
  float Shield = 0.0f;
  int16_t ShieldFull = 0;
  float ShieldSpeed = 0.0f;
  float Energy = 0.0f;
  int16_t EnergyFull = 0;
  float EnergySpeed = 0.0f;
  RECT DescRECT{};
  float CenterX = 0.0f;
  float CenterY = 0.0f;
  int16_t PerSpeed = 0;  // throttle in per cent, -50..100
  float Speed = 0.0f;
  float TopSpeed = 0.0f;
  float Accelerate = 0.0f;
  float Agile = 0.0f;
  // The picture: the catalogue key until the unit is placed, then the index
  // (as text) of the picture in the image list.
  std::string ClipID;
  uint8_t MoveFB = 0;  // 0 none, 1 forward, 2 backward
  uint8_t TurnR = 0;
  uint8_t TurnL = 0;
  uint8_t Fire = 0;
  int32_t TargetTank = 0;  // unit indices; -1 none
  int32_t LeaderTank = 0;
  int32_t WayPointIndex = 0;
  std::vector<PointL> WayPoint;
  std::vector<WeaponSlot> Weapon;
  uint8_t Style = 0;  // AI style 0..6
  uint8_t BaseStyle = 0;
  uint8_t Team = 0;  // 0 the player's side, 1 the enemy
  int16_t HPVisible = 0;
  float StuckTime = 0.0f;
  int16_t SidestepSide = 0;
  int32_t SidestepTimer = 0;

  bool operator==(const BattleUnit&) const = default;
};

// An explosion, smoke, engine flame, shock wave or fire.
struct EffectRecord {
  int32_t Tag = 0;
  float X = 0.0f;
  float Y = 0.0f;
  float DrawOffsetX = 0.0f;
  float DrawOffsetY = 0.0f;
  int32_t ImageIndex = 0;  // in the effect texture list
  float FrameSpeed = 0.0f;
  int32_t FrameTotal = 0;
  float FramePos = 0.0f;
  int32_t Grow = 0;
  uint8_t Looping = 0;
  float Life = 0.0f;
  RECT DrawRect{};

  bool operator==(const EffectRecord&) const = default;
};

// A row of a map's "Terrain" section: a spawn area, a mission goal zone and
// the area a land-mask value refers to.
struct TerrainArea {
  uint8_t Kind = 0;
  float Value = 0.0f;
  RECT Area{};
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t CenterX = 0;
  int32_t CenterY = 0;

  bool operator==(const TerrainArea&) const = default;
};

// A named picture of a battle. The world keeps what the simulation needs
// of it (name, grid, size); the pixels belong to the screen, which keeps
// them under the same list and index (see BattlePictures), so a world runs,
// copies and compares without a display.
struct ImageRecord {
  int32_t RepeatX = 0;  // frames across
  int32_t RepeatY = 0;  // frames down
  std::string Name;
  std::string FileName;  // the game path it was loaded from
  int32_t Width = 0;     // the whole picture, pixels
  int32_t Height = 0;

  bool operator==(const ImageRecord&) const = default;
};

// A building placed on the map.
struct BuildingInstance {
  std::string TypeKey;
  std::string ImageIndex;  // index (as text) in the image list
  int32_t X = 0;           // ground centre
  int32_t Y = 0;
  int32_t DrawX = 0;  // corner used for drawing and for the building mask
  int32_t DrawY = 0;
  float Frame = 0.0f;
  float AnimSpeed = 0.0f;
  std::vector<int16_t> Frames;
  int16_t FrameCount = 0;
  int16_t HP = 0;
  int16_t HPFull = 0;
  float Shield = 0.0f;
  int32_t ShieldFull = 0;
  float ShieldSpeed = 0.0f;
  int32_t HPVisible = 0;
  uint8_t Size = 0;
  RECT Footprint{};

  bool operator==(const BuildingInstance&) const = default;
};

// A navigation point list of the map.
struct NavigationSpot {
  std::vector<PointL> Points;

  bool operator==(const NavigationSpot&) const = default;
};

}  // namespace fw

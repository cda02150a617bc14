#pragma once
// The tank record: a catalogue entry of the factory (hull, shield, engine,
// reactor), the player's fitted tank, or a unit template of a battle map;
// and its keyed collection.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "data/collection.hpp"
#include "data/named_rects.hpp"
#include "data/way_point.hpp"
#include "data/weapon.hpp"
#include "engine/lazy.hpp"
#include "engine/rects.hpp"

namespace fw {

class Tank {
 public:
  std::string Key;
  bool Selected = false;
  float PosOffsetX = 0.0f;  // top-left of the picture, in step with CenterX
  float PosOffsetY = 0.0f;
  int32_t MapPosX = 0;
  int32_t MapPosY = 0;
  int16_t HP = 100;
  float Shield = 0.0f;  // catalogue: weight (carrying capacity of a hull)
  int16_t ShieldFull = 0;
  float ShieldSpeed = 0.0f;
  float Energy = 0.0f;  // catalogue: price
  int16_t EnergyFull = 0;
  float EnergySpeed = 0.0f;
  float Speed = 0.0f;
  float TopSpeed = 0.0f;
  float Accelerate = 0.0f;
  int16_t FogSpeed = 0;
  float Agile = 0.0f;
  std::string ClipID;         // battle picture; a catalogue entry's 3D model
  std::string TurrentClipID;  // a catalogue hull's battle picture
  uint8_t MoveFB = 0;
  uint8_t TurnR = 0;
  uint8_t TurnL = 0;
  Lazy<WayPointCollect> WayPoint;
  uint8_t Team = 0;
  int32_t SingleW = 0;
  int32_t SingleH = 0;
  int16_t HPVisible = 0;
  int16_t BackMapVal = 0;
  Lazy<WeaponClass> Weapon;

  // Throttle in per cent, held within -50..100.
  void PerSpeed(int16_t v);
  int16_t PerSpeed() const { return perSpeed_; }
  // The vertical centre lies half the picture's width above its bottom
  // edge, not half its height.
  void CenterY(float v);
  float CenterY();
  void CenterX(float v);
  float CenterX();
  void DescRECT(const RECT& r) { descRect_ = r; }
  RECT DescRECT() const { return descRect_; }
  // Degrees; one correction each way, so -360 <= v < 720 ends in [0, 360).
  // A catalogue hull keeps its number of weapon slots here.
  void HeadAngle(float v);
  float HeadAngle() const { return headAngle_; }

 private:
  float headAngle_ = 0.0f;
  RECT descRect_{};
  float centerX_ = 0.0f;
  float centerY_ = 0.0f;
  int16_t perSpeed_ = 0;
};

class Tanks : public DataCollection<Tank> {
 public:
  int32_t SingleW = 0;
  int32_t SingleH = 0;
  int32_t MapSizeW = 0;
  int32_t MapSizeH = 0;
  // One rectangle per tank under the tank's key, parked off screen.
  Lazy<RectSet> TankRECT;

  // A taken key is replaced by the decimal text of its leading number plus
  // one ("A" -> "1", "7" -> "8"), until a free one is found; the caller's
  // key is changed to the key used. Never raises.
  Ptr Add(std::string& key, int32_t mapPosX, int32_t mapPosY, const RECT& descRect);
  // Null when absent.
  Ptr Item(int position) const { return Find(position); }
  Ptr Item(std::string_view key) const { return Find(key); }
  // Removes the tank and its rectangle; an absent tank raises.
  void Remove(int position);
  void Remove(std::string_view key);
  void RemoveAll();
};

// The runtime's Val: the number at the start of a text, 0 when there is
// none.
double LeadingNumber(std::string_view text);
// The runtime's number text (Str) without its leading blank.
std::string NumberText(double v);

}  // namespace fw

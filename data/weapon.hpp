#pragma once
// A weapon type, or one weapon fitted to a tank, outside a running battle;
// and the keyed collection of them (a tank's weapons, the battle's enemy
// weapons, the factory's catalogue).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "data/collection.hpp"

namespace fw {

class Weapon {
 public:
  std::string Key;
  int16_t ClipID = 0;  // shot kind
  int32_t MapPosX = 0;
  int32_t MapPosY = 0;
  int32_t OffsetX = 0;  // mount offset on the tank
  int32_t OffsetY = 0;
  bool OpenFire = false;
  bool Selected = false;
  int32_t TargetX = 0;
  int32_t TargetY = 0;
  std::string TargetTank;  // the catalogue's model file
  float Speed = 0.0f;
  float HeadAngle = 0.0f;
  float Agile = 0.0f;
  int32_t Range = 0;
  float ExpZone = 0.0f;
  int16_t FirePower = 0;
  float FireSpeed = 0.0f;
  float FireCharge = 0.0f;
  float Energy = 0.0f;  // 0: the weapon fires from Ammo
  int16_t Ammo = 0;
  int32_t Path = 0;
  int16_t FireAngle = 0;
  int32_t Cost = 0;
  int32_t Weight = 0;
  float PastRange = 0.0f;
  float TargetRange = 0.0f;
  int32_t FireTank = 0;
  int32_t Time = 0;
};

class WeaponClass : public DataCollection<Weapon> {
 public:
  // An empty key adds the weapon without one; a taken key raises.
  Ptr Add(const std::string& key);
  // Null when there is no such weapon.
  Ptr Item(int position) const { return Find(position); }
  Ptr Item(std::string_view key) const { return Find(key); }
  // A missing weapon is ignored.
  void Remove(int position) { TryRemove(position); }
  void Remove(std::string_view key) { TryRemove(key); }
};

}  // namespace fw

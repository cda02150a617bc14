#include "factory/rules/combin_all.hpp"

#include <array>
#include <string>

#include "factory/rules/item_names.hpp"
#include "platform/runtime/random.hpp"

namespace fw {
namespace {

constexpr int kSlots = 9;
// Where each weapon sits on the hull, by its position among the fitted
// weapons; the last x is 45, not 50, as the hulls were drawn.
constexpr std::array<int32_t, kSlots + 1> kMountOffsetX = {0, 10, -10, 20, -20, 30, -30, 40, -40, 45};
constexpr std::array<int32_t, kSlots + 1> kMountOffsetY = {0, -5, 5, 5, 10, 10, -10, -10, 15, -15};

void TakeFlightValues(Weapon& w, const Weapon& ammo, bool steering) {
  if (steering) {
    w.Speed = ammo.Speed;
    w.Agile = ammo.Agile;
  }
  w.Range = ammo.Range;
  w.FirePower = ammo.FirePower;
  w.Ammo = ammo.Ammo;
  w.ClipID = ammo.ClipID;
}

}  // namespace

void CombinAll(const FactoryCatalogs& catalogs, UsersClass& users) {
  plat::Randomize();
  Tank& tank = *users.NowTank;
  tank.Weapon->RemoveAll();
  tank.Key.clear();
  tank.Accelerate = tank.Agile = tank.EnergySpeed = tank.ShieldSpeed = tank.TopSpeed = 0.0f;
  tank.EnergyFull = tank.ShieldFull = 0;

  std::array<std::string, kSlots + 1> weapons, ammunition;
  for (const auto& item : *users.NowEQU) {
    if (item->Index == kKindWeapon) {
      if (!catalogs.WeaponCatalog.Item(item->ID)) continue;
      if (item->color >= 1 && item->color <= kSlots) weapons[static_cast<size_t>(item->color)] = item->ID;
      if (item->color >= 11 && item->color <= 10 + kSlots) ammunition[static_cast<size_t>(item->color - 10)] = item->ID;
      continue;
    }
    auto entry = catalogs.EquipmentCatalog.Item(item->ID);
    if (!entry) continue;
    switch (item->Index) {
      case kKindTank:
        tank.Key = entry->Key;
        tank.Agile = entry->Agile;
        tank.ClipID = entry->TurrentClipID;
        break;
      case kKindShield:
        tank.ShieldFull = entry->ShieldFull;
        tank.ShieldSpeed = entry->ShieldSpeed;
        break;
      case kKindEngine:
        tank.TopSpeed = entry->TopSpeed;
        tank.Accelerate = entry->Accelerate;
        break;
      case kKindReactor:
        tank.EnergyFull = entry->EnergyFull;
        tank.EnergySpeed = entry->EnergySpeed;
        break;
      default:
        break;
    }
  }

  // Empty rows leave no gap: the weapons take positions 1, 2, ... in row
  // order, and ammunition in a row without a weapon is dropped.
  size_t position = 0;
  for (size_t slot = 1; slot <= kSlots; ++slot) {
    if (weapons[slot].empty()) continue;
    ++position;
    const Weapon& source = *catalogs.WeaponCatalog.Item(weapons[slot]);
    Weapon& w = *tank.Weapon->Add("");
    w.Key = source.Key;
    w.Speed = source.Speed;
    w.Agile = source.Agile;
    w.Range = source.Range;
    w.FirePower = source.FirePower;
    w.FireSpeed = source.FireSpeed;
    w.FireAngle = source.FireAngle;
    w.Energy = source.Energy;
    w.Path = source.Path;
    w.Ammo = source.Ammo;
    w.ClipID = source.ClipID;
    w.OffsetX = kMountOffsetX[position];
    w.OffsetY = kMountOffsetY[position];
    auto ammo = ammunition[slot].empty() ? nullptr : catalogs.WeaponCatalog.Item(ammunition[slot]);
    if (!ammo) continue;
    if (NameHas(source.Key, "Cannon")) TakeFlightValues(w, *ammo, false);
    if (NameHas(source.Key, "Missile")) TakeFlightValues(w, *ammo, true);
    if (NameHas(source.Key, "Rocket")) TakeFlightValues(w, *ammo, true);
  }
}

void CombinAllOnUsers() {
  FactoryCatalogs catalogs;
  catalogs.Read();
  ReportCatalogProblems(catalogs);
  CombinAll(catalogs, *Users);
}

}  // namespace fw

#include "battle/roster.hpp"

#include <cmath>
#include <string>

#include "platform/runtime/error.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/random.hpp"

namespace fw {
namespace {

[[noreturn]] void Subscript(const std::string& what) {
  throw plat::RuntimeError(plat::ErrorCode::SubscriptOutOfRange, "Subscript out of range: " + what);
}

WeaponSlot SlotOf(const Weapon& w) {
  WeaponSlot s;
  s.Key = w.Key;
  s.ClipID = w.ClipID;
  s.OffsetX = plat::CInt(w.OffsetX);
  s.Speed = w.Speed;
  s.Agile = w.Agile;
  s.Range = w.Range;
  s.FirePower = w.FirePower;
  s.FireSpeed = w.FireSpeed;
  s.Energy = w.Energy;
  s.Ammo = w.Ammo;
  s.FireAngle = w.FireAngle;
  s.Path = plat::CByte(w.Path);
  s.Enabled = 1;
  return s;
}

}  // namespace

int32_t UnitPicture(BattleState& world, BattlePictures& pictures, const std::string& key) {
  for (size_t i = 0; i < world.Images.size(); ++i)
    if (world.Images[i].Name == key) return static_cast<int32_t>(i);
  const auto entry = world.Catalogue.Item(key);
  if (!entry)
    throw plat::RuntimeError(plat::ErrorCode::KeyNotFound, "The unit picture \"" + key + "\" is not in the catalogue");
  const int32_t index = static_cast<int32_t>(world.Images.size());
  const auto size = pictures.Load(PictureList::Images, index, entry->FileName, PictureArchive::Data);
  if (!size)
    throw plat::RuntimeError(plat::ErrorCode::FileNotFound, "Unable to load the picture " + entry->FileName);
  ImageRecord r;
  r.RepeatX = entry->RepeatX;
  r.RepeatY = entry->RepeatY;
  r.Name = key;
  r.FileName = entry->FileName;
  r.Width = size->Width;
  r.Height = size->Height;
  world.Images.push_back(std::move(r));
  return index;
}

namespace {

// One renumbering of every unit index of the world.
void Renumber(int32_t& index, int32_t removed, int32_t moved) {
  if (index == removed)
    index = -1;
  else if (index == moved)
    index = removed;
}

}  // namespace

int32_t NewTankIndex(BattleState& world) {
  world.Units.emplace_back();
  return static_cast<int32_t>(world.Units.size() - 1);
}

int32_t AddTank(BattleState& world, BattlePictures& pictures, Tank& tmpl, int32_t style, uint8_t team,
                int32_t spot, int32_t area) {
  plat::Randomize();
  // A map without navigation spots has no spot 0 either; that spot means
  // "no way points", as it does on maps that have spots.
  const bool noSpot = spot == 0 && world.Spots.empty();
  if (!noSpot && (spot < 0 || static_cast<size_t>(spot) >= world.Spots.size()))
    Subscript("navigation spot " + std::to_string(spot));
  if (area < 0 || static_cast<size_t>(area) >= world.Terrains.size()) Subscript("terrain area " + std::to_string(area));

  // The unit is made whole before it joins the roster, so a failure leaves
  // the roster as it was.
  BattleUnit u;
  u.Accelerate = tmpl.Accelerate;
  u.Agile = tmpl.Agile;
  u.ClipID = tmpl.ClipID;
  u.EnergySpeed = tmpl.EnergySpeed;
  u.ShieldSpeed = tmpl.ShieldSpeed;
  u.TopSpeed = tmpl.TopSpeed;
  u.Energy = u.EnergyFull = tmpl.EnergyFull;
  u.Shield = u.ShieldFull = tmpl.ShieldFull;
  u.DescRECT = RECT{0, 0, 80, 60};
  u.CenterX = u.DescRECT.Right / 2.0f;
  u.CenterY = u.DescRECT.Bottom / 2.0f;
  u.Style = u.BaseStyle = static_cast<uint8_t>(style);
  u.Team = team;
  u.HeadAngle = 0;
  u.HP = 100;
  const RECT& a = world.Terrains[area].Area;
  u.PosX = plat::Rnd() * static_cast<float>(a.Right - a.Left) + a.Left;
  u.PosY = plat::Rnd() * static_cast<float>(a.Bottom - a.Top) + a.Top;
  u.PosOffsetX = -u.DescRECT.Right / 2.0f;
  u.PosOffsetY = -u.DescRECT.Bottom / 2.0f;
  for (const auto& w : *tmpl.Weapon) u.Weapon.push_back(SlotOf(*w));
  if (!noSpot) u.WayPoint = world.Spots[spot].Points;
  u.ClipID = std::to_string(UnitPicture(world, pictures, u.ClipID));

  const int32_t index = NewTankIndex(world);
  world.Units[index] = std::move(u);
  return index;
}

void AddTankWeapon(BattleState& world, int32_t unit, const Weapon& weapon) {
  if (unit < 0 || static_cast<size_t>(unit) >= world.Units.size()) Subscript("unit " + std::to_string(unit));
  world.Units[unit].Weapon.push_back(SlotOf(weapon));
}

int32_t AddTerrain(BattleState& world, const RECT& area, uint8_t kind, float value) {
  TerrainArea t;
  t.Kind = kind;
  t.Value = value;
  t.Area = area;
  t.Left = area.Left;
  t.Top = area.Top;
  t.CenterX = static_cast<int32_t>(plat::RoundHalfEven((static_cast<double>(area.Left) + area.Right) / 2));
  t.CenterY = static_cast<int32_t>(plat::RoundHalfEven((static_cast<double>(area.Top) + area.Bottom) / 2));
  world.Terrains.push_back(t);
  return static_cast<int32_t>(world.Terrains.size() - 1);
}

int32_t GetTankAtPos(const BattleState& world, int32_t x, int32_t y) {
  for (size_t i = 0; i < world.Units.size(); ++i) {
    const BattleUnit& u = world.Units[i];
    const double left = plat::RoundHalfEven(static_cast<double>(u.PosX) - world.ScrollX);
    const double top = plat::RoundHalfEven(static_cast<double>(u.PosY) - world.ScrollY);
    if (x >= left && x <= left + u.DescRECT.Right && y >= top && y <= top + u.DescRECT.Bottom)
      return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t GetTeamCount(const BattleState& world, uint8_t team) {
  int32_t n = 0;
  for (const BattleUnit& u : world.Units) n += u.Team == team;
  return n;
}

void RemoveUnit(BattleState& world, int32_t i, BattleRules& rules) {
  const int32_t last = static_cast<int32_t>(world.Units.size()) - 1;
  if (i < 0 || i > last) return;
  CheckMisOBJTank(world, i, -1);
  CheckMisOBJTank(world, last, i);
  if (i != last) world.Units[i] = std::move(world.Units[last]);
  world.Units.pop_back();
  // Whatever pointed at the dead unit now points at nobody, and whatever
  // pointed at the moved one follows it, so shots neither credit nor home
  // on the unit that filled the hole.
  for (BattleUnit& u : world.Units) {
    Renumber(u.TargetTank, i, last);
    Renumber(u.LeaderTank, i, last);
  }
  for (WeaponSlot& s : world.Shots) {
    Renumber(s.FireTank, i, last);
    Renumber(s.TargetTank, i, last);
  }
  Renumber(world.PickedUnit, i, last);
  Renumber(world.HoveredUnit, i, last);
  Renumber(world.PlayerUnit, i, last);
  rules.UnitRemoved(world, i, last);
}

void CheckMisOBJTank(BattleState& world, int32_t oldIndex, int32_t newIndex) {
  auto& list = world.ObjectiveUnits;
  if (list.empty()) return;
  list[0] = 0;
  for (size_t p = 1; p < list.size(); ++p) {
    if (list[p] == oldIndex) list[p] = newIndex;
    if (list[p] >= 0) ++list[0];
  }
}

int32_t CheckMisOBJ(BattleState& world, int32_t building) {
  int32_t found = 0;
  auto& list = world.ObjectiveBuilds;
  for (size_t p = 1; p < list.size(); ++p) {
    if (list[p] == building) {
      list[p] = -1;
      found = static_cast<int32_t>(p);
    } else if (list[p] > building) {
      --list[p];
    }
  }
  return found;
}

}  // namespace fw

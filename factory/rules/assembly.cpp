#include "factory/rules/assembly.hpp"

#include <cmath>

#include "factory/rules/item_names.hpp"
#include "platform/runtime/numeric.hpp"

namespace fw {
namespace {

// Lists 2 to 4 hold shields, engines and reactors, fitted in rows 11 to 13.
int32_t KindOfList(int list) {
  switch (list) {
    case Assembly::kShields: return kKindShield;
    case Assembly::kEngines: return kKindEngine;
    case Assembly::kReactors: return kKindReactor;
    case Assembly::kTanks: return kKindTank;
    default: return kKindWeapon;
  }
}

int ListOfKind(int32_t kind) {
  switch (kind) {
    case kKindShield: return Assembly::kShields;
    case kKindEngine: return Assembly::kEngines;
    case kKindReactor: return Assembly::kReactors;
    default: return -1;
  }
}

int RowOfKind(int32_t kind) { return ListOfKind(kind) + 9; }

int32_t KindOfRow(int row) {
  if (row == Assembly::kTankRow) return kKindTank;
  if (row >= Assembly::kShieldRow) return KindOfList(row - 9);
  return kKindWeapon;
}

std::vector<MapIndex> Copy(const MapIndexClass& list) {
  std::vector<MapIndex> out;
  for (const auto& item : list) out.push_back(*item);
  return out;
}

void Restore(MapIndexClass& list, const std::vector<MapIndex>& items) {
  list.RemoveAll();
  for (const auto& m : items) *list.Add(m.Key, m.Index, m.ID, m.color) = m;
}

}  // namespace

int64_t LoadLeft(const FactoryCatalogs& catalogs, const MapIndexClass& fitted) {
  double left = 0;
  for (const auto& item : fitted)
    if (item->Index == kKindTank)
      if (auto hull = catalogs.EquipmentCatalog.Item(item->ID)) left = plat::RoundHalfEven(hull->Shield);
  for (const auto& item : fitted) {
    if (item->Index == kKindWeapon) {
      if (auto w = catalogs.WeaponCatalog.Item(item->ID)) left -= w->Weight;
    } else if (ListOfKind(item->Index) >= 0) {
      if (auto e = catalogs.EquipmentCatalog.Item(item->ID)) left = plat::RoundHalfEven(left - e->Shield);
    }
  }
  return static_cast<int64_t>(left);
}

Assembly::Assembly(const FactoryCatalogs& catalogs, UsersClass& users) : catalogs_(catalogs), users_(users) {}

void Assembly::Open() {
  MapIndexClass& owned = *users_.UserEQU;
  MapIndexClass& fitted = *users_.NowEQU;
  ownedAtOpen_ = Copy(owned);
  fittedAtOpen_ = Copy(fitted);
  const std::vector<MapIndex> wasFitted = fittedAtOpen_;
  fitted.RemoveAll();
  for (auto& l : lists_) l.RemoveAll();
  slots_.fill("");
  ammo_.fill("");
  foreign_.clear();
  viewWeight_ = 0;
  itemModel_.clear();

  // A fitted hull is one of the owned hulls; one the player does not own
  // (an edited file) becomes owned rather than vanish.
  for (const auto& m : wasFitted) {
    if (m.Index != kKindTank) continue;
    bool isOwned = false;
    for (const auto& item : owned) isOwned = isOwned || (item->Index == kKindTank && item->ID == m.ID);
    if (!isOwned) owned.Add("", kKindTank, m.ID, 0);
  }

  for (const auto& item : owned) {
    if (item->Index == kKindTank) list(kTanks).Add(item->ID);
    else if (ListOfKind(item->Index) >= 0) list(ListOfKind(item->Index)).Add(item->ID);
    else if (item->Index == kKindWeapon && !CheckWeapon(item->ID)) list(kWeapons).Add(item->ID);
  }

  if (list(kTanks).Count() > 0) {
    list(kTanks).SelectedItem = 1;
    for (const auto& m : wasFitted) {
      if (m.Index != kKindTank) continue;
      for (int32_t r = 1; r <= list(kTanks).Count(); ++r)
        if (list(kTanks).Item(r) == m.ID) {
          list(kTanks).SelectedItem = r;
          break;
        }
      break;
    }
    slot(kTankRow) = list(kTanks).Item(list(kTanks).SelectedItem);
  }
  ShowTank();

  for (const auto& m : wasFitted) {
    // An entry without a name would sit in a row that reads as empty and be
    // lost when the row is cleared: it goes back to the owned items.
    if (m.ID.empty() && m.Index == kKindWeapon) {
      GiveBack(kWeapons, kKindWeapon, m.ID);
      continue;
    }
    if (m.ID.empty() && ListOfKind(m.Index) >= 0) {
      GiveBack(ListOfKind(m.Index), m.Index, m.ID);
      continue;
    }
    if (m.Index == kKindWeapon && !CheckWeapon(m.ID)) {
      int row = kFirstWeaponRow;
      while (row <= kLastWeaponRow && !slot(row).empty()) ++row;
      if (row <= kLastWeaponRow) slot(row) = m.ID;
      else GiveBack(kWeapons, kKindWeapon, m.ID);
    } else if (ListOfKind(m.Index) >= 0) {
      // Of two fitted items of a kind the later one is fitted, as the
      // battle tank takes the later one; the earlier is owned again.
      std::string& s = slot(RowOfKind(m.Index));
      if (!s.empty()) GiveBack(ListOfKind(m.Index), m.Index, s);
      s = m.ID;
    } else if (m.Index != kKindTank && m.Index != kKindWeapon) {
      foreign_.push_back(m);
    }
  }
  // Ammunition goes into the first suitable weapon in row order, whatever
  // row number was stored with it.
  for (const auto& m : wasFitted) {
    if (m.Index != kKindWeapon || !CheckWeapon(m.ID)) continue;
    int row = kFirstWeaponRow;
    while (row <= kLastWeaponRow && !(ammo(row).empty() && LoadsInto(slot(row), m.ID))) ++row;
    if (row <= kLastWeaponRow) ammo(row) = m.ID;
    else GiveBack(-1, kKindWeapon, m.ID);
  }

  SetSlotLines(list(kTanks).Count() > 0 ? catalogs_.WeaponRows(slot(kTankRow)) : 0);
  WriteFitted();
  open_ = true;
}

bool Assembly::ChangeTank(int step) {
  RowList& tanks = list(kTanks);
  if (tanks.Count() == 0) return false;
  int32_t next = tanks.SelectedItem + (step < 0 ? -1 : 1);
  if (next > tanks.Count()) next = 1;
  if (next < 1) next = tanks.Count();
  tanks.SelectedItem = next;
  slot(kTankRow) = tanks.Item(next);
  ShowTank();
  SetSlotLines(catalogs_.WeaponRows(slot(kTankRow)));
  WriteFitted();
  return true;
}

void Assembly::Choose(int i, int32_t row) {
  if (i < kWeapons || i > kAmmunition) return;
  list(i).SelectedItem = 0;
  if (list(i).Click(row) > 0) View(KindOfList(i), list(i).Item(row));
}

void Assembly::ChooseSlot(int32_t row) {
  list(kAmmunition).RemoveAll();
  const int32_t r = slotList_.Click(row);
  if (r == 0) return;
  if (slotList_.Item(r).empty()) slotList_.SelectedItem = 0;
  if (slot(r).empty() || r == kTankRow) return;
  View(KindOfRow(r), slot(r));
  if (r > kLastWeaponRow) return;
  if (auto rows = AjustLancher(slot(r), *users_.UserEQU)) {
    list(kAmmunition).RemoveAll();
    for (const auto& name : *rows) list(kAmmunition).Add(name);
  }
}

bool Assembly::Fit(int i, int32_t row) {
  if (i < kWeapons || i > kAmmunition || list(i).Click(row) == 0) return false;
  const std::string name = list(i).Item(row);
  if (i == kWeapons) {
    int target = kFirstWeaponRow;
    while (target <= kLastWeaponRow && !(slot(target).empty() && !slotList_.Item(target).empty())) ++target;
    if (target > kLastWeaponRow || !TakeOwned(kKindWeapon, name)) return false;
    slot(target) = name;
  } else if (i == kAmmunition) {
    // The ammunition list holds only what suits the row last chosen with
    // the left button; the row itself is the one selected now. It must hold
    // a weapon: a load in an empty row could be neither seen nor taken off,
    // yet would weigh.
    const int32_t target = slotList_.SelectedItem;
    if (target < kFirstWeaponRow || target > kLastWeaponRow || slot(target).empty() ||
        !TakeOwned(kKindWeapon, name))
      return false;
    if (!ammo(target).empty()) GiveBack(kAmmunition, kKindWeapon, ammo(target));
    ammo(target) = name;
  } else {
    const int32_t kind = KindOfList(i);
    if (!TakeOwned(kind, name)) return false;
    std::string& s = slot(RowOfKind(kind));
    if (!s.empty()) GiveBack(i, kind, s);
    s = name;
  }
  list(i).Remove(row);
  WriteFitted();
  return true;
}

bool Assembly::RemoveSlot(int32_t row) {
  const int32_t r = slotList_.Click(row);
  if (r == 0 || r == kTankRow || slot(r).empty()) return false;
  if (r <= kLastWeaponRow) {
    // Ammunition comes off first, the weapon with the next click.
    if (!ammo(r).empty()) {
      GiveBack(kAmmunition, kKindWeapon, ammo(r));
      ammo(r).clear();
    } else {
      GiveBack(kWeapons, kKindWeapon, slot(r));
      slot(r).clear();
    }
  } else {
    GiveBack(r - 9, KindOfRow(r), slot(r));
    slot(r).clear();
  }
  WriteFitted();
  return true;
}

int64_t Assembly::CalWeight() const { return LoadLeft(catalogs_, *users_.NowEQU); }

bool Assembly::Exit() {
  if (CalWeight() < 0) return false;
  // Whatever was placed nowhere went back to the owned items when the
  // screen opened, so the fitted list is the rows and nothing else.
  WriteFitted();
  open_ = false;
  return true;
}

void Assembly::Revert() {
  Restore(*users_.UserEQU, ownedAtOpen_);
  Restore(*users_.NowEQU, fittedAtOpen_);
  open_ = false;
}

bool Assembly::TakeOwned(int32_t kind, const std::string& name) {
  MapIndexClass& owned = *users_.UserEQU;
  for (int32_t i = owned.Count(); i >= 1; --i)
    if (owned.Item(i)->Index == kind && owned.Item(i)->ID == name) {
      owned.Remove(i);
      return true;
    }
  return false;
}

void Assembly::GiveBack(int i, int32_t kind, const std::string& name) {
  if (i >= 0) list(i).Add(name);
  users_.UserEQU->Add("", kind, name, 0);
}

void Assembly::SetSlotLines(int32_t weaponRows) {
  static const char* const kLabels[] = {"Tank:",    "Weapon1:", "Weapon2:", "Weapon3:", "Weapon4:",
                                        "Weapon5:", "Weapon6:", "Weapon7:", "Weapon8:", "Weapon9:",
                                        "Shield:",  "Engine:",  "Reactor:"};
  slotList_.RemoveAll();
  for (const char* label : kLabels) slotList_.Add(label);
  // Rows the hull does not have are blank, and what was fitted there goes
  // back to the owned items, weapon before ammunition, in row order.
  for (int i = weaponRows + 1; i <= kWeaponRows; ++i) {
    const int r = kFirstWeaponRow + i - 1;
    slotList_.Rows[static_cast<size_t>(r - 1)].clear();
    if (!slot(r).empty()) GiveBack(kWeapons, kKindWeapon, slot(r));
    if (!ammo(r).empty()) GiveBack(kAmmunition, kKindWeapon, ammo(r));
    slot(r).clear();
    ammo(r).clear();
  }
}

void Assembly::ShowTank() { tankModel_ = slot(kTankRow).empty() ? "" : catalogs_.Model(kKindTank, slot(kTankRow)); }

void Assembly::View(int32_t kind, const std::string& name) {
  itemModel_ = catalogs_.Model(kind, name);
  int32_t w = 0;
  if (catalogs_.Weight(kind, name, w)) viewWeight_ = w;
}

void Assembly::WriteFitted() {
  MapIndexClass& fitted = *users_.NowEQU;
  fitted.RemoveAll();
  for (int r = kTankRow; r <= kReactorRow; ++r) {
    if (slot(r).empty()) continue;
    const int32_t kind = KindOfRow(r);
    fitted.Add("", kind, slot(r), kind == kKindWeapon ? r - 1 : 0);
  }
  for (int r = kFirstWeaponRow; r <= kLastWeaponRow; ++r)
    if (!ammo(r).empty()) fitted.Add("", kKindWeapon, ammo(r), r - 1 + 10);
  for (const auto& m : foreign_) *fitted.Add(m.Key, m.Index, m.ID, m.color) = m;
}

}  // namespace fw

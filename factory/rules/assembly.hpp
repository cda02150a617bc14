#pragma once
// The assembly screen's fitted set and its rules: which owned items are
// fitted to the chosen hull, in which rows, with which ammunition loaded,
// and how a click moves items between the owned list UserEQU, the fitted
// list NowEQU and the screen's lists. No drawing here: the screen shows
// these lists and rows and turns its clicks into the operations below.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "data/users.hpp"
#include "factory/rules/catalogs.hpp"
#include "factory/rules/row_list.hpp"

namespace fw {

// The remaining load of a fitted list: the hull's capacity less every
// fitted weight; below 0 the tank is overloaded. Names in no catalogue
// weigh nothing.
int64_t LoadLeft(const FactoryCatalogs& catalogs, const MapIndexClass& fitted);

class Assembly {
 public:
  // Rows of the fitted set (and lines of the slot list).
  static constexpr int kTankRow = 1;
  static constexpr int kFirstWeaponRow = 2;
  static constexpr int kLastWeaponRow = 10;
  static constexpr int kShieldRow = 11;
  static constexpr int kEngineRow = 12;
  static constexpr int kReactorRow = 13;
  static constexpr int kWeaponRows = 9;

  // The lists of owned items: 0 tanks (the selected one is fitted),
  // 1 weapons that are not ammunition, 2 shields, 3 engines, 4 reactors,
  // 5 the ammunition that suits the weapon row last chosen.
  enum List { kTanks = 0, kWeapons = 1, kShields = 2, kEngines = 3, kReactors = 4, kAmmunition = 5 };

  Assembly(const FactoryCatalogs& catalogs, UsersClass& users);

  // Fills the lists and the fitted set from the player's lists. Fitted
  // items that find no row (a tenth weapon, ammunition no fitted weapon
  // takes, weapons past the hull's rows) and a fitted hull the player does
  // not own go back to the owned items, so nothing is shown nowhere.
  void Open();
  bool IsOpen() const { return open_; }

  // The LEFT (-1) and RIGHT (+1) buttons: the next or previous owned hull,
  // wrapping round. Weapons and ammunition of rows the new hull lacks go
  // back to the owned items. False when no hull is owned.
  bool ChangeTank(int step);

  // A left click on row s of list 1 to 5 (0 past the last row): selects it
  // and shows the item.
  void Choose(int list, int32_t row);
  // A left click on line r of the slot list: empties the ammunition list
  // and, for a fitted weapon row, fills it with the owned ammunition the
  // weapon takes.
  void ChooseSlot(int32_t row);

  // A right click on row s of list 1 to 4: fits the item into the first
  // free weapon row the hull has (nothing when none is free), or into its
  // row, exchanging the item fitted there. On list 5: loads the ammunition
  // into the weapon row selected in the slot list, exchanging what was
  // loaded. False when nothing moved.
  bool Fit(int list, int32_t row);
  // A right click on line r of the slot list: unloads the ammunition of a
  // weapon row, or, with none loaded, takes off the weapon, shield, engine
  // or reactor. The hull stays. False when nothing moved.
  bool RemoveSlot(int32_t row);

  // The remaining load of what is fitted now.
  int64_t CalWeight() const;
  // The EXIT button, and Esc, which may not get round it: closes the screen
  // with the fitted list as the rows say, unless the tank is overloaded,
  // in which case the screen stays open (false).
  bool Exit();
  // Leaving while overloaded: the player's lists as they were when the
  // screen opened.
  void Revert();

  const std::string& Slot(int row) const { return slots_[static_cast<size_t>(row)]; }
  const std::string& Ammo(int weaponRow) const { return ammo_[static_cast<size_t>(weaponRow - kFirstWeaponRow)]; }
  const RowList& Lists(int list) const { return lists_[static_cast<size_t>(list)]; }
  // The slot list: "Tank:", "Weapon1:" to "Weapon9:" (blank past the hull's
  // rows), "Shield:", "Engine:", "Reactor:".
  const RowList& SlotList() const { return slotList_; }
  // Weight of the item last chosen, and the models on show.
  int32_t EquViewWeight() const { return viewWeight_; }
  const std::string& TankModel() const { return tankModel_; }
  const std::string& ItemModel() const { return itemModel_; }

 private:
  RowList& list(int i) { return lists_[static_cast<size_t>(i)]; }
  std::string& slot(int row) { return slots_[static_cast<size_t>(row)]; }
  std::string& ammo(int weaponRow) { return ammo_[static_cast<size_t>(weaponRow - kFirstWeaponRow)]; }
  // Moves one owned item of the kind and name out of UserEQU; false when
  // the player owns none, and then nothing moves.
  bool TakeOwned(int32_t kind, const std::string& name);
  void GiveBack(int list, int32_t kind, const std::string& name);
  void SetSlotLines(int32_t weaponRows);
  void ShowTank();
  void View(int32_t kind, const std::string& name);
  // NowEQU follows every move, so the two lists agree whenever they are
  // read or saved.
  void WriteFitted();

  const FactoryCatalogs& catalogs_;
  UsersClass& users_;
  bool open_ = false;
  std::array<RowList, 6> lists_;
  RowList slotList_;
  std::array<std::string, kReactorRow + 1> slots_;
  std::array<std::string, kWeaponRows> ammo_;
  // Fitted entries of kinds the rules do not know, kept as they are.
  std::vector<MapIndex> foreign_;
  std::vector<MapIndex> ownedAtOpen_, fittedAtOpen_;
  int32_t viewWeight_ = 0;
  std::string tankModel_, itemModel_;
};

}  // namespace fw

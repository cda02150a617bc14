#pragma once
// The factory's two catalogues: the weapons of "UserWeapon.ini" and the
// tanks, shields, engines and reactors of "Equment.ini". Both are read once
// per factory object and only looked up afterwards.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/tank.hpp"
#include "data/users.hpp"
#include "data/weapon.hpp"
#include "platform/runtime/text_records.hpp"

namespace fw {

// The kind of an owned or fitted item (MapIndex.Index), which the shop
// that sold it assigns.
enum EquipmentKind : int32_t {
  kKindWeapon = 1,
  kKindEngine = 2,
  kKindShield = 3,
  kKindReactor = 4,
  kKindTank = 5,
};

// A row that could not be taken: the file, its 1-based line (0 for the
// whole file) and why.
struct CatalogProblem {
  std::string File;
  int Row = 0;
  std::string Reason;
  std::string Text() const;
};

class FactoryCatalogs {
 public:
  static constexpr const char* kWeaponFile = "UserWeapon.ini";
  static constexpr const char* kEquipmentFile = "Equment.ini";

  WeaponClass WeaponCatalog;
  Tanks EquipmentCatalog;
  // Every row left out by the last reads, in file order.
  std::vector<CatalogProblem> Problems;

  // Both catalogues from the "Data" archive, weapons first. A missing or
  // unreadable member or a bad row is recorded in Problems (and LastError)
  // and the rest of the file is still read; nothing raises.
  void Read();
  void ReadWeaponInfo();
  void ReadEqumentInfo();

  // The same from text already in memory, for tests and fuzzing. Each row
  // must hold exactly the fields of its file; a row with a bad field, a
  // value out of its type's range, a negative price or weight, a model
  // that is not a plain file name, an empty name or a name already in the
  // catalogue is skipped and recorded.
  void ReadWeaponRows(plat::TextRecordReader& reader);
  void ReadEquipmentRows(plat::TextRecordReader& reader);

  // The problems as one message, one line each; empty when there are none.
  std::string ProblemText() const;

  // Price and weight of an item of a kind, as the shops and the weight
  // rule take them; false when the name is in no catalogue.
  bool Price(int32_t kind, std::string_view name, double& price) const;
  bool Weight(int32_t kind, std::string_view name, int32_t& weight) const;
  // A hull's number of weapon rows, 0 to 9; 0 for an unknown name.
  int32_t WeaponRows(std::string_view tankName) const;
  // The model file shown for an item in the factory's 3D views.
  std::string Model(int32_t kind, std::string_view name) const;
};

// True when the player owns or has fitted an item of that kind.
bool GetEQUStyle(UsersClass& users, int32_t style);

// Shows the catalogue problems once per distinct text, so a bad file is
// told about without a box on every visit of a screen.
void ReportCatalogProblems(const FactoryCatalogs& catalogs);

}  // namespace fw

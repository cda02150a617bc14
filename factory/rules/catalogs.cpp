#include "factory/rules/catalogs.hpp"

#include <algorithm>
#include <cmath>
#include <functional>

#include "data/table_reader.hpp"
#include "engine/globals.hpp"
#include "factory/rules/item_names.hpp"
#include "platform/display/message_box.hpp"
#include "platform/runtime/compiler_false_alarms.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/numeric.hpp"

namespace fw {
namespace {

const RECT kCatalogRect{0, 0, 80, 60};

// Reads a file row by row so that one bad row is caught where it stands
// instead of shifting every row after it; take reads one row's fields and
// raises on a bad one.
void ReadRows(plat::TextRecordReader& reader, const char* file, std::vector<CatalogProblem>& problems,
              const std::function<void(plat::TextRecordReader&)>& take) {
  while (!reader.AtEnd()) {
    const int row = reader.Line();
    plat::TextRecordReader line(reader.ReadLine());
    if (line.AtEnd()) continue;
    try {
      take(line);
      if (!line.AtEnd()) throw plat::RuntimeError(plat::ErrorCode::TypeMismatch, "more fields than a row holds");
    } catch (const plat::RuntimeError& e) {
      problems.push_back({file, row, e.what()});
    }
  }
}

void Refuse(const std::string& why) { throw plat::RuntimeError(plat::ErrorCode::TypeMismatch, why); }

void CheckName(const std::string& name, bool taken) {
  if (name.empty()) Refuse("the name is empty");
  // A second row of a name would sell and fit under the first row's values
  // whatever it says: the file is wrong, not the shop.
  if (taken) Refuse("the name \"" + name + "\" is already in the catalogue");
}

// A model is extracted from the archive under its own name, so it must be
// a bare file name: no folder part that could lead out of the copies'
// folder.
void CheckModel(const std::string& model) {
  if (model == "." || model == ".." || model.find_first_of("/\\:") != std::string::npos)
    Refuse("the model \"" + model + "\" is not a plain file name");
}

void CheckNotNegative(double v, const char* what) {
  if (v < 0) Refuse(std::string("the ") + what + " is negative");
}

// The rows report their own faults. A whole table that cannot be read is
// blamed on the archive's directory only when the directory lacks it; a
// listed one that does not come out points at the data file or the disk.
void NoteTableRead(std::vector<CatalogProblem>& problems, const char* file, TableRead result) {
  if (result == TableRead::NotInArchive)
    problems.push_back({file, 0, "the file is missing from the archive"});
  else if (result != TableRead::Read)
    problems.push_back({file, 0, "the file cannot be read from the archive"});
}

}  // namespace

std::string CatalogProblem::Text() const {
  return File + (Row > 0 ? " row " + std::to_string(Row) : std::string()) + ": " + Reason;
}

void FactoryCatalogs::ReadWeaponRows(plat::TextRecordReader& reader) {
  ReadRows(reader, kWeaponFile, Problems, [&](plat::TextRecordReader& r) {
    // All fields convert before anything is added, so a bad row adds nothing.
    Weapon w;
    w.Key = r.ReadString();
    w.Speed = r.ReadSingle();
    w.Agile = r.ReadSingle();
    w.Range = r.ReadLong();
    w.FirePower = r.ReadInteger();
    w.FireSpeed = r.ReadSingle();
    w.Energy = r.ReadSingle();
    w.FireAngle = r.ReadInteger();
    w.Path = r.ReadByte();
    w.Ammo = r.ReadInteger();
    w.Cost = r.ReadLong();
    w.Weight = r.ReadLong();
    w.ClipID = r.ReadInteger();
    w.TargetTank = r.ReadString();
    if (!r.AtEnd()) return;  // ReadRows reports the extra fields
    CheckName(w.Key, WeaponCatalog.Item(w.Key) != nullptr);
    CheckModel(w.TargetTank);
    CheckNotNegative(w.Cost, "price");
    CheckNotNegative(w.Weight, "weight");
    *WeaponCatalog.Add(w.Key) = w;
  });
}

void FactoryCatalogs::ReadEquipmentRows(plat::TextRecordReader& reader) {
  ReadRows(reader, kEquipmentFile, Problems, [&](plat::TextRecordReader& r) {
    std::string name = r.ReadString();
    const std::string model = r.ReadString();
    const float a = r.ReadSingle();
    const float b = r.ReadSingle();
    const int32_t price = r.ReadLong();
    const int32_t weight = r.ReadLong();
    const std::string picture = r.ReadString();
    if (!r.AtEnd()) return;
    CheckName(name, EquipmentCatalog.Item(name) != nullptr);
    CheckModel(model);
    CheckNotNegative(price, "price");
    CheckNotNegative(weight, "weight");
    // The kind tests are independent: a name holding two kind words gets
    // the values of both.
    Tank t;
    if (NameHas(name, "Shield")) {
      t.ShieldFull = plat::CInt(a);
      t.ShieldSpeed = b;
    }
    if (NameHas(name, "Reactor")) {
      t.EnergyFull = plat::CInt(a);
      t.EnergySpeed = b;
    }
    if (NameHas(name, "Engine")) {
      t.TopSpeed = a;
      t.Accelerate = b;
    }
    if (NameHas(name, "Tank")) {
      t.HeadAngle(a);
      t.Agile = b;
    }
    auto entry = EquipmentCatalog.Add(name, 0, 0, kCatalogRect);
    entry->ClipID = model;
    entry->Shield = static_cast<float>(weight);
    entry->Energy = static_cast<float>(price);
    entry->TurrentClipID = picture;
    entry->ShieldFull = t.ShieldFull;
    entry->ShieldSpeed = t.ShieldSpeed;
    entry->EnergyFull = t.EnergyFull;
    entry->EnergySpeed = t.EnergySpeed;
    entry->TopSpeed = t.TopSpeed;
    entry->Accelerate = t.Accelerate;
    entry->HeadAngle(t.HeadAngle());
    entry->Agile = t.Agile;
  });
}

void FactoryCatalogs::ReadWeaponInfo() {
  NoteTableRead(Problems, kWeaponFile,
                ReadDataTable(kWeaponFile, std::string("Unable to Read ") + kWeaponFile,
                              [&](plat::TextRecordReader& r) { ReadWeaponRows(r); }));
}

void FactoryCatalogs::ReadEqumentInfo() {
  EquipmentCatalog.RemoveAll();
  NoteTableRead(Problems, kEquipmentFile,
                ReadDataTable(kEquipmentFile, std::string("Unable to Read ") + kEquipmentFile,
                              [&](plat::TextRecordReader& r) { ReadEquipmentRows(r); }));
}

void FactoryCatalogs::Read() {
  Problems.clear();
  ReadWeaponInfo();
  ReadEqumentInfo();
  if (!Problems.empty()) LastError = Problems.front().Text();
}

std::string FactoryCatalogs::ProblemText() const {
  std::string text;
  FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
  for (const auto& p : Problems) text += (text.empty() ? "" : "\n") + p.Text();
  FW_LIBRARY_FALSE_ALARM_END
  return text;
}

bool FactoryCatalogs::Price(int32_t kind, std::string_view name, double& price) const {
  if (kind == kKindWeapon) {
    auto w = WeaponCatalog.Item(name);
    if (w) price = w->Cost;
    return w != nullptr;
  }
  auto t = EquipmentCatalog.Item(name);
  if (t) price = t->Energy;
  return t != nullptr;
}

bool FactoryCatalogs::Weight(int32_t kind, std::string_view name, int32_t& weight) const {
  if (kind == kKindWeapon) {
    auto w = WeaponCatalog.Item(name);
    if (w) weight = w->Weight;
    return w != nullptr;
  }
  auto t = EquipmentCatalog.Item(name);
  if (t) weight = static_cast<int32_t>(plat::RoundHalfEven(t->Shield));
  return t != nullptr;
}

int32_t FactoryCatalogs::WeaponRows(std::string_view tankName) const {
  auto t = EquipmentCatalog.Item(tankName);
  if (!t) return 0;
  const double n = plat::RoundHalfEven(t->HeadAngle());
  return static_cast<int32_t>(std::clamp(n, 0.0, 9.0));
}

std::string FactoryCatalogs::Model(int32_t kind, std::string_view name) const {
  if (kind == kKindWeapon) {
    auto w = WeaponCatalog.Item(name);
    return w ? w->TargetTank : std::string();
  }
  auto t = EquipmentCatalog.Item(name);
  return t ? t->ClipID : std::string();
}

bool GetEQUStyle(UsersClass& users, int32_t style) {
  for (const auto& item : *users.UserEQU)
    if (item->Index == style) return true;
  for (const auto& item : *users.NowEQU)
    if (item->Index == style) return true;
  return false;
}

void ReportCatalogProblems(const FactoryCatalogs& catalogs) {
  static std::string shown;
  const std::string text = catalogs.ProblemText();
  if (text.empty() || text == shown) return;
  shown = text;
  plat::MsgBox("The factory's catalogues have rows that were left out:\n" + text);
}

}  // namespace fw

// libs: fw_factory_rules
// An equipment file from arbitrary text opened on the assembly screen and
// closed again: whatever the file says, nothing the player had is lost or
// doubled, and the lists still save and read back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "factory/rules/assembly.hpp"
#include "factory/rules/combin_all.hpp"
#include "tests/factory_rules/factory_rules_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fw::FactoryCatalogs catalogs = factorytest::Catalogs();
  fw::UsersClass users;
  plat::TextRecordReader reader(std::string(reinterpret_cast<const char*>(data), size));
  try {
    users.ReadEquipment(reader);
  } catch (const plat::RuntimeError&) {
  }
  factorytest::Goods before = factorytest::GoodsOf(users);
  // A fitted hull the player does not own becomes owned when the screen
  // opens; count it as owned from the start.
  for (const auto& f : *users.NowEQU) {
    if (f->Index != fw::kKindTank) continue;
    bool owned = false;
    for (const auto& o : *users.UserEQU) owned = owned || (o->Index == fw::kKindTank && o->ID == f->ID);
    if (!owned && before[{fw::kKindTank, f->ID}] == 0) before[{fw::kKindTank, f->ID}] = 1;
  }
  fw::Assembly a(catalogs, users);
  a.Open();
  for (int pass = 0; pass < 2; ++pass)  // ammunition first, then its weapon
    for (int32_t r = 0; r <= 14; ++r) a.RemoveSlot(r);
  if (!a.Exit()) __builtin_trap();  // everything off: nothing weighs
  if (factorytest::GoodsOf(users) != before) __builtin_trap();
  fw::CombinAll(catalogs, users);
  const std::string saved = users.EncodeEquipment();
  fw::UsersClass back;
  plat::TextRecordReader r(saved);
  try {
    back.ReadEquipment(r);
  } catch (const plat::RuntimeError&) {
    __builtin_trap();
  }
  if (back.EncodeEquipment() != saved) __builtin_trap();
  return 0;
}
